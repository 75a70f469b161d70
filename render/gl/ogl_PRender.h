// The 3D view: the posed model as coloured outlines or textured faces, the floor grid with its
// axes, and the path of the animation's first node, under a camera that orbits the origin.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/graph_files.h"

namespace vorlin {

class T3DO;
class TKEYFile;

// Where the renderer draws: the editor's view, or a picture drawn with no display.
class TRenderTarget {
public:
    virtual ~TRenderTarget() = default;
    // Makes the target's OpenGL context current; false when it has none.
    virtual bool MakeCurrent() = 0;
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

// A pose drawn as a translucent silhouette behind the model (an onion skin): its faces as
// triangles, and their colour with its opacity.
struct TOnionSkin {
    std::array<float, 4> Tint{};
    std::vector<float> Triangles; // x, y, z of each corner
};

// What the owner hands the renderer to draw besides the model and the document.
struct TSceneOptions {
    int SelectedNode = 0; // drawn, with the nodes below it, in the selected colour; none if < 0
    bool ShowNodePath = false; // the path of the document's first node
    bool ShowFloor = false;    // the grid at the floor height rather than at 0
    double FloorHeight = 0;
};

class TOGLRenderer {
public:
    // Sets up drawing on the target, whose context must exist. Raises "Couldn't initialize
    // OpenGL" when the graphics library or a context cannot be had (the reason is logged).
    explicit TOGLRenderer(TRenderTarget* target);
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
    // Told while textures are built, when set: (0, n) before the first of n, (i, n) after each.
    std::function<void(int done, int total)> Progress;
    TSceneOptions Options;
    // Drawn after the model where nothing of it is in front, blended over what is behind.
    std::vector<TOnionSkin> Onions;

private:
    void DrawOnions();
    void ReadAspect();
    void MakeCurrent();
    TRenderTarget* target_;
    static constexpr unsigned kNoTexture = ~0u;
    unsigned bound_ = kNoTexture; // the texture SelectTexture bound last during a frame
};

} // namespace vorlin
