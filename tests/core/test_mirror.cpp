// Mirroring an animation, closing a loop and breakdowns, judged by what the game shows: posed
// vertices, poses at frames, the saved text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "edit/breakdown.h"
#include "edit/key_change.h"
#include "edit/mirror.h"
#include "edit/view_pick.h"
#include "key/key_check.h"
#include "model/u_3dos.h"
#include "fixtures/fixtures.h"
#include "support/misc_utils.h"

using namespace vorlin;

namespace {

const std::string kSample = VORLIN_SAMPLE_DIR;

std::string Partner(const std::vector<std::string>& names, const std::string& name) {
    const TMirrorPairs pairs = FindMirrorPairs(names);
    const size_t i = size_t(std::find(names.begin(), names.end(), name) - names.begin());
    return names[size_t(pairs.Partner[i])];
}

// The model's posed vertices of a node's mesh.
std::vector<TVec3> Posed(const T3DO& model, int node) {
    std::vector<TVec3> out;
    const int mesh = model.HNodes[node].Mesh;
    if (mesh < 0) return out;
    for (const TVertex* v : model.Meshes[mesh].Faces.Vertices)
        out.push_back({v->tx, v->ty, v->tz});
    return out;
}

// Every point of a has a point of b within tolerance, and the other way round.
bool SamePoints(const std::vector<TVec3>& a, const std::vector<TVec3>& b, double tolerance) {
    auto covered = [tolerance](const std::vector<TVec3>& p, const std::vector<TVec3>& q) {
        return std::all_of(p.begin(), p.end(), [&](const TVec3& x) {
            return std::any_of(q.begin(), q.end(), [&](const TVec3& y) {
                return std::abs(x[0] - y[0]) < tolerance && std::abs(x[1] - y[1]) < tolerance &&
                       std::abs(x[2] - y[2]) < tolerance;
            });
        });
    };
    return a.size() == b.size() && covered(a, b) && covered(b, a);
}

} // namespace

TEST(Mirror, SideMarkersPairNames) {
    const std::vector<std::string> names = {
        "ROOT",     "L_THIGH",  "R_THIGH",  "arm_l",    "arm_r",    "LeftHand", "RightHand",
        "ky_lshin", "ky_rshin", "k_lfoot0", "k_rfoot0", "l_lonely", "head",     "ky_torso",
        "leftleg",  "RIGHTLEG", "x_l",      "x_r",      "l_",       "r_"};
    const struct {
        const char* name;
        const char* partner;
    } cases[] = {
        {"ROOT", "ROOT"},
        {"L_THIGH", "R_THIGH"},
        {"R_THIGH", "L_THIGH"},
        {"arm_l", "arm_r"},
        {"LeftHand", "RightHand"},
        {"ky_rshin", "ky_lshin"},
        {"k_lfoot0", "k_rfoot0"},
        {"l_lonely", "l_lonely"},
        {"ky_torso", "ky_torso"},
        {"leftleg", "RIGHTLEG"},
        {"x_l", "x_r"},
        {"l_", "l_"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Partner(names, c.name), c.partner) << c.name;
    TMirrorPairs pairs = FindMirrorPairs(names);
    pairs.Set(0, 12); // ROOT with head: each loses the partner it had
    pairs.Set(1, 4);  // L_THIGH with arm_r: R_THIGH and arm_l are then alone
    EXPECT_EQ(pairs.Partner[2], 2);
    EXPECT_EQ(pairs.Partner[3], 3);
    EXPECT_EQ(pairs.Partner[4], 1);
}

// Mirrored twice, every KEY is itself again, byte for byte once saved.
TEST(Mirror, TwiceIsTheOriginal) {
    std::vector<std::string> paths = {kSample + "/3do/key/walk.key", kSample + "/3do/key/jump.key"};
    for (const auto& dir : std::filesystem::directory_iterator(VORLIN_TEST_DATA "/key"))
        paths.push_back((dir.path() / "input.key").string());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        test::RecordingSink quiet;
        auto doc = TKEYFile::CreateFromFile(path);
        std::string before;
        try {
            before = doc->ToText();
        } catch (const Error&) {
            continue; // a document the editor would not save
        }
        const std::vector<std::string> names = JointNames(*doc, nullptr);
        const TMirrorPairs pairs = FindMirrorPairs(names);
        MirrorKey(*doc, pairs, names);
        MirrorKey(*doc, pairs, names);
        EXPECT_EQ(doc->ToText(), before);
    }
}

// The mirrored animation poses each mesh where the original posed its partner's, mirrored in
// X, at every frame: on the sample and on the sample renamed with ky_l / ky_r names.
TEST(Mirror, PosesAreTheMirrorImage) {
    const std::string text = test::ReadAll(kSample + "/3do/sample.3do");
    std::string renamed = text;
    for (const char* side : {"l_", "r_"})
        for (size_t at = 0; (at = renamed.find(std::string("  ") + side, at)) != std::string::npos;)
            renamed.replace(at + 2, 2, std::string("ky_") + side[0]), at += 4;
    test::TempDir dir;
    const std::string models[] = {kSample + "/3do/sample.3do", dir.write("ky.3do", renamed)};
    for (const std::string& path : models) {
        SCOPED_TRACE(path);
        T3DO model(path, 0);
        ASSERT_TRUE(SameText(model.HNodes[3].Name, "l_upper_arm") ||
                    SameText(model.HNodes[3].Name, "ky_lupper_arm"));
        const std::vector<std::string> names = JointNames(TKEYFile(), &model);
        const TMirrorPairs pairs = FindMirrorPairs(names);
        EXPECT_EQ(pairs.Unpaired().size(), 3u); // root, torso, head
        EXPECT_TRUE(AsymmetricPairs(model, pairs).empty());
        for (const char* key : {"walk.key", "jump.key"}) {
            auto original = TKEYFile::CreateFromFile(kSample + "/3do/key/" + key);
            auto mirrored = original->Clone();
            MirrorKey(*mirrored, pairs, names);
            for (int frame = 0; frame < original->Frames; ++frame) {
                original->ApplyToModel(model, frame);
                std::vector<std::vector<TVec3>> before;
                for (int j = 0; j < model.HNodes.Count(); ++j) {
                    before.push_back(Posed(model, j));
                    for (TVec3& p : before.back())
                        p[0] = -p[0];
                }
                mirrored->ApplyToModel(model, frame);
                for (int j = 0; j < model.HNodes.Count(); ++j)
                    EXPECT_TRUE(
                        SamePoints(Posed(model, j), before[size_t(pairs.Partner[size_t(j)])], 1e-4))
                        << key << " frame " << frame << " node " << names[size_t(j)];
            }
        }
    }
    // A model whose partners do not sit mirrored is named.
    T3DO model(models[0], 0);
    model.HNodes[3].X += 0.01;
    const std::vector<std::string> names = JointNames(TKEYFile(), &model);
    EXPECT_EQ(AsymmetricPairs(model, FindMirrorPairs(names)),
              std::vector<std::string>{"L_UPPER_ARM / R_UPPER_ARM"});
}

TEST(Breakdown, MatchLoopClosesTheLoopAndKeepsFrameZero) {
    auto doc = TKEYFile::CreateFromFile(VORLIN_TEST_DATA "/check/loop_open/input.key");
    const auto before = doc->Clone();
    ASSERT_EQ(LoopSeams(*doc).size(), 1u);
    MatchLoop(*doc);
    EXPECT_TRUE(LoopSeams(*doc).empty());
    for (int k = 0; k < doc->Nodes.Count(); ++k) {
        const TKEYPose a = before->EvaluateNode(k, 0), b = doc->EvaluateNode(k, 0);
        EXPECT_EQ(a.Yaw, b.Yaw);
        EXPECT_EQ(a.X, b.X);
        // The end runs on to frame 0's pose; the keys themselves keep their values.
        const TKEYPose end = doc->EvaluateNode(k, doc->Frames);
        EXPECT_NEAR(std::remainder(end.Yaw - a.Yaw, 360), 0, 1e-9);
        EXPECT_NEAR(end.X, a.X, 1e-9);
        EXPECT_EQ(doc->Nodes[k].Entries.Count(), before->Nodes[k].Entries.Count());
        EXPECT_EQ(doc->Nodes[k].Entries[1].Yaw, before->Nodes[k].Entries[1].Yaw);
    }
    // The game applies the new rates: the last key's flags say so.
    EXPECT_EQ(doc->Nodes[0].Entries[1].Flags & 2, 2);
}

// Match Loop changes (and counts) only the nodes whose end does not meet frame 0: a node of one
// entry holding still, or one that closes already, keeps its flags and rates.
TEST(Breakdown, MatchLoopTouchesOnlyTheNodesThatNeedIt) {
    auto doc = TKEYFile::CreateFromText("SECTION: HEADER\nFLAGS 0x3\nFRAMES 20\nJOINTS 3\n"
                                        "SECTION: KEYFRAME NODES\nNODES 3\n"
                                        "NODE 0\nMESH NAME STILL\nENTRIES 1\n"
                                        "0: 0 0x0 1 2 3 40 50 60\n0 0 0 0 0 0\n"
                                        "NODE 1\nMESH NAME CLOSED\nENTRIES 2\n"
                                        "0: 0 0x2 0 0 0 0 0 0\n0 0 0 1 0 0\n"
                                        "1: 10 0x2 0 0 0 10 0 0\n0 0 0 -1 0 0\n"
                                        "NODE 2\nMESH NAME OPEN\nENTRIES 2\n"
                                        "0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
                                        "1: 10 0x0 0 0 0 0 30 0\n0 0 0 0 0 0\n",
                                        "loop.key");
    const auto before = doc->Clone();
    EXPECT_EQ(MatchLoop(*doc), (std::vector<TKeyRef>{{2, 1}}));
    for (int k : {0, 1})
        EXPECT_TRUE(SameEntry(doc->Nodes[k].Entries.Last(), before->Nodes[k].Entries.Last())) << k;
    EXPECT_EQ(doc->Nodes[2].Entries[1].Flags, 2);
    EXPECT_DOUBLE_EQ(doc->Nodes[2].Entries[1].DYaw, -3);
    EXPECT_TRUE(MatchLoop(*doc).empty()); // closed now: a second run changes nothing
}

// Paste Mirrored onto a partner carries the mirrored motion from rest pose to rest pose: a pair
// placed as mirror images gets the plain mirror image, another pair keeps its own pivot.
TEST(Mirror, PasteMirroredCarriesTheMotionOntoThePartner) {
    TKEYFile doc;
    doc.Frames = 20;
    doc.Joints = 2;
    for (const char* name : {"L_ARM", "R_ARM"}) {
        TKEYNode& n = doc.Nodes.Add();
        n.MeshName = name;
        n.NodeNumber = doc.Nodes.Count() - 1;
        n.Entries.Add();
    }
    const TMirrorPairs pairs = FindMirrorPairs({"L_ARM", "R_ARM"});
    TKEYEntry copied; // 0.03 out, 10 degrees each way from the left arm's rest pose
    copied.X = -0.08;
    copied.Z = 0.235;
    copied.Pitch = 350;
    copied.Yaw = 15;
    copied.Roll = 10;
    const TKEYPose left{-0.11, 0, 0.235, 340, 5, 0};
    struct Case {
        TKEYPose right;
        bool rest;
        double x, yaw, roll;
    };
    const Case cases[] = {
        {{0.11, 0, 0.235, 340, 355, 0}, true, 0.08, 345, 350}, // mirror images: as mirrored
        {{0.2, 0, 0.235, 340, 355, 0}, true, 0.17, 345, 350},  // its own pivot, 0.03 out
        {{0.2, 0, 0.235, 340, 355, 0}, false, 0.08, 345, 350}, // no model: as mirrored
    };
    for (const Case& c : cases) {
        auto d = doc.Clone();
        const std::vector<TKEYPose> rest = {left, c.right};
        const TKeyRef at = PasteMirrored(*d, copied, 0, pairs, 10, c.rest ? &rest : nullptr);
        ASSERT_EQ(at.node, 1);
        const TKEYEntry& e = d->Nodes[1].Entries[at.entry];
        EXPECT_EQ(e.Frame, 10);
        EXPECT_NEAR(e.X, c.x, 1e-12) << c.right.X;
        EXPECT_NEAR(e.Pitch, 350, 1e-12);
        EXPECT_NEAR(NormalizeAngle(e.Yaw), c.yaw, 1e-12) << c.right.X;
        EXPECT_NEAR(NormalizeAngle(e.Roll), c.roll, 1e-12) << c.right.X;
    }
}

TEST(Breakdown, TweenBlendsTheNeighboursTheShortWayRound) {
    TKEYFile doc;
    doc.Frames = 30;
    TKEYNode& node = doc.Nodes.Add();
    for (auto [frame, x, yaw] : {std::tuple{0, 0.0, 350.0}, {10, 5.0, 123.0}, {20, 1.0, 30.0}}) {
        TKEYEntry& e = node.Entries.Add();
        e.Frame = frame;
        e.X = x;
        e.Yaw = yaw;
    }
    const auto before = doc.Clone();
    // The first and last keys have no neighbour on one side: only the middle one is set.
    TTween tween(doc, {{0, 0}, {0, 1}, {0, 2}});
    ASSERT_EQ(tween.Keys(), (std::vector<TKeyRef>{{0, 1}}));
    for (auto [fraction, x, yaw] :
         {std::tuple{0.0, 0.0, 350.0}, {0.5, 0.5, 370.0}, {1.0, 1.0, 390.0}}) {
        tween.Apply(doc, fraction);
        EXPECT_DOUBLE_EQ(doc.Nodes[0].Entries[1].X, x) << fraction;
        EXPECT_DOUBLE_EQ(doc.Nodes[0].Entries[1].Yaw, yaw) << fraction; // 350 -> 30 via 0
        EXPECT_DOUBLE_EQ(doc.Nodes[0].Entries[0].X, 0);
    }
    EXPECT_NE(doc.Nodes[0].Entries[0].DX, 0); // rates derived toward the new value
    tween.Restore(doc);
    EXPECT_EQ(doc.ToText(), before->ToText());
}

// The command line: mirrored twice, the sample's walk is itself again; the pairs and the nodes
// without a partner are reported; a pair naming no node is an error.
TEST(Mirror, CommandLine) {
    test::TempDir dir;
    const std::string cli = VORLIN_CLI, walk = kSample + "/3do/key/walk.key";
    const std::string once = dir.file("once.key"), twice = dir.file("twice.key");
    auto r = test::RunCommand(cli + " key mirror " + test::ShellQuote(walk) + " " +
                              test::ShellQuote(once) + " --model " +
                              test::ShellQuote(kSample + "/3do/sample.3do"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find("\"unpaired\": [\n        \"ROOT\",\n        \"TORSO\",\n        \"HEAD\""),
        std::string::npos)
        << r.out;
    ASSERT_EQ(test::RunCommand(cli + " key mirror " + test::ShellQuote(once) + " " +
                               test::ShellQuote(twice))
                  .status,
              0);
    auto body = [](const std::string& text) { return text.substr(text.find('\n')); };
    EXPECT_EQ(body(test::ReadAll(twice)), body(test::ReadAll(walk)));
    EXPECT_NE(body(test::ReadAll(once)), body(test::ReadAll(walk)));
    r = test::RunCommand(cli + " key mirror " + test::ShellQuote(walk) + " " +
                         test::ShellQuote(dir.file("x.key")) + " --pair ROOT=nobody");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: No node is named nobody in the KEY (name the model with --model)\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.key")));
}
