// The question at start-up when sessions that did not end cleanly left unsaved work: which
// documents to recover, to discard, or to keep for later.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

#include "support/file_stamp.h"

class QLabel;
class QTreeWidget;

namespace vorlin {

struct TRecoveryItem {
    QString Session;  // the recovery files' name
    QString Document; // the document's own path; empty for a document never saved
    QString Name;     // its name
    QString Model;    // the model it was edited on
    QString Time;     // when it was written (local time)
    // The document's file as the edits began from it, and whether it changed since.
    std::optional<TFileStamp> Disk;
    bool DiskChanged = false;
};

class TRecoverForm : public QDialog {
    Q_OBJECT
public:
    enum Choice { Recover, Discard, Later };
    explicit TRecoverForm(QWidget* parent = nullptr);
    // Lists the items (the newest first is selected).
    void ShowItems(const std::vector<TRecoveryItem>& items);
    // After exec: what was chosen, and for which items (Recover: one).
    Choice Chosen() const { return choice_; }
    std::vector<int> Selected() const;

private:
    QTreeWidget* LVRecover;
    QLabel* LBDiskChanged;
    Choice choice_ = Later;
};

} // namespace vorlin
