// The left column of the main window: the model's caption bar and node tree, the splitter bar,
// the KEY caption bar and the entry list, placed top to bottom at exact pixel positions so
// that a stored layout comes back as it was saved. When the window grows, the entry list takes
// the extra height.
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

    explicit TNodeColumn(QWidget* parent);
    // The five controls, top to bottom; the panel takes them as children.
    void SetControls(QWidget* caption3DO, QWidget* tree, TSplitterBar* splitter,
                     QWidget* captionKEY, QWidget* list);
    // The stored layout: the tree's height, the splitter's top and the KEY caption's top. Values
    // that do not fit together are derived from the tree's height.
    void SetLayout(int treeHeight, int splitterTop, int keyPanelTop);
    int TreeHeight() const;
    int SplitterTop() const;
    int KeyPanelTop() const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Place();
    void Drag(int dy);

    QWidget* caption3DO_ = nullptr;
    QWidget* tree_ = nullptr;
    TSplitterBar* splitter_ = nullptr;
    QWidget* captionKEY_ = nullptr;
    QWidget* list_ = nullptr;
    int treeHeight_ = 162; // as wanted; shown smaller only while the panel is too short
    int dragStart_ = 0;
};

} // namespace vorlin
