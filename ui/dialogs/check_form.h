// The findings of the KEY checker in a sortable table: a double-click selects the node and
// entry in the main window, "Recalculate rates" fixes every stale rate at once.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "key/key_check.h"

class QLabel;
class QTableWidget;

namespace vorlin {

class TCheckForm : public QDialog {
    Q_OBJECT
public:
    explicit TCheckForm(QWidget* parent = nullptr);

    // Lists what the checker finds in the document (against the model, when there is one).
    // The findings of the document (with text, of its file as the game reads it too).
    void ShowFindings(const TKEYFile& doc, const T3DO* model, const std::string* text = nullptr);
    const std::vector<TFinding>& Findings() const { return findings_; }

    // A finding was double-clicked: its node and entry (-1 when it has none).
    std::function<void(int node, int entry)> onSelect;
    // A double-click on a marker's finding.
    std::function<void(int marker)> onMarker;
    // "Recalculate rates" was pressed; the caller recalculates and shows the findings again.
    std::function<void()> onRecalculate;

private:
    QTableWidget* table_;
    QLabel* summary_;
    std::vector<TFinding> findings_;
};

} // namespace vorlin
