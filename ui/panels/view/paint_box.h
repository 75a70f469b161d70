// The widget the editor's 3D view is drawn in, and whether the display can give it OpenGL.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "gl/ogl_PRender.h"

class QMouseEvent;
class QOpenGLContext;
class QWheelEvent;
class QWindow;

namespace vorlin {

// Whether the display can give the view an OpenGL context at all (a virtual display without
// OpenGL cannot, and a view widget must not even be created there).
bool OpenGLAvailable();

// The paint box: the widget the 3D view is drawn in. It hosts a native OpenGL window of its
// own, drawn and presented by itself, so a frame of the view costs its drawing and no more (a
// view inside the widget tree would have the whole main window composed again on every frame).
// Painting, resizing and the mouse are handed to the owner through the callbacks.
class TPaintBox : public QWidget, public TRenderTarget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);
    ~TPaintBox() override;
    std::function<void()> onPaint;
    std::function<void()> onResize;
    // Presses, moves (with a button held or not) and releases of the mouse in the view.
    std::function<void(QMouseEvent*)> onMouse;
    // The wheel turned over the view.
    std::function<void(QWheelEvent*)> onWheel;
    // The pointer left the view.
    std::function<void()> onLeave;
    // Once, when the view's OpenGL context has been made.
    std::function<void()> onReady;

    QOpenGLContext* context() const;
    // Makes the view's context current for drawing; false while it has none.
    bool MakeCurrent() override;
    // The context exists.
    bool isValid() const;
    // Asks for a new frame.
    void Repaint();
    // Draws a frame and returns it as a picture.
    QImage grabFramebuffer();
    // The native window the view is drawn and presented in.
    QWindow* Window() const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    class Surface;
    Surface* surface_;
    bool repaintPosted_ = false; // a frame is asked for and not drawn yet
};

} // namespace vorlin
