// The KEY summary: a whole document's frame numbers in a grid (one row per node, one column
// per entry) beside its header, where entries are re-timed in bulk.
//
// The dialog works on its own copy of the document: every accepted cell, header choice and
// bulk operation changes the copy at once, OK hands it over, and Cancel leaves the document
// exactly as it was (rather than half re-timed, with rates that no longer fit its frames).
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace vorlin {

class TKEYFile;

class TSummaryForm : public QDialog {
    Q_OBJECT
public:
    // More entries than this per node is refused by the gap operations (a typing slip such as
    // a last frame of 2000000000 at gap 1 would otherwise build billions).

    explicit TSummaryForm(QWidget* parent = nullptr);
    ~TSummaryForm() override;

    // Binds the dialog to a copy of doc and fills it; the caller then shows it modally.
    void ShowSummary(const TKEYFile& doc);
    // The edited copy; the caller takes it after OK.
    std::unique_ptr<TKEYFile> SummaryDocument();
    const TKEYFile& Document() const { return *doc_; }
    // The grid's text at a column and row as the layout numbers them: row 0 the entry
    // indexes, column 0 the node names, the frames from (1, 1).
    QString CellText(int column, int row) const;

private:
    void FillGrid();
    // Makes the cells of the columns before upTo (the earlier ones are made already).
    void FillColumns(int upTo);
    // Makes the cells of the columns on screen and of the next screenful.
    void FillVisibleColumns();
    int filledColumns_ = 0;
    void ShowTime();
    // The frame typed for an entry, checked and taken into the document.
    bool CommitCell(int node, int entry);
    bool CommitRow(int node);
    bool CheckLastFrameField(int32_t& last);
    bool CheckFrameRateField();
    bool CheckGapField(int32_t& gap);
    bool CheckShiftField(int32_t& shift);
    // The entry count a gap operation fits nodes to; false when the count is refused.
    bool TargetEntries(int32_t gap, int32_t& last, int& count);
    void Warn(const std::string& text, QWidget* focus);
    // Runs a grid operation; an error raised by the document ends it with its message.
    void Operation(const std::function<void()>& body);
    int CurrentNode() const;
    int CurrentEntry() const;

    void NodeGapClick();
    void KeyGapClick();
    void NodeShiftClick();
    void KeyShiftClick();
    void ApplyFrameClick();
    void GetClick();
    void AddEndingClick();
    void DeleteEndingClick();
    void OkClick();

    QTableWidget* SGFrame;
    QLabel* STTime;
    QComboBox* CBFlags;
    QComboBox* CBType;
    QLineEdit* EBLast;
    QLineEdit* EBFrameRate;
    QLineEdit* EBGap;
    QLineEdit* EBShift;
    QCheckBox* CBEntries;
    QPushButton* BNCancel;
    QMenu* PMGrid;
    std::unique_ptr<TKEYFile> doc_;
};

} // namespace vorlin
