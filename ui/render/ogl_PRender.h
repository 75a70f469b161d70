// The 3D view: the posed model as coloured outlines or textured faces, the floor grid with its
// axes, and the path of the animation's first node, under a camera that orbits the origin.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/graph_files.h"

class QMouseEvent;
class QOpenGLContext;
class QWindow;

namespace vorlin {

class T3DO;
class TKEYFile;
class TProgressForm;

// Whether the display can give the view an OpenGL context at all (a virtual display without
// OpenGL cannot, and a view widget must not even be created there).
bool OpenGLAvailable();

// The paint box: the widget the 3D view is drawn in. It hosts a native OpenGL window of its
// own, drawn and presented by itself, so a frame of the view costs its drawing and no more (a
// view inside the widget tree would have the whole main window composed again on every frame).
// Painting, resizing and the mouse are handed to the owner through the callbacks.
class TPaintBox : public QWidget {
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
    // Makes the view's context current for drawing.
    void makeCurrent();
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

// The texture of one material.
class TOGLTexture {
public:
    // Builds the texture; a material that cannot be found or read gets no texture object.
    TOGLTexture(const std::string& materialName, const TPalette& palette);
    ~TOGLTexture();
    TOGLTexture(const TOGLTexture&) = delete;
    TOGLTexture& operator=(const TOGLTexture&) = delete;
    void Bind() const;

    int Width = 0;
    int Height = 0;
    unsigned TextureName = 0;
};

// What the owner hands the renderer to draw besides the model and the document.
struct TSceneOptions {
    int SelectedNode = 0;      // drawn, with the nodes below it, in the selected colour
    bool ShowNodePath = false; // the path of the document's first node
    bool ShowFloor = false;    // the grid at the floor height rather than at 0
    double FloorHeight = 0;
};

class TOGLRenderer {
public:
    // Sets up drawing on the paint box, whose context must exist. Raises "Couldn't initialize
    // OpenGL" when the graphics library or a context cannot be had (the reason is logged).
    explicit TOGLRenderer(TPaintBox* box);
    // Releases the textures and display lists.
    ~TOGLRenderer();
    TOGLRenderer(const TOGLRenderer&) = delete;
    TOGLRenderer& operator=(const TOGLRenderer&) = delete;

    void UpdateColours();
    // Compiles the frame start and the grid (at the floor of Options).
    void RebuildLists();
    void SetViewport(int x, int y, int width, int height);
    void SetCamera(double pitch, double yaw, double distance);
    void PanView(double dx, double dy);
    void ClearTextures();
    void LoadTextures(const std::vector<std::string>& names);
    void SelectTexture(int index);
    void DrawScene(const T3DO* model, const TKEYFile* key, bool textured);

    std::array<double, 3> CameraPos{};
    std::array<double, 3> PanOffset{};
    double TextureScaleU = 1, TextureScaleV = 1;
    double Aspect = 1;
    double CameraPitch = 0, CameraYaw = 0;
    std::vector<std::pair<std::string, std::unique_ptr<TOGLTexture>>> Textures;
    std::array<float, 3> Background{};
    // Wireframe, selected, node path, X axis, Y axis, Z axis, grid.
    std::array<std::array<unsigned char, 3>, 7> LineColours{};
    TProgressForm* Progress = nullptr; // shown while textures are built, when set
    TSceneOptions Options;

private:
    void ReadAspect();
    void MakeCurrent();
    TPaintBox* box_;
    static constexpr unsigned kNoTexture = ~0u;
    unsigned bound_ = kNoTexture; // the texture SelectTexture bound last during a frame
};

} // namespace vorlin
