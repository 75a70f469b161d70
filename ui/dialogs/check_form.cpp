#include "dialogs/check_form.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/qt_strings.h"

namespace vorlin {

namespace {

// A cell that sorts by a number rather than by its text ("node 10" after "node 9").
class SortedItem : public QTableWidgetItem {
public:
    SortedItem(const QString& text, double key) : QTableWidgetItem(text), key_(key) {}
    bool operator<(const QTableWidgetItem& other) const override {
        if (auto* o = dynamic_cast<const SortedItem*>(&other)) return key_ < o->key_;
        return QTableWidgetItem::operator<(other);
    }

private:
    double key_;
};

// "1 error", "2 warnings".
QString Count(int n, const char* noun) {
    return QString("%1 %2%3").arg(n).arg(noun).arg(n == 1 ? "" : "s");
}

} // namespace

TCheckForm::TCheckForm(QWidget* parent) : QDialog(parent) {
    setObjectName("CheckForm");
    setWindowTitle("Check KEY");
    setModal(true);
    resize(720, 360);
    table_ = new QTableWidget(this);
    table_->setObjectName("Findings");
    table_->setColumnCount(3);
    table_->setHorizontalHeaderLabels({"Severity", "Where", "Message"});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setColumnWidth(0, 70);
    table_->setColumnWidth(1, 180);
    summary_ = new QLabel(this);
    summary_->setObjectName("CheckSummary");
    auto* recalc = new QPushButton("&Recalculate rates", this);
    recalc->setObjectName("BNRecalc");
    recalc->setAutoDefault(false);
    auto* close = new QPushButton("&Close", this);
    close->setObjectName("BNClose");
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(recalc);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(recalc, &QPushButton::clicked, this, [this] {
        if (onRecalculate) onRecalculate();
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        const size_t i = size_t(table_->item(row, 0)->data(Qt::UserRole).toInt());
        if (i >= findings_.size()) return;
        if (findings_[i].Marker >= 0) {
            if (onMarker) onMarker(findings_[i].Marker);
        } else if (onSelect) {
            onSelect(findings_[i].Node, findings_[i].Entry);
        }
    });
}

void TCheckForm::ShowFindings(const TKEYFile& doc, const T3DO* model, const std::string* text) {
    findings_ = CheckKey(doc, model, text);
    table_->setSortingEnabled(false);
    table_->clearContents();
    table_->setRowCount(int(findings_.size()));
    int errors = 0;
    for (size_t i = 0; i < findings_.size(); ++i) {
        const TFinding& f = findings_[i];
        errors += f.Severity == TSeverity::Error;
        auto* severity =
            new SortedItem(SeverityText(f.Severity), f.Severity == TSeverity::Error ? 0 : 1);
        severity->setData(Qt::UserRole, int(i));
        // Sorted as the document runs: header, markers, then nodes and their entries.
        const double place = f.Marker >= 0 ? 1 + f.Marker * 1e-6
                             : f.Node < 0  ? 0
                                           : 2 + f.Node + (f.Entry + 1) * 1e-7;
        table_->setItem(int(i), 0, severity);
        table_->setItem(int(i), 1, new SortedItem(ToQ(WhereText(f, doc)), place));
        table_->setItem(int(i), 2, new QTableWidgetItem(ToQ(f.Message)));
    }
    table_->setSortingEnabled(true);
    summary_->setText(findings_.empty() ? QString("No findings.")
                                        : Count(errors, "error") + ", " +
                                              Count(int(findings_.size()) - errors, "warning"));
}

} // namespace vorlin
