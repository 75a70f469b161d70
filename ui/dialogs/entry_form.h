// The twelve numbers of one keyframe entry, typed: its position and orientation and their
// per-frame rates. The dialog edits the entry it is given (not a copy); OK stores the fields
// only once all twelve are numbers, so a refused OK leaves the entry exactly as it was.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlin {

class TKEYEntry;

class TEntryForm : public QDialog {
    Q_OBJECT
public:
    explicit TEntryForm(QWidget* parent = nullptr);

    // Fills the fields from the entry and remembers it; the caller then shows the dialog.
    // With the rates the next key implies, a rate that differs from them is hinted beside its
    // field (typed rates are kept as typed: the hint changes nothing).
    void ShowEntry(std::shared_ptr<TKEYEntry> entry, const TKEYEntry* implied = nullptr);
    const std::shared_ptr<TKEYEntry>& EditedEntry() const { return entry_; }

private:
    void OkClick();

    // X, Y, Z, pitch, yaw, roll, then their differentials in the same order.
    std::array<QLineEdit*, 12> fields_{};
    std::array<QLabel*, 6> hints_{}; // beside the differentials
    QPushButton* BNCancel;
    std::shared_ptr<TKEYEntry> entry_;
};

} // namespace vorlin
