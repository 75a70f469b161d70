#include "render/ogl_PRender.h"

#include <GL/gl.h>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWindow>
#include <QVBoxLayout>

#include "dialogs/progress_form.h"
#include "key/u_key.h"
#include "model/geo_utils.h"
#include "model/u_3dos.h"
#include "render/GLunit.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

constexpr GLuint kFrameStartList = 1;
constexpr GLuint kGridList = 2;
enum LineColour { lcWireframe, lcSelected, lcNodePath, lcXAxis, lcYAxis, lcZAxis, lcGrid };

} // namespace

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

void TPaintBox::makeCurrent() {
    surface_->makeCurrent();
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
    return image.mirrored().convertToFormat(QImage::Format_RGB32);
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

// ---- TOGLTexture ----

TOGLTexture::TOGLTexture(const std::string& materialName, const TPalette& palette) {
    std::vector<uint8_t> rgb;
    try {
        TMAT mat(FindResource(materialName));
        Width = mat.Info.width;
        Height = mat.Info.height;
        rgb = ImageToRGB(mat, palette);
    } catch (const Error&) {
        return; // no picture; a material not found was logged by the search
    }
    if (Width == 0 || Height == 0) return;
    GL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GL.glGenTextures(1, &TextureName);
    GL.glBindTexture(GL_TEXTURE_2D, TextureName);
    GL.glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    GL.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    GL.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    GL.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    GL.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    GL.glTexImage2D(GL_TEXTURE_2D, 0, 3, Width, Height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    GL.glEnable(GL_TEXTURE_2D);
    GL.glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    GL.glBindTexture(GL_TEXTURE_2D, 0);
}

TOGLTexture::~TOGLTexture() {
    if (!TextureName) return;
    GL.glBindTexture(GL_TEXTURE_2D, 0);
    GL.glDeleteTextures(1, &TextureName);
}

void TOGLTexture::Bind() const {
    GL.glBindTexture(GL_TEXTURE_2D, TextureName);
}

// ---- TOGLRenderer ----

TOGLRenderer::TOGLRenderer(TPaintBox* box) : box_(box) {
    if (!LoadOpenGL()) throw Error("Couldn't initialize OpenGL");
    QOpenGLContext* context = box ? box->context() : nullptr;
    if (!context || !context->isValid()) {
        LogMessage(mtWarning, "This display gives the 3D view no OpenGL context");
        throw Error("Couldn't initialize OpenGL");
    }
    MakeCurrent();
    GL.glEnable(GL_CULL_FACE);
    GL.glCullFace(GL_BACK);
    GL.glFrontFace(GL_CCW);
    GL.glEnable(GL_DEPTH_TEST);
    GL.glShadeModel(GL_FLAT);
    ReadAspect();
}

TOGLRenderer::~TOGLRenderer() {
    if (box_ && box_->context()) {
        MakeCurrent();
        Textures.clear();
        GL.glDeleteLists(kFrameStartList, 2);
    }
}

void TOGLRenderer::MakeCurrent() {
    box_->makeCurrent();
}

void TOGLRenderer::ReadAspect() {
    GLint vp[4] = {0, 0, 0, 0};
    GL.glGetIntegerv(GL_VIEWPORT, vp);
    if (vp[3] != 0) Aspect = double(vp[2]) / double(vp[3]);
}

void TOGLRenderer::SetViewport(int x, int y, int width, int height) {
    MakeCurrent();
    GL.glViewport(x, y, width, height);
    ReadAspect();
}

void TOGLRenderer::UpdateColours() {
    auto bytes = [](TColor c) {
        return std::array<unsigned char, 3>{static_cast<unsigned char>(c & 0xFF),
                                            static_cast<unsigned char>((c >> 8) & 0xFF),
                                            static_cast<unsigned char>((c >> 16) & 0xFF)};
    };
    const auto colours = ColourSettings();
    const auto bg = bytes(*colours[0]);
    for (size_t i = 0; i < 3; ++i)
        Background[i] = float(bg[i]) * (1.0f / 255.0f);
    for (size_t i = 0; i < LineColours.size(); ++i)
        LineColours[i] = bytes(*colours[i + 1]);
    RebuildLists();
}

void TOGLRenderer::RebuildLists() {
    MakeCurrent();
    GL.glNewList(kFrameStartList, GL_COMPILE);
    GL.glClearColor(Background[0], Background[1], Background[2], 1);
    GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GL.glMatrixMode(GL_PROJECTION);
    GL.glLoadIdentity();
    GL.gluPerspective(85, Aspect, 0.01, 1000);
    GL.glMatrixMode(GL_MODELVIEW);
    GL.glLoadIdentity();
    ReadAspect();
    GL.glEndList();

    const float h = float(Options.ShowFloor ? Options.FloorHeight : 0.0);
    auto colour = [this](LineColour c) {
        const auto& rgb = LineColours[size_t(c)];
        GL.glColor3ub(rgb[0], rgb[1], rgb[2]);
    };
    GL.glNewList(kGridList, GL_COMPILE);
    GL.glBegin(GL_LINES);
    colour(lcGrid);
    for (int i = -10; i <= 10; ++i) {
        if (i == 0) continue;
        GL.glVertex3f(float(i), -10, h);
        GL.glVertex3f(float(i), 10, h);
        GL.glVertex3f(-10, float(i), h);
        GL.glVertex3f(10, float(i), h);
    }
    GL.glVertex3f(-10, 0, h);
    GL.glVertex3f(0, 0, h);
    GL.glVertex3f(0, -10, h);
    GL.glVertex3f(0, 0, h);
    colour(lcXAxis);
    GL.glVertex3f(0, 0, h);
    GL.glVertex3f(10, 0, h);
    colour(lcYAxis);
    GL.glVertex3f(0, 0, h);
    GL.glVertex3f(0, 10, h);
    colour(lcZAxis);
    GL.glVertex3f(0, 0, h);
    GL.glVertex3f(0, 0, h + 10);
    GL.glEnd();
    GL.glEndList();
}

void TOGLRenderer::SetCamera(double pitch, double yaw, double distance) {
    CameraPitch = pitch;
    CameraYaw = 180 - yaw;
    TVector v;
    SetVec(v, 0, distance, 0);
    RotateVector(v, -pitch, 0, 0);
    RotateVector(v, 0, -yaw, 0);
    CameraPos = {v.x, v.y, v.z};
}

void TOGLRenderer::PanView(double dx, double dy) {
    PanOffset[0] += 0.01 * dx;
    PanOffset[1] -= 0.01 * dy;
}

void TOGLRenderer::ClearTextures() {
    MakeCurrent();
    Textures.clear();
}

void TOGLRenderer::LoadTextures(const std::vector<std::string>& names) {
    ClearTextures();
    if (Progress) Progress->Start(int(names.size()));
    for (const std::string& name : names) {
        Textures.emplace_back(name, std::make_unique<TOGLTexture>(name, CurrentPalette()));
        if (Progress) Progress->StepIt();
    }
    if (Progress) Progress->Finish();
}

void TOGLRenderer::SelectTexture(int index) {
    TextureScaleU = TextureScaleV = 1;
    GLuint name = 0;
    if (index >= 0 && index < int(Textures.size())) {
        const TOGLTexture& t = *Textures[size_t(index)].second;
        // A material without picture binds nothing, like an index outside the list.
        if (t.TextureName && t.Width > 0 && t.Height > 0) {
            name = t.TextureName;
            TextureScaleU = 1.0 / t.Width;
            TextureScaleV = 1.0 / t.Height;
        }
    }
    // Binding is costly in the graphics library (it ends the batch of vertices), so a texture
    // that is bound already is not bound again.
    if (name == bound_) return;
    GL.glBindTexture(GL_TEXTURE_2D, name);
    bound_ = name;
}

void TOGLRenderer::DrawScene(const T3DO* model, const TKEYFile* key, bool textured) {
    MakeCurrent();
    GL.glCallList(kFrameStartList);
    GL.glTranslated(PanOffset[0], PanOffset[1], PanOffset[2]);
    GL.glRotated(-90, 1, 0, 0);
    GL.glRotated(-CameraPitch, 1, 0, 0);
    GL.glRotated(-CameraYaw, 0, 0, 1);
    GL.glTranslated(-CameraPos[0], -CameraPos[1], -CameraPos[2]);
    if (!model) {
        GL.glFinish();
        return;
    }
    const int nodeCount = model->HNodes.Count();
    auto meshOf = [model](const T3DOHNode& n) -> const T3DOMesh* {
        if (n.Mesh < 0 || n.Mesh >= model->Meshes.Count()) return nullptr;
        return &model->Meshes[n.Mesh];
    };
    if (textured) {
        bound_ = kNoTexture;
        GL.glColor3ub(255, 255, 255);
        GL.glPolygonMode(GL_FRONT, GL_FILL);
        GL.glEnable(GL_TEXTURE_2D);
        for (int i = 0; i < nodeCount; ++i) {
            const T3DOMesh* mesh = meshOf(model->HNodes[i]);
            if (!mesh) continue;
            for (const auto& face : mesh->Faces) {
                SelectTexture(face->Material);
                GL.glBegin(GL_POLYGON);
                for (int k = 0; k < face->Vertices.Count(); ++k) {
                    const TTXVertex& t = face->TXVertices[k];
                    const TVertex& v = face->Vertices[k];
                    GL.glTexCoord2f(float(t.u * TextureScaleU), float(t.v * TextureScaleV));
                    GL.glVertex3f(float(v.tx), float(v.ty), float(v.tz));
                }
                GL.glEnd();
            }
        }
    }
    GL.glDisable(GL_TEXTURE_2D);
    for (int i = 0; i < nodeCount; ++i) {
        // Textured faces need no outline; the selected subtree is outlined in both modes.
        const bool selected = model->IsInSubtree(Options.SelectedNode, i);
        if (!selected && textured) continue;
        const auto& rgb = LineColours[selected ? lcSelected : lcWireframe];
        const T3DOMesh* mesh = meshOf(model->HNodes[i]);
        if (!mesh) continue;
        GL.glColor3ub(rgb[0], rgb[1], rgb[2]);
        for (const auto& face : mesh->Faces) {
            GL.glBegin(GL_LINE_LOOP);
            for (const TVertex* v : face->Vertices)
                GL.glVertex3f(float(v->tx), float(v->ty), float(v->tz));
            GL.glEnd();
        }
    }
    GL.glCallList(kGridList);
    // The path of the node that drives the model's first node.
    const int root = key ? key->NodeOfJoint(0) : -1;
    if (Options.ShowNodePath && root >= 0) {
        const auto& c = LineColours[lcNodePath];
        GL.glColor3ub(c[0], c[1], c[2]);
        GL.glBegin(GL_LINE_STRIP);
        for (const auto& e : key->Nodes[root].Entries)
            GL.glVertex3f(float(e->X), float(e->Y), float(e->Z));
        GL.glEnd();
    }
    GL.glFinish();
}

} // namespace vorlin
