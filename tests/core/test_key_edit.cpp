// The key editing of the timeline and the curves as rules on a document: a key inserted where
// the game poses, keys scaled, copied and pasted, snapped to markers, the keys a step changed;
// and the camera's pan and orbit.
#include <gtest/gtest.h>

#include <cmath>

#include "edit/curves.h"
#include "edit/key_change.h"
#include "edit/key_edit.h"
#include "edit/view_pick.h"
#include "model/u_3dos.h"
#include "support/errors.h"

using namespace vorlin;

namespace {

// A document of nodes, each with entries at the frames given (X = frame / 10, Yaw = frame);
// rates derived; 40 frames.
std::unique_ptr<TKEYFile> Doc(const std::vector<std::vector<int>>& nodes, uint32_t flags = 0) {
    auto doc = std::make_unique<TKEYFile>();
    doc->Frames = 40;
    doc->Flags = flags;
    doc->Joints = int32_t(nodes.size());
    for (size_t n = 0; n < nodes.size(); ++n) {
        TKEYNode& node = doc->Nodes.Add();
        node.MeshName = "N" + std::to_string(n);
        node.NodeNumber = int32_t(n);
        for (int f : nodes[n]) {
            TKEYEntry& e = node.Entries.Add();
            e.Frame = f;
            e.X = f / 10.0;
            e.Yaw = f * 7 % 360;
        }
    }
    doc->RecalcAll();
    return doc;
}

std::vector<int> Frames(const TKEYFile& doc, int node) {
    std::vector<int> frames;
    for (const auto& e : doc.Nodes[node].Entries)
        frames.push_back(e->Frame);
    return frames;
}

// The pose of a node at every frame of the animation.
std::vector<TKEYPose> Motion(const TKEYFile& doc, int node) {
    std::vector<TKEYPose> poses;
    for (int f = -3; f < doc.Frames + 3; ++f)
        poses.push_back(doc.EvaluateNode(node, f));
    return poses;
}

void ExpectSameMotion(const std::vector<TKEYPose>& a, const std::vector<TKEYPose>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i].X, b[i].X, 1e-7) << i;
        EXPECT_NEAR(std::remainder(a[i].Yaw - b[i].Yaw, 360), 0, 1e-6) << i;
    }
}

} // namespace

// A key inserted anywhere holds the pose the game shows there, and the motion through the other
// keys is what it was: inside, before the first key, after the last (looping or not).
TEST(KeyEdit, AnInsertedKeyHoldsThePoseAndKeepsTheMotion) {
    const struct {
        uint32_t flags;
        int frame, index;
        size_t upTo; // the frames (from -3) whose pose must stay
    } cases[] = {{0, 15, 2, 46},
                 {3, 15, 2, 46},
                 {3, 5, 1, 46},
                 {0, 0, 0, 46},
                 {3, 35, 4, 46},
                 {0, 35, 4, 46},
                 {0, 2, 0, 46},
                 // Looping, before the first key: the loop from the last key now leads to the
                 // new first one, whose pose is the first key's carried backwards.
                 {3, 2, 0, 34}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.flags) + " at " + std::to_string(c.frame));
        auto doc = Doc({{c.frame == 2 ? 4 : 0, 10, 20, 30}}, c.flags);
        auto before = Motion(*doc, 0);
        const TKEYPose pose = doc->EvaluateNode(0, c.frame);
        const int index = InsertKey(*doc, 0, c.frame);
        EXPECT_EQ(index, c.index);
        const TKEYEntry& key = doc->Nodes[0].Entries[index];
        EXPECT_EQ(key.Frame, c.frame);
        EXPECT_NEAR(key.X, pose.X, 1e-8);
        auto after = Motion(*doc, 0);
        before.resize(c.upTo);
        after.resize(c.upTo);
        ExpectSameMotion(after, before);
        EXPECT_EQ(doc->Frames, 40);
    }
    // At a key: no new key; the key's rates are derived again, which makes the game apply them.
    auto doc = Doc({{0, 10}});
    doc->Nodes[0].Entries[0].Flags = 0;
    EXPECT_EQ(InsertKey(*doc, 0, 0), 0);
    EXPECT_EQ(Frames(*doc, 0), (std::vector<int>{0, 10}));
    EXPECT_EQ(doc->Nodes[0].Entries[0].Flags, 3);
}

// Scaled about a frame: whole frames, each node in frame order, rates derived around; a node's
// first entry stays; two keys on one frame or a key outside the animation refused by name.
TEST(KeyEdit, ScalingKeysAboutAFrame) {
    auto doc = Doc({{0, 10, 15, 20}, {0, 12, 30}});
    const std::string text = doc->ToText();
    TKeyScale scale(*doc, {{0, 0}, {0, 1}, {0, 3}, {1, 1}}, 10);
    EXPECT_EQ(scale.Nodes(), (std::vector<int>{0, 1}));
    scale.Apply(*doc, 2);
    EXPECT_EQ(Frames(*doc, 0), (std::vector<int>{0, 10, 15, 30}));
    EXPECT_EQ(Frames(*doc, 1), (std::vector<int>{0, 14, 30}));
    EXPECT_EQ(scale.Keys(*doc), (std::vector<TKeyRef>{{0, 1}, {0, 3}, {1, 1}}));
    auto derived = doc->Clone();
    derived->RecalcAll();
    EXPECT_EQ(derived->ToText(), doc->ToText());
    // From where the scale began, not from the last step: 0.3 puts 20 before 15 (re-sorted).
    scale.Apply(*doc, 0.3);
    EXPECT_EQ(Frames(*doc, 0), (std::vector<int>{0, 10, 13, 15}));
    EXPECT_EQ(scale.Refusal(0.5), "Two keys of node 0 (N0) would be at frame 15");
    EXPECT_EQ(scale.Refusal(0), "Two keys of node 0 (N0) would be at frame 10");
    EXPECT_EQ(scale.Refusal(4),
              "A key of node 0 (N0) would go to frame 50, outside the animation's frames 0 to 39");
    EXPECT_THROW(scale.Apply(*doc, 4), Error);
    scale.Restore(*doc);
    EXPECT_EQ(doc->ToText(), text);
    EXPECT_TRUE(TKeyScale(*doc, {{0, 0}, {1, 0}}, 5).Empty()); // first entries only
}

// Copied keys keep their offsets; pasted by NODE number, or from one node onto another; a key
// on a frame that has one replaces its values; frames outside the animation are refused.
TEST(KeyEdit, CopyAndPasteKeys) {
    auto doc = Doc({{0, 10, 20}, {0, 10}, {0}});
    doc->Nodes[2].NodeNumber = 7; // NODE numbers, not places, say where keys go
    const TKeyClipboard both = TKeyClipboard::Copy(*doc, {{0, 1}, {0, 2}, {1, 1}});
    ASSERT_EQ(both.Keys.size(), 3u);
    EXPECT_EQ(both.Keys[1].Offset, 10);
    EXPECT_FALSE(both.OneNode());
    EXPECT_EQ(PasteRefusal(*doc, both, 30),
              "The keys would reach frame 40, outside the animation's frames 0 to 39");
    const TPasteResult r = PasteKeys(*doc, both, 20, 2);
    EXPECT_EQ(Frames(*doc, 0), (std::vector<int>{0, 10, 20, 30}));
    EXPECT_EQ(Frames(*doc, 1), (std::vector<int>{0, 10, 20}));
    EXPECT_EQ(Frames(*doc, 2), (std::vector<int>{0})); // several nodes: no "onto"
    EXPECT_EQ(r.Keys, (std::vector<TKeyRef>{{0, 2}, {0, 3}, {1, 2}}));
    EXPECT_DOUBLE_EQ(doc->Nodes[0].Entries[2].X, 1.0); // frame 20 took frame 10's values
    EXPECT_DOUBLE_EQ(doc->Nodes[0].Entries[3].X, 2.0);

    const TKeyClipboard one = TKeyClipboard::Copy(*doc, {{1, 1}});
    EXPECT_TRUE(one.OneNode());
    EXPECT_EQ(PasteKeys(*doc, one, 5, 2).Keys, (std::vector<TKeyRef>{{2, 1}}));
    EXPECT_EQ(Frames(*doc, 2), (std::vector<int>{0, 5}));
    auto other = Doc({{0}});
    other->Nodes[0].NodeNumber = 3;
    EXPECT_EQ(PasteKeys(*other, both, 0).Skipped, 3);
    auto derived = doc->Clone();
    derived->RecalcAll();
    EXPECT_EQ(derived->ToText(), doc->ToText());
}

// Onto another node, keys carry the motion from the source's rest pose onto the target's (the
// short way for angles); onto their own node, or without rest poses, values stay as copied.
TEST(KeyEdit, KeysPastedOntoAnotherNodeKeepItsPivot) {
    auto doc = Doc({{0, 10, 20}, {0, 10}, {0}});
    const TRestPoses rest = {{-0.11, 0, 0.235, 340, 0, 0}, {0.11, 0, 0.235, 10, 350, 0}, {}};
    doc->Nodes[0].Entries[1].X = -0.11 + 0.02;
    doc->Nodes[0].Entries[1].Pitch = 350; // 10 degrees on from 340
    doc->Nodes[0].Entries[1].Roll = 0;
    doc->Nodes[0].Entries[2].Yaw = 20;
    const TKeyClipboard clip = TKeyClipboard::Copy(*doc, {{0, 1}, {0, 2}});
    struct Case {
        int onto;
        const TRestPoses* rest;
        int32_t paste, frame; // pasted at, a key looked at
        double x, pitch, yaw;
    };
    const Case cases[] = {
        {1, &rest, 4, 4, 0.13, 20, 60},     // 0.11 + 0.02; 10 + 10; 350 + 70 wraps round
        {1, &rest, 4, 14, 2.22, 30, 10},    // 0.11 + 2.11; 10 + 20 the short way; 350 + 20
        {0, &rest, 25, 25, -0.09, 350, 70}, // onto its own node: as copied
        {1, nullptr, 4, 4, -0.09, 350, 70}, // no rest poses (no model): as copied
    };
    for (const Case& c : cases) {
        auto d = doc->Clone();
        ASSERT_EQ(PasteKeys(*d, clip, c.paste, c.onto, c.rest).Keys.size(), 2u);
        const TKEYNode& node = d->Nodes[c.onto];
        const TKEYEntry& e = node.Entries[d->EntryForFrame(c.onto, c.frame)];
        ASSERT_EQ(e.Frame, c.frame);
        EXPECT_NEAR(e.X, c.x, 1e-12) << c.onto << " at " << c.frame;
        EXPECT_NEAR(e.Pitch, c.pitch, 1e-12) << c.onto << " at " << c.frame;
        EXPECT_NEAR(e.Yaw, c.yaw, 1e-12) << c.onto << " at " << c.frame;
    }
}

// Undone or redone, the keys picked are those the step moved or changed a value of, not the
// ones whose rates alone followed.
TEST(KeyEdit, TheKeysAStepChanged) {
    auto doc = Doc({{0, 10, 20, 30}});
    TKeyChange change;
    change.Begin(*doc, {0});
    TKeyMove(*doc, {{0, 2}, {0, 3}}).Apply(*doc, 2);
    change.End(*doc);
    change.Undo(*doc);
    EXPECT_EQ(change.ChangedKeys(*doc), (std::vector<TKeyRef>{{0, 2}, {0, 3}}));
    TKeyChange insert;
    insert.Begin(*doc, {0});
    InsertKey(*doc, 0, 25);
    insert.End(*doc);
    EXPECT_EQ(insert.ChangedKeys(*doc), (std::vector<TKeyRef>{{0, 3}}));
    doc->Markers.Add().Frame = 7.6;
    EXPECT_EQ(SnapToMarker(*doc, 9.9), 8);
}

// The curves' small rules: which way a drag goes, snapping, hidden rates, keeping in view.
TEST(KeyEdit, CurvePointRules) {
    EXPECT_EQ(DragDirection(5, 3, false), TPointDrag::Time);
    EXPECT_EQ(DragDirection(2, -4, false), TPointDrag::Value);
    EXPECT_EQ(DragDirection(0, 9, true), TPointDrag::Time);
    EXPECT_EQ(SnapValue(0, 2.6), 3);
    EXPECT_EQ(SnapValue(4, 12.4), 10);
    auto doc = Doc({{0, 10}});
    doc->Nodes[0].Entries[0].Flags = 1; // the position's rates only: the yaw is held
    EXPECT_FALSE(RatesHidden(*doc, 0, 0, 0));
    EXPECT_TRUE(RatesHidden(*doc, 0, 0, 4));
    EXPECT_FALSE(RatesHidden(*doc, 0, 1, 4)); // the last key of a play-once KEY: nothing to hide
    TCurveLayout l;
    l.KeepInView(0, 5);
    EXPECT_GT(l.High[0], 5);
    EXPECT_EQ(l.Low[0], -1);
}

// A middle drag keeps the point at the model's depth under the pointer; an orbit keeps the
// selected node's pivot where it is on the screen; the pivot is where the node turns.
TEST(KeyEdit, PanAndOrbitKeepTheirPoint) {
    TViewCamera c;
    c.Pitch = -20;
    c.Yaw = 30;
    c.Pos = {1, -8, 3};
    c.Aspect = 1.5;
    const TVec3 p{0.5, 0.2, 1};
    auto screen = [](const TViewCamera& cam, const TVec3& w, double height) {
        const TVec3 e = cam.ToEye(w);
        const double t = std::tan(cam.FovY / 2 * 3.14159265358979323846 / 180);
        return std::pair{e[0] / -e[2] / t * height / 2, -e[1] / -e[2] / t * height / 2};
    };
    const auto [x0, y0] = screen(c, p, 300);
    TViewCamera moved = c;
    moved.Pan = PanAtDepth(c, p, 17, -9, 300);
    const auto [x1, y1] = screen(moved, p, 300);
    EXPECT_NEAR(x1 - x0, 17, 1e-9);
    EXPECT_NEAR(y1 - y0, -9, 1e-9);

    TViewCamera turned = c;
    turned.Yaw += 25;
    turned.Pitch -= 10;
    turned.Pos = {-3, -6, 4};
    turned.Pan = OrbitPan(c, turned, p);
    const TVec3 before = c.ToEye(p), after = turned.ToEye(p);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(after[i], before[i], 1e-9);

    T3DO model(VORLIN_SAMPLE_DIR "/3do/sample.3do");
    for (int n = 0; n < model.HNodes.Count(); ++n) {
        // A vertex at minus the pivot sits on the node's pivot in the world.
        const T3DOHNode& node = model.HNodes[n];
        if (node.Mesh < 0) continue;
        TVertex& v = model.Meshes[node.Mesh].Faces.Vertices[0];
        v.x = -node.PivotX, v.y = -node.PivotY, v.z = -node.PivotZ;
        model.HNodes[n].SetCurrentPose(node.X + 0.3, node.Y, node.Z, 20, 30, 40);
        model.TransformVertices();
        const TVec3 pivot = NodePivot(model, n);
        EXPECT_NEAR(pivot[0], v.tx, 1e-9);
        EXPECT_NEAR(pivot[1], v.ty, 1e-9);
        EXPECT_NEAR(pivot[2], v.tz, 1e-9);
    }
}
