// The 3D view: the posed model as coloured outlines or textured faces, the floor grid with its
// axes, and the path of the animation's first node, under a camera that orbits the origin.
#pragma once

#include <QOpenGLWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/graph_files.h"

namespace vorlin {

class T3DO;
class TKEYFile;
class TProgressForm;

// Whether the display can give the view an OpenGL context at all (a virtual display without
// OpenGL cannot, and a view widget must not even be created there).
bool OpenGLAvailable();

// The paint box: the widget whose OpenGL context the renderer draws into. Painting and
// resizing are handed to the owner through the callbacks.
class TPaintBox : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);
    std::function<void()> onPaint;
    std::function<void()> onResize;

protected:
    void paintGL() override;
    void resizeGL(int w, int h) override;
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

private:
    void ReadAspect();
    void MakeCurrent();
    TPaintBox* box_;
    static constexpr unsigned kNoTexture = ~0u;
    unsigned bound_ = kNoTexture; // the texture SelectTexture bound last during a frame
};

} // namespace vorlin
