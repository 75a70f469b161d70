#include "gl/ogl_PRender.h"

#include <GL/gl.h>

#include "edit/view_pick.h"
#include "key/u_key.h"
#include "model/geo_utils.h"
#include "model/u_3dos.h"
#include "gl/GLunit.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

constexpr GLuint kFrameStartList = 1;
constexpr GLuint kGridList = 2;
enum LineColour { lcWireframe, lcSelected, lcNodePath, lcXAxis, lcYAxis, lcZAxis, lcGrid };

} // namespace

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

TOGLRenderer::TOGLRenderer(TRenderTarget* target) : target_(target) {
    if (!LoadOpenGL()) throw Error("Couldn't initialize OpenGL");
    if (!target || !target->MakeCurrent()) {
        LogMessage(mtWarning, "This display gives the 3D view no OpenGL context");
        throw Error("Couldn't initialize OpenGL");
    }
    GL.glEnable(GL_CULL_FACE);
    GL.glCullFace(GL_BACK);
    GL.glFrontFace(GL_CCW);
    GL.glEnable(GL_DEPTH_TEST);
    GL.glShadeModel(GL_FLAT);
    ReadAspect();
}

TOGLRenderer::~TOGLRenderer() {
    if (target_->MakeCurrent()) {
        Textures.clear();
        GL.glDeleteLists(kFrameStartList, 2);
    }
}

void TOGLRenderer::MakeCurrent() {
    target_->MakeCurrent();
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
    const TViewCamera c = OrbitCamera(pitch, yaw, distance, PanOffset, Aspect);
    CameraPitch = c.Pitch;
    CameraYaw = c.Yaw;
    CameraPos = c.Pos;
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
    const int total = int(names.size());
    if (Progress) Progress(0, total);
    for (const std::string& name : names) {
        Textures.emplace_back(name, std::make_unique<TOGLTexture>(name, CurrentPalette()));
        if (Progress) Progress(int(Textures.size()), total);
    }
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
    // The skins first, leaving the depth alone: the pose on show is drawn over them, opaque,
    // and they show only round it.
    DrawOnions();
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
        // Textured faces need no outline; the selected subtree is outlined in both modes. No
        // node selected highlights nothing (every node lies below "no node" by the model's rule).
        const bool selected =
            Options.SelectedNode >= 0 && model->IsInSubtree(Options.SelectedNode, i);
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

void TOGLRenderer::DrawOnions() {
    if (Onions.empty()) return;
    // Beyond the entry points the view needs: looked up once, through the graphics library.
    using GetProc = void* (*)(const GLubyte*);
    static const auto find = [](const char* name) {
        const auto get = reinterpret_cast<GetProc>(GL.glXGetProcAddress);
        return get ? get(reinterpret_cast<const GLubyte*>(name)) : nullptr;
    };
    static const auto blendFunc = reinterpret_cast<void (*)(GLenum, GLenum)>(find("glBlendFunc"));
    static const auto depthMask = reinterpret_cast<void (*)(GLboolean)>(find("glDepthMask"));
    static const auto colour4f =
        reinterpret_cast<void (*)(GLfloat, GLfloat, GLfloat, GLfloat)>(find("glColor4f"));
    if (!blendFunc || !depthMask || !colour4f) return;
    GL.glEnable(GL_BLEND);
    blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    depthMask(GL_FALSE); // one skin does not hide the other
    for (const TOnionSkin& skin : Onions) {
        colour4f(skin.Tint[0], skin.Tint[1], skin.Tint[2], skin.Tint[3]);
        GL.glBegin(GL_TRIANGLES);
        for (size_t i = 0; i + 2 < skin.Triangles.size(); i += 3)
            GL.glVertex3f(skin.Triangles[i], skin.Triangles[i + 1], skin.Triangles[i + 2]);
        GL.glEnd();
    }
    depthMask(GL_TRUE);
    GL.glDisable(GL_BLEND);
}

} // namespace vorlin
