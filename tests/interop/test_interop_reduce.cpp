// Key reduction: the game's straight lines between the keys kept stay within the tolerance of
// the motion at every frame, and a motion that is straight lines keeps just its corners.
#include <gtest/gtest.h>

#include <cmath>

#include "interop/reduce.h"
#include "model/u_3dos.h"
#include "support/misc_utils.h"

namespace vorlin {
namespace {

std::vector<TKEYPose> Track(int frames, TKEYPose (*at)(int)) {
    std::vector<TKEYPose> track;
    for (int f = 0; f < frames; ++f)
        track.push_back(at(f));
    return track;
}

// A model of one node, for BuildKey.
T3DO OneNode() {
    T3DO model;
    model.HNodes.Add().Name = "body";
    return model;
}

TEST(Reduce, StraightLinesKeepTheirCorners) {
    // x and yaw straight between frames 0, 10, 25 and 40; yaw runs on through 360.
    const auto track = Track(41, [](int f) {
        const double x = f <= 10 ? f * 0.1 : f <= 25 ? 1 - (f - 10) * 0.02 : 0.7 + (f - 25) * 0.01;
        const double yaw = f <= 25 ? 300 + f * 4.0 : 400 - (f - 25) * 2.0;
        return TKEYPose{x, 0, 0, 0, yaw, 0};
    });
    EXPECT_EQ(ReduceTrack(track, {}), (std::vector<int>{0, 10, 25, 40}));
    // Held still: the first and the last frame.
    EXPECT_EQ(ReduceTrack(Track(500, [](int) { return TKEYPose{1, 2, 3, 10, 20, 30}; }), {}),
              (std::vector<int>{0, 499}));
    EXPECT_EQ(ReduceTrack(Track(1, [](int) { return TKEYPose{}; }), {}), (std::vector<int>{0}));
}

TEST(Reduce, TheGamesPosingStaysWithinTheTolerance) {
    // Curves no line follows, angles across 0 and 360, a turn faster than half a turn between
    // the ends of a long segment (where the short way round would go backwards).
    const auto wave = Track(300, [](int f) {
        const double t = f / 30.0;
        return TKEYPose{0.3 * std::sin(t * 2.1),
                        0.05 * std::cos(t * 5.3),
                        0.01 * t,
                        40 * std::sin(t * 3.7),
                        200 * t,
                        -170 + 30 * std::cos(t * 1.3)};
    });
    size_t lastKeys = 100000;
    for (const TTolerance tol : {TTolerance{0.1, 0.0005}, TTolerance{0.5, 0.002},
                                 TTolerance{2, 0.01}, TTolerance{10, 0.05}}) {
        SCOPED_TRACE(tol.Angle);
        const T3DO model = OneNode();
        const auto key = BuildKey(model, {wave}, 30, tol);
        const TKeyError error = MeasureKey(*key, {wave});
        EXPECT_LE(error.Angle, tol.Angle + 1e-6);
        EXPECT_LE(error.Position, tol.Position + 1e-6);
        const size_t keys = size_t(key->Nodes[0].Entries.Count());
        EXPECT_LT(keys, 300u);
        EXPECT_LE(keys, lastKeys); // a looser tolerance keeps no more keys
        lastKeys = keys;
        // As the game reads it back from the file's text.
        const auto saved = TKEYFile::CreateFromText(key->ToText(), "wave.key");
        const TKeyError reread = MeasureKey(*saved, {wave});
        EXPECT_LE(reread.Angle, tol.Angle + 1e-5);
        EXPECT_LE(reread.Position, tol.Position + 1e-5);
        // Rates and flags derived as every change derives them.
        auto copy = saved->Clone();
        copy->RecalcAll();
        for (int i = 0; i < saved->Nodes[0].Entries.Count(); ++i) {
            const TKEYEntry &a = saved->Nodes[0].Entries[i], &b = copy->Nodes[0].Entries[i];
            EXPECT_EQ(a.Flags, b.Flags);
            EXPECT_NEAR(a.DYaw, b.DYaw, 1e-8);
        }
    }
}

TEST(Reduce, TheKeyIsForTheModel) {
    T3DO model;
    for (const char* name : {"root", "arm", "hand"})
        model.HNodes.Add().Name = name;
    const auto still = Track(20, [](int f) { return TKEYPose{0, 0, 0, 0, f * 1.0, 0}; });
    const auto key = BuildKey(model, {still, still, still}, 15, {});
    EXPECT_EQ(key->Joints, 3);
    EXPECT_EQ(key->Frames, 20);
    EXPECT_EQ(key->FPS, 15);
    EXPECT_EQ(key->Flags, 0u);
    ASSERT_EQ(key->Nodes.Count(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(key->Joint(k), k);
        EXPECT_EQ(key->Nodes[k].MeshName, model.HNodes[k].Name);
        EXPECT_EQ(key->Nodes[k].Entries.Count(), 2);
        EXPECT_EQ(key->Nodes[k].Entries[0].Flags, 2); // the game turns it by its rates
    }
}

} // namespace
} // namespace vorlin
