// The dialog through which a model, a KEY or a colour map is picked: by default inside one of
// the game's containers, starting in the folder where that kind of file lives; or, through its
// "Get Other" button, from disk with the standard dialog.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "support/FileOperations.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vorlin {

// Fills a list with a container's current folder, filtered by a name mask.
class TMaskedDirectoryControl {
public:
    explicit TMaskedDirectoryControl(QListWidget* list) : list_(list) {}
    // The container whose folder is listed (by its path; it is found in the container cache
    // each time), or none.
    void SetSource(const std::string& containerPath);
    const std::string& Source() const { return source_; }
    // Lists the matching entries in the container's order, or sorted by name ignoring case
    // (folders first, as "[" sorts before letters); nothing without a source.
    void ApplyMask(const std::string& mask, bool sorted = false);
    // The listing the list shows, row by row.
    const std::vector<TListedName>& Rows() const { return rows_; }

private:
    QListWidget* list_;
    std::string source_;
    std::vector<TListedName> rows_;
};

class TGetFileOpen : public QDialog {
    Q_OBJECT
public:
    explicit TGetFileOpen(QWidget* parent = nullptr);
    ~TGetFileOpen() override;

    // "3DO", "KEY" or "CMP": the folder browsing starts in and the standard dialog's filter.
    void SetFileKind(const QString& kind);
    // The caption of the button that hands over to the standard dialog.
    void SetGetCaption(const QString& caption);
    // Runs the dialog; on true the chosen file is in ChosenPath.
    bool ExecuteOpen(const QString& initialName);
    // A container path (container, ">", folder, "\", name) or a disk path.
    QString ChosenPath() const { return result_; }
    // The container browsed now ("" when none).
    const std::string& CurrentContainer() const { return containerPath_; }
    const std::string& CurrentFolder() const { return folder_; }

private:
    // The game's containers that exist now, in ResList; the current one stays current while
    // it is there.
    void BuildResList();
    // Opens the container, goes to the file kind's folder and lists it; false (after telling
    // the user) when it cannot be opened.
    bool OpenContainer(const std::string& path);
    // Lists the folder with the mask (sorted, or in the container's order as typing a mask
    // leaves it), telling the user when the container cannot be read any more.
    void Refresh(bool sorted = false);
    void SortAndSelectFirst();
    // PFname: the text of the item the list has chosen (empty without one).
    void ShowChosenName();
    void ChangeFolder(const std::string& folder);
    void ResListClick(int row);
    void ItemClicked(QListWidgetItem* item);
    void OpenClick();
    void GetClick();
    void ReportError(const std::exception& e);

    QListWidget* DirList;
    QListWidget* ResList;
    QLineEdit* EBFilter;
    QLabel* PFname;
    QLabel* LBFolder; // the folder on show
    QPushButton* BNGet;
    QPushButton* BNCancel;
    TMaskedDirectoryControl directory_;
    QString kind_;
    std::string containerPath_;
    int containerChoice_ = -1;    // 0 the game's, 1 the expansion's, -1 none chosen yet
    std::vector<int> resChoices_; // the choice behind each row of ResList
    std::string folder_;
    QString result_;
    bool containerResult_ = true;
};

} // namespace vorlin
