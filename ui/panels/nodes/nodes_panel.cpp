#include "panels/nodes/nodes_panel.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>

#include "common/action_table.h"
#include "common/controls.h"
#include "common/qt_strings.h"
#include "edit/key_commands.h"
#include "panels/nodes/node_column.h"
#include "panels/panel_common.h"
#include "panels/panel_host.h"
#include "support/FileOperations.h"

namespace vorlin {

namespace {

// The keys that move through the list's rows.
bool IsListMoveKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
           key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
}

// A caption bar above the tree or the list: clicking one opens a file. The bars are 15 pixels
// high, as the stored layout has them: a font that fits in them whole (descenders too: the
// underscores of walk_mod.key).
TClickLabel* CaptionBar(QWidget* parent, const char* name, const char* text) {
    auto* bar = new TClickLabel(text, parent);
    bar->setObjectName(name);
    bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->setTextFormat(Qt::PlainText);
    QFont font = bar->font();
    font.setPixelSize(std::min(font.pixelSize() > 0 ? font.pixelSize() : 99, 15 - 2 - 2));
    for (int px = font.pixelSize(); px > 6 && QFontMetrics(font).height() > 15 - 2; --px)
        font.setPixelSize(px - 1);
    bar->setFont(font);
    return bar;
}

} // namespace

TNodesPanel::TNodesPanel(TKeyDocument& doc, TPanelHost& host, TActionTable& actions,
                         QWidget* parent)
    : QObject(parent), doc_(doc), host_(host), column_(new TNodeColumn(parent)) {
    column_->setObjectName("Panel2");
    column_->setFixedWidth(140);
    auto* model = CaptionBar(column_, "PL3DO", "3DO: <click to load>");
    model->onClick = [this] {
        if (onModelCaption) onModelCaption();
    };
    modelCaption_ = model;
    tree_ = new QTreeWidget(column_);
    tree_->setObjectName("TV3DO");
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setIndentation(18);
    tree_->setIconSize(QSize(15, 15));
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* key = CaptionBar(column_, "PLKEY", "");
    key->onClick = [this] {
        if (onKeyCaption) onKeyCaption();
    };
    keyCaption_ = key;
    list_ = new QListWidget(column_);
    list_->setObjectName("LBKEY");
    // Rows of one height: a change of an entry's text (its frame) does not lay out them all.
    list_->setUniformItemSizes(true);
    list_->setContextMenuPolicy(Qt::NoContextMenu); // until a KEY is set
    column_->SetControls(modelCaption_, tree_, new TSplitterBar(column_), keyCaption_, list_);

    popup_ = new QMenu(column_);
    popup_->setObjectName("PMEntry");
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { popup_->popup(list_->viewport()->mapToGlobal(p)); });
    connect(popup_, &QMenu::aboutToShow, this, &TNodesPanel::PopupMenu);

    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this] { host_.RunCommand([this] { TreeChanged(); }); });
    tree_->installEventFilter(this);
    // Whatever else moves the list's current row (focus arriving, a refill) is put back on the
    // entry that is selected.
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row != doc_.SelectedEntry()) ShowSelectedEntry();
    });
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    actions.SetContextWidget(TActionContext::Entries, list_);
    BuildActions(actions);
    observer_ = doc_.Observe([this](const TDocumentChange& c) { Changed(c); });
    Changed({~0u, {}});
}

TNodesPanel::~TNodesPanel() {
    doc_.Forget(observer_);
}

QString TNodesPanel::NodeName(int row) const {
    QTreeWidgetItem* item = tree_->topLevelItem(row);
    return item ? item->text(0) : QString();
}

// ---------------------------------------------------------------------------------------------
// What the document shows

void TNodesPanel::Changed(const TDocumentChange& c) {
    if (c.Has(chModel)) FillTree();
    if (c.Has(chModel | chSelection)) ShowNodeRow();
    if (c.Has(chModel | chDocument | chKeys | chSelection)) FillList();
    if (c.Has(chModel | chDocument | chSelection | chKeys | chFile)) ShowCaptions();
    if (c.Has(chModel | chDocument)) {
        // The column's extra height is shared by what the lists hold: taken when a model or a
        // document comes, so that the bar stays put while nodes are clicked and keys added.
        int entries = 0;
        if (doc_.KeyFile)
            for (const auto& node : doc_.KeyFile->Nodes)
                entries = std::max(entries, node->Entries.Count());
        column_->SetContent(tree_->topLevelItemCount(), entries);
    }
    // The list's menu opens once a document is set.
    if (c.Has(chDocument))
        list_->setContextMenuPolicy(doc_.KeyFile ? Qt::CustomContextMenu : Qt::NoContextMenu);
}

void TNodesPanel::FillTree() {
    const QSignalBlocker block(tree_);
    tree_->clear();
    if (!doc_.Model) return;
    const T3DO& model = *doc_.Model;
    for (int i = 0; i < model.HNodes.Count(); ++i) {
        const T3DOHNode& n = model.HNodes[i];
        int image = 1;
        if (n.Mesh >= 0)
            image =
                n.Mesh < model.Meshes.Count() && model.Meshes[n.Mesh].Faces.Vertices.Count() > 0
                    ? 2
                    : 0;
        auto* item = new QTreeWidgetItem(tree_, QStringList{ToQ(n.Name).toLower()});
        item->setIcon(0, TreeIcon(image));
    }
}

void TNodesPanel::ShowNodeRow() {
    const int node = doc_.SelectedNode();
    if (node < 0 || node >= tree_->topLevelItemCount()) return;
    const QSignalBlocker block(tree_);
    tree_->setCurrentItem(tree_->topLevelItem(node));
}

QString TNodesPanel::EntryText(int entry) const {
    const int node = doc_.KeyNodeIndex();
    if (node < 0 || entry >= doc_.EntryCount()) return QString("Entry %1").arg(entry);
    return QString("Entry %1 (%2)").arg(entry).arg(doc_.KeyFile->Nodes[node].Entries[entry].Frame);
}

void TNodesPanel::FillList() {
    const int count = doc_.KeyFile ? doc_.EntryCount() : 0;
    if (list_->count() != count) {
        const QSignalBlocker block(list_);
        list_->clear();
        for (int i = 0; i < count; ++i)
            list_->addItem(EntryText(i));
    } else {
        // The same entries; their frames may have moved.
        for (int i = 0; i < count; ++i)
            if (const QString text = EntryText(i); list_->item(i)->text() != text)
                list_->item(i)->setText(text);
    }
    ShowSelectedEntry();
}

void TNodesPanel::ShowSelectedEntry() {
    const QSignalBlocker block(list_);
    const int entry = doc_.SelectedEntry();
    const int row = entry >= 0 && entry < list_->count() ? entry : -1;
    if (list_->currentRow() != row) list_->setCurrentRow(row);
    if (row >= 0 && !list_->item(row)->isSelected()) list_->item(row)->setSelected(true);
}

void TNodesPanel::ShowCaptions() {
    modelCaption_->setText(doc_.Model ? "3DO: " + ToQ(PathName(doc_.Model->FileName))
                                      : QString("3DO: <click to load>"));
    if (!doc_.KeyFile) {
        keyCaption_->setText(doc_.Model ? "KEY: <click to load>" : "");
        return;
    }
    QString text = "KEY: " + ToQ(doc_.KeyFile->Name);
    if (doc_.KeyNodeIndex() < 0) {
        const int node = doc_.SelectedNode();
        const QString name = NodeName(node);
        text += QString(" (no node for %1: Add Entry makes one)")
                    .arg(name.isEmpty() ? QString::number(node) : name);
    }
    keyCaption_->setText(text);
}

// ---------------------------------------------------------------------------------------------
// The user's picks

void TNodesPanel::TreeChanged() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (!item) return;
    // A drag in the view edits the selected node until the button is let go: the row goes
    // back, now and once the tree is done with whatever moved it.
    if (!doc_.PickNode(tree_->indexOfTopLevelItem(item))) {
        ShowNodeRow();
        QTimer::singleShot(0, this, [this] { ShowNodeRow(); });
        return;
    }
    doc_.SetPlaying(false);
}

void TNodesPanel::HighlightRow(int row) {
    listPressRow_ = row;
    if (row < 0) return;
    const QSignalBlocker block(list_);
    list_->setCurrentRow(row);
}

void TNodesPanel::PickEntry(int row) {
    host_.RunCommand([&] { ClickEntryCommand(doc_, row); });
    ShowSelectedEntry(); // also when the pick was refused
}

bool TNodesPanel::eventFilter(QObject* watched, QEvent* event) {
    // While a drag edits the selected node's entry, the tree's keys would select another node
    // under it: they wait for the release.
    if (watched == tree_ && doc_.Editing() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride))
        return true;
    if (watched == list_ || watched == list_->viewport()) return ListEvent(watched, event);
    return false;
}

bool TNodesPanel::ListEvent(QObject* watched, QEvent* event) {
    if (watched == list_->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            break;
        default:
            return false; // paint, polish, ...: not a mouse event, and not ours
        }
        auto* e = static_cast<QMouseEvent*>(event);
        auto rowAt = [&] {
            QListWidgetItem* item = list_->itemAt(e->position().toPoint());
            return item ? list_->row(item) : -1;
        };
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            list_->setFocus(Qt::MouseFocusReason);
            const int row = rowAt();
            if (e->button() == Qt::RightButton) {
                // The menu that follows acts on the row under the pointer, as in a file
                // manager; a right-click on the selected row leaves it alone.
                if (row >= 0 && row != doc_.SelectedEntry()) PickEntry(row);
            } else if (e->button() == Qt::LeftButton) {
                listMouseDown_ = true;
                HighlightRow(row);
            }
            return true;
        }
        case QEvent::MouseMove:
            // The highlight follows a held button; the selection waits for the release.
            if (listMouseDown_ && rowAt() >= 0) HighlightRow(rowAt());
            return true;
        case QEvent::MouseButtonRelease:
            if (e->button() == Qt::LeftButton && listMouseDown_) {
                listMouseDown_ = false;
                // The row under the release, or the last row the pointer was over.
                const int row = rowAt() >= 0 ? rowAt() : listPressRow_;
                if (row >= 0)
                    PickEntry(row);
                else
                    ShowSelectedEntry();
            }
            return true;
        case QEvent::MouseButtonDblClick:
            if (e->button() == Qt::LeftButton && (rowAt() >= 0 || list_->count() == 0))
                host_.RunCommand([this] { EditCurrentEntry(); });
            return true;
        default:
            return false;
        }
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Home and End move in the list when it has the focus, not through the frames.
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->modifiers() == Qt::NoModifier && IsListMoveKey(k->key())) {
            event->accept();
            return true;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        host_.RunCommand([this] { EditCurrentEntry(); });
        return true;
    }
    if (!IsListMoveKey(k->key())) return false;
    // The list works out where the key leads; that row is then picked as a click picks it.
    {
        const QSignalBlocker block(list_);
        static_cast<QObject*>(list_)->event(event);
    }
    const int row = list_->currentRow();
    if (row >= 0 && row != doc_.SelectedEntry())
        PickEntry(row);
    else
        ShowSelectedEntry();
    return true;
}

} // namespace vorlin
