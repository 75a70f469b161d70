#include "dialogs/mirror_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/qt_strings.h"

namespace vorlin {

TMirrorForm::TMirrorForm(QWidget* parent) : QDialog(parent) {
    setObjectName("MirrorForm");
    setWindowTitle("Mirror");
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("Each node takes its partner's keys, mirrored across the model's "
                             "X = 0 plane. A node without a partner mirrors its own.",
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    SGPairs = new QTableWidget(0, 2, this);
    SGPairs->setObjectName("SGPairs");
    SGPairs->setHorizontalHeaderLabels({"Node", "Takes the keys of"});
    SGPairs->horizontalHeader()->setStretchLastSection(true);
    SGPairs->verticalHeader()->hide();
    SGPairs->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(SGPairs, 1);
    LBUnpaired = new QLabel(this);
    LBUnpaired->setObjectName("LBUnpaired");
    LBUnpaired->setWordWrap(true);
    layout->addWidget(LBUnpaired);
    LBAsymmetric = new QLabel(this);
    LBAsymmetric->setObjectName("LBAsymmetric");
    LBAsymmetric->setWordWrap(true);
    layout->addWidget(LBAsymmetric);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("BNOK");
    buttons->button(QDialogButtonBox::Ok)->setText("&Mirror");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("BNCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(420, 420);
}

void TMirrorForm::ShowPairs(const std::vector<std::string>& names, const TMirrorPairs& pairs,
                            const std::vector<std::string>& asymmetric) {
    filling_ = true;
    pairs_ = pairs;
    rows_.clear();
    for (size_t j = 0; j < names.size(); ++j)
        if (!names[j].empty()) rows_.push_back(int(j));
    SGPairs->setRowCount(int(rows_.size()));
    for (int r = 0; r < int(rows_.size()); ++r) {
        const int j = rows_[size_t(r)];
        auto* name = new QTableWidgetItem(ToQ(names[size_t(j)]));
        name->setFlags(Qt::ItemIsEnabled);
        SGPairs->setItem(r, 0, name);
        auto* partner = new QComboBox(SGPairs);
        partner->setObjectName("CBPartner" + QString::number(j));
        partner->addItem("(none: itself)", j);
        for (int other : rows_)
            if (other != j) partner->addItem(ToQ(names[size_t(other)]), other);
        partner->setCurrentIndex(std::max(0, partner->findData(pairs_.Partner[size_t(j)])));
        connect(partner, &QComboBox::currentIndexChanged, this, [this, j, partner] {
            if (filling_) return;
            const int other = partner->currentData().toInt();
            if (other == j)
                pairs_.Set(j, j);
            else
                pairs_.Set(j, other);
            // The rows of the nodes whose partner changed with it.
            filling_ = true;
            for (int r2 = 0; r2 < SGPairs->rowCount(); ++r2) {
                auto* box = static_cast<QComboBox*>(SGPairs->cellWidget(r2, 1));
                const int j2 = rows_[size_t(r2)];
                box->setCurrentIndex(std::max(0, box->findData(pairs_.Partner[size_t(j2)])));
            }
            filling_ = false;
            ShowUnpaired();
        });
        SGPairs->setCellWidget(r, 1, partner);
    }
    SGPairs->resizeColumnToContents(0);
    filling_ = false;
    ShowUnpaired();
    QStringList odd;
    for (const std::string& p : asymmetric)
        odd << ToQ(p);
    LBAsymmetric->setText(
        odd.isEmpty() ? QString()
                      : "Not placed as mirror images in the model (mirrored all the same): " +
                            odd.join(", "));
    LBAsymmetric->setVisible(!odd.isEmpty());
}

void TMirrorForm::ShowUnpaired() {
    QStringList alone;
    for (int j : rows_)
        if (pairs_.Partner[size_t(j)] == j)
            alone << SGPairs->item(int(std::find(rows_.begin(), rows_.end(), j) - rows_.begin()), 0)
                         ->text();
    LBUnpaired->setText(alone.isEmpty() ? "Every node has a partner."
                                        : "No partner: " + alone.join(", "));
}

TMirrorPairs TMirrorForm::EditedPairs() const {
    return pairs_;
}

} // namespace vorlin
