// Small controls of the main window: captions that run a command when clicked, and the
// letters "M", "R" and "Z" that steer the camera while the mouse is dragged on them.
#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>

namespace vorlin {

// A caption whose click (and release) runs a command.
class TClickLabel : public QLabel {
public:
    TClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}
    std::function<void()> onClick;
    std::function<void()> onRelease;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && onClick) onClick();
        QLabel::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (onRelease) onRelease();
        QLabel::mouseReleaseEvent(e);
    }
};

// A control dragged with the mouse: it keeps the mouse while a button is held, so the pointer
// may leave it. Positions are in the control's coordinates.
class TDragLabel : public QLabel {
public:
    TDragLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}
    std::function<void(QPoint)> onPress; // any button
    std::function<void(QPoint)> onDrag;  // moves with the left button held since a press here
    std::function<void()> onRelease;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) leftHeld_ = true;
        if (onPress) onPress(e->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (leftHeld_ && (e->buttons() & Qt::LeftButton) && onDrag) onDrag(e->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) leftHeld_ = false;
        if (onRelease) onRelease();
    }

private:
    bool leftHeld_ = false;
};

} // namespace vorlin
