// Persistence of the settings: the program's own store ("Brennick/Vorlin06") and the level
// editor's, read only, for the game's install folders ("Brennick/Tolmar"). Both are INI files
// under the user's configuration folder ($XDG_CONFIG_HOME, usually ~/.config); a store exists
// when its file exists.
#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "settings/GlobalVars.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vorlin {

// Overlays the defaults with what is stored; sets FirstRun when the program's store is absent.
// A value that is absent or not of its kind keeps its default.
void LoadSettings();
// Writes every preference and clears FirstRun. Raises "Failed to set data for '%s'".
void SavePreferences();
// Writes the window layout and the recent lists, only when the program's store exists.
void SaveExitSettings();

// The files behind the two stores.
QString SettingsFilePath();
QString LevelEditorFilePath();

// The dialog in which the user edits the preferences. It edits copies: the settings change,
// and are stored, only when the user confirms.
class TOptions : public QDialog {
    Q_OBJECT
public:
    explicit TOptions(QWidget* parent = nullptr);

    // Fills the dialog from the settings and shows it modally; on OK takes the values over,
    // stores them and returns true.
    bool ShowOptions();
    // Cancel was pressed while no settings existed yet: the program should end.
    bool TerminateRequested() const { return terminateRequested_; }
    // The working colours, in the order of the colour list.
    const std::array<TColor, 8>& WorkingColours() const { return colours_; }

private:
    void Fill();
    void ShowSwatch();
    void EditColour();
    void Browse(QLineEdit* field, const QString& filter);
    void OkClick();
    void CancelClick();
    // Checks a number field; on failure shows the warning and moves the focus there.
    bool CheckNumber(QLineEdit* field, bool isFloat, const char* message);

    QLineEdit* EBJKGOB;
    QLineEdit* EBMOTSGOB;
    QFrame* PColor;
    QListWidget* LBColor;
    QLineEdit* EBNOF;
    QLineEdit* EBFPS;
    QLineEdit* EBFBE;
    QLineEdit* EBSTEP;
    QLineEdit* EBAUTOSAVE;
    QRadioButton* runOnce_;
    QRadioButton* looping_;
    std::array<QCheckBox*, 7> autoCopy_{};
    QCheckBox* CBShowPath;
    QCheckBox* CBFollowPath;
    QCheckBox* CBShowFloor;
    QComboBox* CBOnionFrames = nullptr;
    QCheckBox* CBOrbitSelection;
    QPushButton* BNCancel;
    std::array<TColor, 8> colours_{};
    bool terminateRequested_ = false;
};

// Colours of the settings are 0x00BBGGRR.
QColor ToQColor(TColor c);
TColor FromQColor(const QColor& c);

} // namespace vorlin
