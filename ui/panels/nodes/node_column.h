// The left column of the main window: the model's caption bar and node tree, the splitter bar,
// the KEY caption bar and the entry list, placed top to bottom at exact pixel positions so
// that a stored layout comes back as it was saved. The stored layout is the one at the
// window's first size; when the window is taller, the tree and the entry list share the extra
// height by how many rows each holds (edit/panel_layout.h).
#pragma once

#include <QFrame>
#include <QWidget>
#include <functional>

namespace vorlin {

// The bar between the tree and the KEY caption; dragging it moves everything below the tree.
class TSplitterBar : public QFrame {
    Q_OBJECT
public:
    explicit TSplitterBar(QWidget* parent);
    std::function<void()> onPress;
    // dy: how far the pointer has moved since the press.
    std::function<void(int dy)> onDrag;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool dragging_ = false;
    int pressY_ = 0;
};

class TNodeColumn : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCaptionHeight = 15;
    static constexpr int kSplitterHeight = 5;
    static constexpr int kMinListHeight = 20;
    // As little of the tree as keeps a row in sight, and its splitter away from the captions.
    static constexpr int kMinTreeHeight = 20;

    explicit TNodeColumn(QWidget* parent);
    // The five controls, top to bottom; the panel takes them as children.
    void SetControls(QWidget* caption3DO, QWidget* tree, TSplitterBar* splitter,
                     QWidget* captionKEY, QWidget* list);
    // The stored layout: the tree's height, the splitter's top and the KEY caption's top, at the
    // window's first size. Values that do not fit together are derived from the tree's height.
    void SetLayout(int treeHeight, int splitterTop, int keyPanelTop);
    int TreeHeight() const;
    int SplitterTop() const;
    int KeyPanelTop() const;
    // How much taller than at its first size the window is (the column grows by as much).
    void SetGrowth(int extra);
    // What the two lists hold: the model's nodes and the most entries a KEY node has.
    void SetContent(int treeRows, int listRows);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Place();
    void Drag(int dy);
    // The tree's height with the window's growth, from its height at the first size.
    int Grown(int atDefault) const;

    QWidget* caption3DO_ = nullptr;
    QWidget* tree_ = nullptr;
    TSplitterBar* splitter_ = nullptr;
    QWidget* captionKEY_ = nullptr;
    QWidget* list_ = nullptr;
    int treeHeight_ = 162; // as wanted at the first size; shown smaller only while too short
    int growth_ = 0;
    int treeRows_ = 0, listRows_ = 0;
    int dragStart_ = 0, dragShown_ = 0; // the wanted and the shown height at the press
};

} // namespace vorlin
