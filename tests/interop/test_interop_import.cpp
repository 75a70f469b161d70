// Motion imported onto the sample: a BVH made here bends the figure as it bends, a glTF written
// by the export comes back as the same pose, another character's KEY moves a figure of other
// proportions, and the CMU captures bend the sample as the actors bent.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>

#include "edit/key_document.h"
#include "expect_error.h"
#include "interop/gltf_export.h"
#include "interop/motion_import.h"
#include "interop_helpers.h"
#include "key/key_check.h"
#include "model/graph_files.h"
#include "settings/GlobalVars.h"
#include "fixtures/fixtures.h"

namespace vorlin {
namespace {

using namespace test;

std::unique_ptr<T3DO> SampleModel(const std::string& text = {}) {
    const std::string path = SamplePath("3do/sample.3do");
    ProjectDir = TKeyDocument::ProjectDirOf(path);
    if (text.empty()) return std::make_unique<T3DO>(path);
    static TempDir dir;
    return std::make_unique<T3DO>(dir.write("variant.3do", text));
}

void ExpectPlaysTheGame(const TKEYFile& key, const T3DO& model) {
    for (const TFinding& f : CheckKey(key, &model))
        EXPECT_NE(f.Severity, TSeverity::Error) << f.Message;
    EXPECT_EQ(key.Joints, model.HNodes.Count());
    for (int k = 0; k < key.Nodes.Count(); ++k) {
        EXPECT_EQ(key.Joint(k), k);
        EXPECT_EQ(key.Nodes[k].MeshName, model.HNodes[k].Name);
    }
}

// The largest distance of any vertex between two KEYs' poses of a model, over every frame.
double VertexDifference(T3DO& model, const TKEYFile& a, const TKEYFile& b) {
    double worst = 0;
    for (int f = 0; f < a.Frames; ++f) {
        a.ApplyToModel(model, f);
        std::vector<TVec3> first;
        for (const auto& mesh : model.Meshes)
            for (const TVertex* v : mesh->Faces.Vertices)
                first.push_back({v->tx, v->ty, v->tz});
        b.ApplyToModel(model, f);
        size_t i = 0;
        for (const auto& mesh : model.Meshes)
            for (const TVertex* v : mesh->Faces.Vertices)
                worst = std::max(worst, Length(first[i++] - TVec3{v->tx, v->ty, v->tz}));
    }
    return worst;
}

int Entries(const TKEYFile& key) {
    int n = 0;
    for (int k = 0; k < key.Nodes.Count(); ++k)
        n += key.Nodes[k].Entries.Count();
    return n;
}

TEST(MotionImport, SmallBvhBendsTheSampleAsItBends) {
    TempDir dir;
    const std::vector<TBvhBone> bones = TestSkeleton();
    // 31 frames at 30 a second: the left elbow bends forward to 90 degrees, the left thigh
    // swings forward to 45 and its knee back to 60, while the figure walks 10 units forward
    // (+Z) at the height its legs stand it.
    std::vector<std::vector<double>> frames;
    for (int f = 0; f <= 30; ++f) {
        const double s = f / 30.0;
        std::vector<double> v(size_t(ChannelCount(bones)), 0.0);
        v[1] = 17;
        v[2] = 10 * s;
        auto set = [&](const std::string& bone, int axis, double value) {
            int at = 6;
            for (const TBvhBone& b : bones) {
                if (b.End || b.Parent < 0) continue;
                if (b.Name == bone) break;
                at += 3;
            }
            v[size_t(at + axis)] = value; // Z X Y
        };
        set("LeftForeArm", 2, -90 * s);
        set("LeftUpLeg", 1, -45 * s);
        set("LeftLeg", 1, 60 * s);
        frames.push_back(v);
    }
    const std::string bvh = dir.write("bend.bvh", BvhText(bones, frames, 1 / 30.0));
    const auto model = SampleModel();
    const auto motion = ReadMotion(bvh);
    const TImportResult result = ImportMotion(*model, *motion, {});
    const TKEYFile& key = *result.Key;
    ExpectPlaysTheGame(key, *model);
    EXPECT_EQ(key.Frames, 31);
    EXPECT_EQ(key.FPS, 30);
    EXPECT_EQ(key.Name, "Motion.key") << "named after assimp's name of the BVH's motion";
    EXPECT_EQ(result.Pairs.size(), 11u);
    EXPECT_TRUE(result.UnmappedNodes.empty());
    EXPECT_EQ(result.UnusedBones,
              (std::vector<std::string>{"LeftHand", "RightHand", "LeftFoot", "RightFoot"}));
    EXPECT_LE(result.Error.Angle, 0.5 + 1e-6);
    EXPECT_LE(result.Error.Position, 0.002 + 1e-6);
    EXPECT_LT(result.Keys, 11 * 31 / 2);
    // Scaled by the legs: the sample's thigh is 0.225 long, the capture's 8.
    EXPECT_NEAR(result.Scale, 0.225 / 8, 1e-9);

    const int upper = NodeIndex(*model, "l_upper_arm"), fore = NodeIndex(*model, "l_forearm");
    const int thigh = NodeIndex(*model, "l_thigh"), shin = NodeIndex(*model, "l_shin");
    const int root = NodeIndex(*model, "root");
    for (int f = 0; f <= 30; ++f) {
        SCOPED_TRACE(f);
        const double s = f / 30.0;
        const std::vector<TXform> w = PosedWorld(*model, key, f);
        const TVec3 arm = NodeDirection(*model, w, upper, "l_forearm");
        const TVec3 forearm = NodeDirection(*model, w, fore);
        // The arms stand out sideways as the capture's T-pose does: the left to -X, the game's
        // left; the forearm bends forward, to the game's +Y.
        EXPECT_LT(AngleBetween(arm, {-1, 0, 0}), 1.0);
        EXPECT_NEAR(AngleBetween(arm, forearm), 90 * s, 1.0);
        EXPECT_LT(AngleBetween(forearm, {-std::cos(s * std::numbers::pi / 2),
                                         std::sin(s * std::numbers::pi / 2), 0}),
                  1.0);
        const TVec3 leg = NodeDirection(*model, w, thigh, "l_shin");
        const TVec3 shank = NodeDirection(*model, w, shin);
        EXPECT_NEAR(AngleBetween(leg, {0, 0, -1}), 45 * s, 1.0);
        EXPECT_NEAR(AngleBetween(leg, shank), 60 * s, 1.0);
        EXPECT_GT(leg.y, -1e-9) << "the thigh swings forward";
        // The root walks forward (+Y) by the path's 10 units scaled, and stands at rest height.
        EXPECT_NEAR(w[size_t(root)].T.y, 10 * s * result.Scale, 1e-3);
        EXPECT_NEAR(w[size_t(root)].T.z, 0, 1e-3);
    }
}

TEST(MotionImport, RoundTripThroughGltfGivesThePoseBack) {
    auto model = SampleModel();
    TempDir dir;
    const auto walk = TKEYFile::CreateFromFile(SamplePath("3do/key/walk.key"));
    const auto jump = TKEYFile::CreateFromFile(SamplePath("3do/key/jump.key"));
    const std::string glb = dir.file("sample.glb");
    ExportGltf(*model, {walk.get(), jump.get()}, BuiltInPalette(), glb);
    EXPECT_EQ(MotionAnimations(glb), (std::vector<std::string>{"walk", "jump"}));
    for (const TKEYFile* original : {walk.get(), jump.get()}) {
        const std::string name = original == walk.get() ? "walk" : "jump";
        SCOPED_TRACE(name);
        const auto motion = ReadMotion(glb, name);
        const TImportResult result = ImportMotion(*model, *motion, {});
        ExpectPlaysTheGame(*result.Key, *model);
        EXPECT_EQ(result.Key->Frames, original->Frames);
        EXPECT_EQ(result.Key->FPS, original->FPS);
        EXPECT_LT(VertexDifference(*model, *original, *result.Key), 0.002);
        // No more keys than the KEY had, and one a node to hold the last frame.
        EXPECT_LE(Entries(*result.Key), Entries(*original) + model->HNodes.Count());
    }
}

// Blender writes each node's transform as the frame on show, not the rest: the model's own
// skeleton is still taken at the model's rest.
TEST(MotionImport, TheModelsOwnSkeletonSavedInAnotherPose) {
    auto model = SampleModel();
    TempDir dir;
    const auto walk = TKEYFile::CreateFromFile(SamplePath("3do/key/walk.key"));
    auto posed = SampleModel();
    walk->ApplyToModel(*posed, 8);
    for (const auto& h : posed->HNodes) {
        h->X = h->CurX, h->Y = h->CurY, h->Z = h->CurZ;
        h->Pitch = h->CurPitch, h->Yaw = h->CurYaw, h->Roll = h->CurRoll;
    }
    const std::string glb = dir.file("posed.glb");
    ExportGltf(*posed, {walk.get()}, BuiltInPalette(), glb);
    const TImportResult result = ImportMotion(*model, *ReadMotion(glb), {});
    EXPECT_LT(VertexDifference(*model, *walk, *result.Key), 0.002);
    EXPECT_LE(Entries(*result.Key), Entries(*walk) + model->HNodes.Count());
}

TEST(MotionImport, AnotherCharactersKeyMovesAFigureOfOtherProportions) {
    auto model = SampleModel();
    const auto walk = TKEYFile::CreateFromFile(SamplePath("3do/key/walk.key"));
    const auto source = KeyMotion(*model, *walk);
    // Onto itself: the same pose.
    {
        const TImportResult same = ImportMotion(*model, *source, {});
        EXPECT_LT(VertexDifference(*model, *walk, *same.Key), 0.002);
        EXPECT_EQ(same.Key->Flags, walk->Flags) << "a KEY's header comes along";
        EXPECT_EQ(same.Key->Markers.Count(), walk->Markers.Count());
    }
    // Onto longer forearms and shins: each limb points where the walk's does, the root's path
    // scaled by the legs.
    std::string text = ReadAll(SamplePath("3do/sample.3do"));
    for (const char* from : {"-0.150000", "-0.225000"}) {
        size_t at;
        while ((at = text.find(from)) != std::string::npos)
            text.replace(at, 9, std::string(from) == "-0.150000" ? "-0.250000" : "-0.330000");
    }
    const auto tall = SampleModel(text);
    ASSERT_EQ(tall->HNodes.Count(), 11);
    const TImportResult result = ImportMotion(*tall, *source, {});
    ExpectPlaysTheGame(*result.Key, *tall);
    EXPECT_NEAR(result.Scale, 0.33 / 0.225, 1e-9);
    for (int f = 0; f < walk->Frames; ++f) {
        const std::vector<TXform> a = PosedWorld(*model, *walk, f),
                                  b = PosedWorld(*tall, *result.Key, f);
        for (const auto& [node, towards] :
             std::vector<std::pair<const char*, const char*>>{{"l_upper_arm", "l_forearm"},
                                                              {"r_thigh", "r_shin"},
                                                              {"l_forearm", ""},
                                                              {"r_shin", ""},
                                                              {"head", ""}}) {
            const int n = NodeIndex(*model, node);
            EXPECT_LT(AngleBetween(NodeDirection(*model, a, n, towards),
                                   NodeDirection(*tall, b, n, towards)),
                      1.0)
                << node << " frame " << f;
        }
    }
}

// The CMU captures Debian ships with assimp's test models: each elbow, knee, upper arm and
// thigh of the sample bends within 10 degrees of the capture's at every frame.
TEST(MotionImport, CmuCapturesBendTheSampleAsTheActorsBent) {
    const std::string folder = "/usr/share/assimp/models/BVH/";
    struct Bend {
        const char* name;
        // Model: the node and what its direction points to ("" its mesh); the capture the same.
        const char *node, *nodeTo, *against, *againstTo;
        const char *bone, *boneTo, *boneAgainst, *boneAgainstTo;
    };
    const Bend bends[] = {
        {"left elbow", "l_upper_arm", "l_forearm", "l_forearm", "", "LeftArm", "LeftForeArm",
         "LeftForeArm", "LeftHand"},
        {"right elbow", "r_upper_arm", "r_forearm", "r_forearm", "", "RightArm", "RightForeArm",
         "RightForeArm", "RightHand"},
        {"left knee", "l_thigh", "l_shin", "l_shin", "", "LeftUpLeg", "LeftLeg", "LeftLeg",
         "LeftFoot"},
        {"right knee", "r_thigh", "r_shin", "r_shin", "", "RightUpLeg", "RightLeg", "RightLeg",
         "RightFoot"},
        {"left upper arm", "l_upper_arm", "l_forearm", "torso", "head", "LeftArm", "LeftForeArm",
         "LowerBack", "Head"},
        {"right upper arm", "r_upper_arm", "r_forearm", "torso", "head", "RightArm", "RightForeArm",
         "LowerBack", "Head"},
        {"left thigh", "l_thigh", "l_shin", "torso", "head", "LeftUpLeg", "LeftLeg", "LowerBack",
         "Head"},
        {"right thigh", "r_thigh", "r_shin", "torso", "head", "RightUpLeg", "RightLeg", "LowerBack",
         "Head"},
    };
    for (const char* file : {"01_01.bvh", "01_03.bvh"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(std::filesystem::exists(folder + file))
            << "assimp-testmodels is missing: scripts/setup.sh installs it";
        auto model = SampleModel();
        const auto motion = ReadMotion(folder + file);
        const TImportResult result = ImportMotion(*model, *motion, {});
        ExpectPlaysTheGame(*result.Key, *model);
        EXPECT_EQ(result.Key->FPS, 30);
        double worst[std::size(bends)] = {};
        std::vector<TXform> local;
        for (int f = 0; f < result.Key->Frames; ++f) {
            const std::vector<TXform> w = PosedWorld(*model, *result.Key, f);
            motion->Sample(f / 30.0, local);
            const std::vector<TXform> c = motion->World(local);
            auto bone = [&](const char* a, const char* b) {
                return c[size_t(BoneIndex(*motion, b))].T - c[size_t(BoneIndex(*motion, a))].T;
            };
            for (size_t i = 0; i < std::size(bends); ++i) {
                const Bend& b = bends[i];
                const double mine = AngleBetween(
                    NodeDirection(*model, w, NodeIndex(*model, b.node), b.nodeTo),
                    NodeDirection(*model, w, NodeIndex(*model, b.against), b.againstTo));
                const double theirs =
                    AngleBetween(bone(b.bone, b.boneTo), bone(b.boneAgainst, b.boneAgainstTo));
                worst[i] = std::max(worst[i], std::abs(mine - theirs));
            }
        }
        for (size_t i = 0; i < std::size(bends); ++i) {
            EXPECT_LT(worst[i], 10.0) << bends[i].name;
            std::printf("%s %s: largest difference %.2f degrees over %d frames\n", file,
                        bends[i].name, worst[i], result.Key->Frames);
        }
    }
}

TEST(MotionImport, BadInputIsOneClearLine) {
    TempDir dir;
    auto model = SampleModel();
    const std::vector<TBvhBone> strange = {
        {"Foo", -1, 0, 0, 0}, {"Bar", 0, 0, 1, 0}, {"", 1, 0, 1, 0, true}};
    const std::string unmapped =
        dir.write("strange.bvh", BvhText(strange, {{0, 0, 0, 0, 0, 0, 0, 0, 0}}, 0.1));
    const std::string walkGlb = dir.file("still.glb");
    ExportGltf(*model, {}, BuiltInPalette(), walkGlb);
    T3DO empty;
    empty.FileName = "empty.3do";
    struct Bad {
        const char* name;
        std::function<void()> run;
        std::string message;
    };
    const Bad bad[] = {
        {"not motion", [&] { ReadMotion(dir.write("words.bvh", "hello\n")); },
         dir.file("words.bvh") + " is not a motion file that can be read"},
        {"no animation", [&] { ReadMotion(walkGlb); }, walkGlb + " has no animation"},
        {"no such animation", [&] { ReadMotion(unmapped, "run"); },
         unmapped + " has no animation run (it has "},
        {"nothing mapped", [&] { ImportMotion(*model, *ReadMotion(unmapped), {}); },
         "No bone of " + unmapped + " maps onto a node of "},
        {"no nodes", [&] { ImportMotion(empty, *ReadMotion(unmapped), {}); },
         "empty.3do has no hierarchy nodes to move"},
        {"past the end",
         [&] {
             TImportOptions o;
             o.Retarget.From = 5;
             ImportMotion(
                 *model,
                 *KeyMotion(*model, *TKEYFile::CreateFromFile(SamplePath("3do/key/walk.key"))), o);
         },
         "seconds, before the start asked for"},
        {"missing", [&] { ReadMotion(dir.file("none.fbx")); }, "no such file"},
        {"endless",
         [&] {
             auto walk = TKEYFile::CreateFromFile(SamplePath("3do/key/walk.key"));
             walk->Frames = INT32_MAX;
             ImportMotion(*model, *KeyMotion(*model, *walk), {});
         },
         "would make more than 100000 frames at 15 a second: import a part of it"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        ExpectError(b.run, b.message);
    }
}

} // namespace
} // namespace vorlin
