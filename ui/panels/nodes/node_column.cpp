#include "panels/nodes/node_column.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QResizeEvent>

#include "edit/panel_layout.h"

namespace vorlin {

TSplitterBar::TSplitterBar(QWidget* parent) : QFrame(parent) {
    setObjectName("Splitter");
    setCursor(Qt::SizeVerCursor);
    setFrameStyle(QFrame::NoFrame);
}

void TSplitterBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = true;
    pressY_ = int(e->globalPosition().y());
    if (onPress) onPress();
}

void TSplitterBar::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
    // Measured on the screen: the bar moves under the pointer while it is dragged.
    if (onDrag) onDrag(int(e->globalPosition().y()) - pressY_);
}

void TSplitterBar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragging_ = false;
}

TNodeColumn::TNodeColumn(QWidget* parent) : QWidget(parent) {}

void TNodeColumn::SetControls(QWidget* caption3DO, QWidget* tree, TSplitterBar* splitter,
                             QWidget* captionKEY, QWidget* list) {
    caption3DO_ = caption3DO;
    tree_ = tree;
    splitter_ = splitter;
    captionKEY_ = captionKEY;
    list_ = list;
    for (QWidget* w : {caption3DO, tree, static_cast<QWidget*>(splitter), captionKEY, list})
        w->setParent(this);
    splitter_->onPress = [this] {
        // From the tree as it shows (smaller than wanted while the column is short).
        dragShown_ = tree_->height();
        dragStart_ = treeHeight_ + dragShown_ - Grown(treeHeight_);
    };
    splitter_->onDrag = [this](int dy) { Drag(dy); };
    Place();
}

void TNodeColumn::SetLayout(int treeHeight, int splitterTop, int keyPanelTop) {
    // The three values describe one position; a set that disagrees (edited by hand, say) is
    // taken from the tree's height.
    (void)splitterTop;
    (void)keyPanelTop;
    treeHeight_ = std::max(treeHeight, kMinTreeHeight);
    Place();
}

int TNodeColumn::TreeHeight() const {
    return std::max(treeHeight_, 0);
}

int TNodeColumn::SplitterTop() const {
    return kCaptionHeight + TreeHeight();
}

int TNodeColumn::KeyPanelTop() const {
    return SplitterTop() + kSplitterHeight;
}

void TNodeColumn::SetGrowth(int extra) {
    if (extra == growth_) return;
    growth_ = extra;
    Place();
}

void TNodeColumn::SetContent(int treeRows, int listRows) {
    if (treeRows == treeRows_ && listRows == listRows_) return;
    treeRows_ = treeRows;
    listRows_ = listRows;
    Place();
}

int TNodeColumn::Grown(int atDefault) const {
    // A row's height as each list draws it (its first row's, or a line of its font).
    auto rowHeight = [](QWidget* w) {
        auto* view = qobject_cast<QAbstractItemView*>(w);
        const int row =
            view && view->model() && view->model()->rowCount() > 0 ? view->sizeHintForRow(0) : -1;
        return row > 0 ? row : w->fontMetrics().height() + 2;
    };
    return GrownTreeHeight(atDefault, growth_, treeRows_ * rowHeight(tree_),
                           listRows_ * rowHeight(list_));
}

void TNodeColumn::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Place();
}

void TNodeColumn::Place() {
    if (!tree_) return;
    const int w = width();
    // While the panel is too short for the wanted tree, the tree gives way; the wanted height
    // comes back when the panel grows again.
    const int room = height() - kCaptionHeight - kSplitterHeight - kCaptionHeight - kMinListHeight;
    int tree = std::max(kMinTreeHeight, Grown(treeHeight_));
    if (isVisible() && tree > room) tree = room > 0 ? room : 0;
    const int splitterTop = kCaptionHeight + tree;
    const int keyTop = splitterTop + kSplitterHeight;
    caption3DO_->setGeometry(0, 0, w, kCaptionHeight);
    tree_->setGeometry(0, kCaptionHeight, w, tree);
    splitter_->setGeometry(0, splitterTop, w, kSplitterHeight);
    captionKEY_->setGeometry(0, keyTop, w, kCaptionHeight);
    const int listTop = keyTop + kCaptionHeight;
    list_->setGeometry(0, listTop, w, height() > listTop ? height() - listTop : 0);
}

void TNodeColumn::Drag(int dy) {
    const int room = height() - kCaptionHeight - kSplitterHeight - kCaptionHeight - kMinListHeight;
    int tree = std::max(dragShown_ + dy, kMinTreeHeight);
    if (tree > room) tree = std::max(room, 0);
    // The tree follows the pointer; what is kept is its height at the first size.
    treeHeight_ = dragStart_ + tree - dragShown_;
    Place();
}

} // namespace vorlin
