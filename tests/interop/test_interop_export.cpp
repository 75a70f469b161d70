// The sample exported to glTF and read back with assimp: every node's transform at every frame
// is the game's pose, every vertex where the pose puts it (in glTF's axes), the materials'
// pictures in the file.
#include <gtest/gtest.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <cmath>
#include <functional>
#include <map>

#include "edit/key_document.h"
#include "expect_error.h"
#include "interop/gltf_export.h"
#include "interop_helpers.h"
#include "key/u_key.h"
#include "model/graph_files.h"
#include "settings/GlobalVars.h"
#include "fixtures/fixtures.h"

namespace vorlin {
namespace {

using test::SamplePath;

TMat3 Mat(const aiMatrix3x3& m) {
    TMat3 r;
    r.m = {{{m.a1, m.a2, m.a3}, {m.b1, m.b2, m.b3}, {m.c1, m.c2, m.c3}}};
    return r;
}

struct Sample {
    Sample() {
        const std::string path = SamplePath("3do/sample.3do");
        ProjectDir = TKeyDocument::ProjectDirOf(path);
        model = std::make_unique<T3DO>(path);
        walk = TKEYFile::CreateFromFile(SamplePath("3do/key/walk.key"));
        jump = TKEYFile::CreateFromFile(SamplePath("3do/key/jump.key"));
    }
    ~Sample() { ProjectDir.clear(); }
    std::unique_ptr<T3DO> model;
    std::unique_ptr<TKEYFile> walk, jump;
};

TEST(GltfExport, ReadBackEveryNodeAtEveryFrameIsThePose) {
    Sample s;
    test::TempDir dir;
    const TMat3 c = GameToGltf();
    for (const char* ext : {".glb", ".gltf"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir.file(std::string("sample") + ext);
        ExportGltf(*s.model, {s.walk.get(), s.jump.get()}, BuiltInPalette(), out);
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(out, 0);
        ASSERT_TRUE(scene) << importer.GetErrorString();
        // Two pictures (an 8-bit and a 16-bit material) and a colour, inside the file.
        EXPECT_EQ(scene->mNumTextures, 2u);
        EXPECT_GE(scene->mNumMaterials, 3u);
        std::map<std::string, const aiNode*> nodes;
        std::function<void(const aiNode*)> walkTree = [&](const aiNode* n) {
            nodes[n->mName.C_Str()] = n;
            for (unsigned i = 0; i < n->mNumChildren; ++i)
                walkTree(n->mChildren[i]);
        };
        walkTree(scene->mRootNode);
        for (int j = 0; j < s.model->HNodes.Count(); ++j)
            EXPECT_TRUE(nodes.count(s.model->HNodes[j].Name)) << s.model->HNodes[j].Name;

        ASSERT_EQ(scene->mNumAnimations, 2u);
        for (unsigned a = 0; a < 2; ++a) {
            const aiAnimation& anim = *scene->mAnimations[a];
            const TKEYFile& doc = a == 0 ? *s.walk : *s.jump;
            EXPECT_STREQ(anim.mName.C_Str(), a == 0 ? "walk" : "jump");
            ASSERT_EQ(anim.mNumChannels, unsigned(s.model->HNodes.Count()));
            const double ticks = anim.mTicksPerSecond > 0 ? anim.mTicksPerSecond : 1;
            for (int f = 0; f < doc.Frames; ++f) {
                doc.ApplyToModel(*s.model, f);
                // Every node's local transform at the frame.
                std::map<std::string, TXform> local;
                for (unsigned ch = 0; ch < anim.mNumChannels; ++ch) {
                    const aiNodeAnim& na = *anim.mChannels[ch];
                    ASSERT_EQ(na.mNumPositionKeys, unsigned(doc.Frames));
                    ASSERT_EQ(na.mNumRotationKeys, unsigned(doc.Frames));
                    EXPECT_NEAR(na.mRotationKeys[f].mTime / ticks * doc.FPS, f, 1e-3);
                    int j = 0;
                    while (s.model->HNodes[j].Name != na.mNodeName.C_Str())
                        ++j;
                    const T3DOHNode& h = s.model->HNodes[j];
                    const aiVector3D& p = na.mPositionKeys[f].mValue;
                    const TVec3 want = c * TVec3{h.CurX, h.CurY, h.CurZ};
                    EXPECT_LT(Length(TVec3{p.x, p.y, p.z} - want), 1e-6) << h.Name << " " << f;
                    const TMat3 r = Mat(na.mRotationKeys[f].mValue.GetMatrix());
                    const TMat3 wantR =
                        c * GameMatrix(h.CurPitch, h.CurYaw, h.CurRoll) * Transposed(c);
                    EXPECT_LT(RotationAngle(r, wantR), 1e-4) << h.Name << " " << f;
                    local[h.Name] = {r, {p.x, p.y, p.z}};
                }
                // Every vertex of every mesh where the pose puts it.
                std::function<void(const aiNode*, TXform)> place = [&](const aiNode* n,
                                                                       TXform above) {
                    const auto it = local.find(n->mName.C_Str());
                    const TXform world = it == local.end() ? above : above * it->second;
                    for (unsigned m = 0; m < n->mNumMeshes; ++m) {
                        const aiMesh& mesh = *scene->mMeshes[n->mMeshes[m]];
                        int j = 0;
                        while (s.model->HNodes[j].Name != n->mName.C_Str())
                            ++j;
                        const T3DOMesh& own = s.model->Meshes[s.model->HNodes[j].Mesh];
                        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
                            const aiVector3D& q = mesh.mVertices[v];
                            const TVec3 at = world.L * TVec3{q.x, q.y, q.z} + world.T;
                            double nearest = 1e9;
                            for (const TVertex* w : own.Faces.Vertices)
                                nearest =
                                    std::min(nearest, Length(at - c * TVec3{w->tx, w->ty, w->tz}));
                            EXPECT_LT(nearest, 1e-5) << n->mName.C_Str() << " frame " << f;
                        }
                    }
                    for (unsigned i = 0; i < n->mNumChildren; ++i)
                        place(n->mChildren[i], world);
                };
                place(scene->mRootNode, {});
            }
        }
    }
}

TEST(GltfExport, SubFrameSamplesAndRefusals) {
    Sample s;
    test::TempDir dir;
    // Four samples a frame: the last still the last frame.
    const std::string bytes = GltfBytes(*s.model, {s.walk.get()}, BuiltInPalette(), true, {0.25});
    const std::string out = dir.write("quarter.glb", bytes);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(out, 0);
    ASSERT_TRUE(scene);
    const aiNodeAnim& ch = *scene->mAnimations[0]->mChannels[0];
    EXPECT_EQ(ch.mNumPositionKeys, unsigned((s.walk->Frames - 1) * 4 + 1));

    struct Bad {
        const char* name;
        std::function<void()> run;
        const char* message;
    };
    auto zeroFps = s.walk->Clone();
    zeroFps->FPS = 0;
    auto endless = s.walk->Clone();
    endless->Frames = INT32_MAX;
    const Bad bad[] = {
        {"no fps",
         [&] { ExportGltf(*s.model, {zeroFps.get()}, BuiltInPalette(), dir.file("a.glb")); },
         "walk.key cannot be exported: its FPS is not above 0"},
        {"endless",
         [&] { ExportGltf(*s.model, {endless.get()}, BuiltInPalette(), dir.file("d.glb")); },
         "walk.key cannot be exported: 2147483647 frames of 11 nodes are more samples than "
         "10000000"},
        {"step", [&] { ExportGltf(*s.model, {}, BuiltInPalette(), dir.file("b.glb"), {2}); },
         "The step between samples must be above 0 and at most 1 frame"},
        {"extension", [&] { ExportGltf(*s.model, {}, BuiltInPalette(), dir.file("c.obj")); },
         ": the file must end in .glb or .gltf"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        test::ExpectError(b.run, b.message);
    }
    for (const char* name : {"a.glb", "b.glb", "c.obj", "d.glb"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
}

} // namespace
} // namespace vorlin
