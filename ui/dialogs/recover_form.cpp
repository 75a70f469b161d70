#include "dialogs/recover_form.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vorlin {

TRecoverForm::TRecoverForm(QWidget* parent) : QDialog(parent) {
    setObjectName("RecoverForm");
    setWindowTitle("Recover Unsaved Changes");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel("Vorlin did not end cleanly, and these documents had changes that "
                            "were not saved. Recover one to go on with it, discard what you "
                            "do not need, or decide later (they are offered at the next start).",
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    LVRecover = new QTreeWidget(this);
    LVRecover->setObjectName("LVRecover");
    LVRecover->setHeaderLabels({"Document", "Model", "Saved at", "File on disk"});
    LVRecover->setRootIsDecorated(false);
    LVRecover->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The paths give way (shortened in the middle, whole in their tooltips): the time and the
    // file's state always show.
    LVRecover->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = LVRecover->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Interactive);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    LVRecover->setMinimumWidth(560);
    layout->addWidget(LVRecover);
    LBDiskChanged = new QLabel(this);
    LBDiskChanged->setObjectName("LBDiskChanged");
    LBDiskChanged->setWordWrap(true);
    LBDiskChanged->setText(
        "The file of a document marked \"changed since\" was saved after its copy was taken. "
        "Recovering it brings back the copy; Save then asks before it replaces that file.");
    LBDiskChanged->hide();
    layout->addWidget(LBDiskChanged);
    auto* buttons = new QDialogButtonBox(this);
    auto button = [&](const char* name, const char* caption, Choice choice,
                      QDialogButtonBox::ButtonRole role) {
        auto* b = buttons->addButton(caption, role);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, choice] {
            choice_ = choice;
            if (choice == Later)
                reject();
            else
                accept();
        });
        return b;
    };
    auto* recover = button("BNRecover", "&Recover", Recover, QDialogButtonBox::AcceptRole);
    button("BNDiscard", "&Discard", Discard, QDialogButtonBox::DestructiveRole);
    button("BNLater", "&Later", Later, QDialogButtonBox::RejectRole);
    recover->setDefault(true);
    // Recover takes one document: the editor holds one at a time.
    connect(LVRecover, &QTreeWidget::itemSelectionChanged, this,
            [this, recover] { recover->setEnabled(LVRecover->selectedItems().size() == 1); });
    connect(LVRecover, &QTreeWidget::itemDoubleClicked, recover, &QPushButton::click);
    layout->addWidget(buttons);
}

void TRecoverForm::ShowItems(const std::vector<TRecoveryItem>& items) {
    LVRecover->clear();
    bool changed = false;
    for (const TRecoveryItem& item : items) {
        auto* row = new QTreeWidgetItem(
            LVRecover, {item.Document.isEmpty() ? item.Name + " (never saved)" : item.Document,
                        item.Model, item.Time, item.DiskChanged ? "changed since" : ""});
        row->setToolTip(0, row->text(0));
        row->setToolTip(1, item.Model);
        if (item.DiskChanged)
            row->setToolTip(3, "The file was saved after this copy was taken: Save asks before "
                               "it replaces the file");
        changed = changed || item.DiskChanged;
    }
    LBDiskChanged->setVisible(changed);
    // The model's name is what tells documents apart; its folder may give way.
    LVRecover->resizeColumnToContents(1);
    LVRecover->setColumnWidth(1, std::min(LVRecover->columnWidth(1), 150));
    if (LVRecover->topLevelItemCount() > 0) LVRecover->setCurrentItem(LVRecover->topLevelItem(0));
    choice_ = Later;
}

std::vector<int> TRecoverForm::Selected() const {
    std::vector<int> rows;
    for (int i = 0; i < LVRecover->topLevelItemCount(); ++i)
        if (LVRecover->topLevelItem(i)->isSelected()) rows.push_back(i);
    return rows;
}

} // namespace vorlin
