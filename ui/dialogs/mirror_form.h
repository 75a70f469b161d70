// Edit > Mirror Animation: the left and right pairs found by the nodes' names, each node's
// partner changeable before the animation is mirrored, and the nodes that have none.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "edit/mirror.h"

class QLabel;
class QTableWidget;

namespace vorlin {

class TMirrorForm : public QDialog {
public:
    explicit TMirrorForm(QWidget* parent);
    // The joints' names (by number; unnamed ones are not listed), the pairs found, and the pairs
    // the model does not place as mirror images.
    void ShowPairs(const std::vector<std::string>& names, const TMirrorPairs& pairs,
                   const std::vector<std::string>& asymmetric);
    // The pairs as the user left them.
    TMirrorPairs EditedPairs() const;

private:
    void ShowUnpaired();
    QTableWidget* SGPairs;
    QLabel* LBUnpaired;
    QLabel* LBAsymmetric;
    std::vector<int> rows_; // the joint of each row
    TMirrorPairs pairs_;
    bool filling_ = false;
};

} // namespace vorlin
