#include "panels/view/paint_box.h"

#include <GL/gl.h>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QVBoxLayout>

namespace vorlin {

bool OpenGLAvailable() {
    static const bool available = [] {
        // These platforms draw widgets without the compositing an OpenGL widget needs, even
        // where they can make a context (offscreen does, when an X display is around).
        const QString platform = QGuiApplication::platformName();
        for (const char* p : {"offscreen", "minimal", "vnc", "linuxfb"})
            if (platform == p) return false;
        QOpenGLContext probe;
        return probe.create();
    }();
    return available;
}

// ---- TPaintBox ----

class TPaintBox::Surface : public QOpenGLWindow {
public:
    explicit Surface(TPaintBox* owner)
        : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate), owner_(owner) {
        // Keyboard focus stays with the main window's widgets and shortcuts.
        setFlag(Qt::WindowDoesNotAcceptFocus);
    }

protected:
    void initializeGL() override {
        if (owner_->onReady) owner_->onReady();
    }
    void paintGL() override {
        owner_->repaintPosted_ = false;
        if (owner_->onPaint) owner_->onPaint();
    }
    void resizeGL(int, int) override {
        if (owner_->onResize) owner_->onResize();
    }
    void mousePressEvent(QMouseEvent* e) override {
        // A click in the view takes the keys, as a click on any other control does (F then
        // frames the model, whatever panel had them before).
        owner_->setFocus(Qt::MouseFocusReason);
        if (owner_->onMouse) owner_->onMouse(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (owner_->onMouse) owner_->onMouse(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (owner_->onMouse) owner_->onMouse(e);
    }
    void wheelEvent(QWheelEvent* e) override {
        if (owner_->onWheel) owner_->onWheel(e);
    }
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Leave && owner_->onLeave) owner_->onLeave();
        return QOpenGLWindow::event(e);
    }

private:
    TPaintBox* owner_;
};

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent), surface_(new Surface(this)) {
    setObjectName("Pbox");
    setMouseTracking(true); // moves without a button name the node under the pointer
    setFocusPolicy(Qt::ClickFocus);
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(24);
    surface_->setFormat(format);
    QWidget* container = QWidget::createWindowContainer(surface_, this);
    container->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(container);
}

TPaintBox::~TPaintBox() = default; // the container owns the surface

QOpenGLContext* TPaintBox::context() const {
    return surface_->context();
}

bool TPaintBox::MakeCurrent() {
    if (!isValid()) return false;
    surface_->makeCurrent();
    return true;
}

bool TPaintBox::isValid() const {
    return surface_->isValid();
}

QWindow* TPaintBox::Window() const {
    return surface_;
}

void TPaintBox::Repaint() {
    // The window system would hand the frame over a frame-time later (16 ms on X); a view
    // that follows the mouse draws at the next turn of the event loop instead. One request
    // stands for every change until then.
    if (!repaintPosted_) {
        repaintPosted_ = true;
        QCoreApplication::postEvent(surface_, new QEvent(QEvent::UpdateRequest));
    }
}

QImage TPaintBox::grabFramebuffer() {
    if (!isValid()) return QImage();
    surface_->makeCurrent();
    if (onPaint) onPaint(); // into the back buffer, which is read before anything shows it
    const QSize size = surface_->size() * surface_->devicePixelRatio();
    QImage image(size, QImage::Format_RGBA8888);
    QOpenGLFunctions* f = context()->functions();
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    QImage picture = image.mirrored().convertToFormat(QImage::Format_RGB32);
    // Pixels of the screen: painted into a picture of the window, it covers the view's points.
    picture.setDevicePixelRatio(surface_->devicePixelRatio());
    return picture;
}

void TPaintBox::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    if (onMouse) onMouse(e);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* e) {
    if (onMouse) onMouse(e);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* e) {
    if (onMouse) onMouse(e);
}

void TPaintBox::wheelEvent(QWheelEvent* e) {
    if (onWheel) onWheel(e);
}

void TPaintBox::leaveEvent(QEvent* e) {
    QWidget::leaveEvent(e);
    if (onLeave) onLeave();
}

} // namespace vorlin
