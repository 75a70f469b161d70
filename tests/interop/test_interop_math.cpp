// The game's angles and the rotations they stand for, both ways; best-fit rotations.
#include <gtest/gtest.h>

#include <cmath>

#include "interop/rotation.h"

namespace vorlin {
namespace {

double Largest(const TMat3& a, const TMat3& b) {
    double d = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            d = std::max(d, std::abs(a.m[i][j] - b.m[i][j]));
    return d;
}

double Turns(double a, double b) {
    return std::abs(std::remainder(a - b, 360.0));
}

TEST(GameAngles, RoundTripEveryQuadrantAndNearPitch90) {
    const TGameAngles table[] = {
        {0, 0, 0},       {30, 45, 60},    {-30, 200, -100}, {150, 10, 20},       {-150, 300, 250},
        {89.9, 10, 20},  {90, 30, 40},    {-90, 30, 40},    {-89.999, 181, 359}, {120, 10, 10},
        {179, 359, 181}, {45, -135, 300}, {270, 90, 180},   {0.0001, 720, -720},
    };
    for (const TGameAngles& t : table) {
        SCOPED_TRACE(std::to_string(t.Pitch) + " " + std::to_string(t.Yaw) + " " +
                     std::to_string(t.Roll));
        const TMat3 r = GameMatrix(t.Pitch, t.Yaw, t.Roll);
        // Alone: some triple of the same rotation, each angle in [0, 360).
        const TGameAngles a = GameAngles(r);
        EXPECT_LT(Largest(GameMatrix(a.Pitch, a.Yaw, a.Roll), r), 1e-9);
        for (double v : {a.Pitch, a.Yaw, a.Roll}) {
            EXPECT_GE(v, 0);
            EXPECT_LT(v, 360);
        }
        // Beside a neighbour: the triple itself, to the turn.
        const TGameAngles b = GameAngles(r, &t);
        EXPECT_LT(Turns(b.Pitch, t.Pitch), 1e-7);
        EXPECT_LT(Turns(b.Yaw, t.Yaw), 1e-7);
        EXPECT_LT(Turns(b.Roll, t.Roll), 1e-7);
        // The quaternion of the rotation gives it back.
        EXPECT_LT(Largest(QuatMatrix(MatrixQuat(r)), r), 1e-12);
    }
}

TEST(GameAngles, ContinuousThroughPitch90AndWholeTurns) {
    struct Sweep {
        const char* name;
        TGameAngles (*at)(double); // the motion at a time 0..1
    };
    const Sweep sweeps[] = {
        // Nodding over the top: pitch 0 -> 180 with yaw and roll held.
        {"pitch over 90",
         [](double s) {
             return TGameAngles{180 * s, 30, 10};
         }},
        // Two whole turns of yaw while rolling.
        {"yaw 720",
         [](double s) {
             return TGameAngles{20, 720 * s, 90 * s};
         }},
        // Straight up while yaw turns: only yaw + roll is set there.
        {"held at 90",
         [](double s) {
             return TGameAngles{90, 100 * s, 0};
         }},
    };
    for (const Sweep& sweep : sweeps) {
        SCOPED_TRACE(sweep.name);
        TGameAngles previous =
            GameAngles(GameMatrix(sweep.at(0).Pitch, sweep.at(0).Yaw, sweep.at(0).Roll));
        for (int i = 1; i <= 400; ++i) {
            const TGameAngles want = sweep.at(i / 400.0);
            const TMat3 r = GameMatrix(want.Pitch, want.Yaw, want.Roll);
            const TGameAngles a = GameAngles(r, &previous);
            ASSERT_LT(Largest(GameMatrix(a.Pitch, a.Yaw, a.Roll), r), 1e-9) << i;
            // No flip: each angle moves on by about as much as the motion does in a step.
            EXPECT_LT(std::abs(a.Pitch - previous.Pitch), 3) << i;
            EXPECT_LT(std::abs(a.Yaw - previous.Yaw), 3) << i;
            EXPECT_LT(std::abs(a.Roll - previous.Roll), 3) << i;
            previous = a;
        }
        const TGameAngles end = sweep.at(1);
        EXPECT_LT(Largest(GameMatrix(previous.Pitch, previous.Yaw, previous.Roll),
                          GameMatrix(end.Pitch, end.Yaw, end.Roll)),
                  1e-9);
    }
    // The two turns of yaw are there in the values, not folded away.
    TGameAngles a{20, 0, 0};
    for (int i = 1; i <= 400; ++i) {
        const TMat3 r = GameMatrix(20, 720 * i / 400.0, 0);
        a = GameAngles(r, &a);
    }
    EXPECT_NEAR(a.Yaw, 720, 1e-6);
}

TEST(BestRotation, FindsTheTurnAndLeavesOpenTurnsAlone) {
    const TMat3 turn = GameMatrix(20, 70, -35);
    struct Case {
        const char* name;
        std::vector<TVec3> from;
        TMat3 want;
    };
    const Case cases[] = {
        {"three directions", {{1, 0, 0}, {0, 1, 0}, Unit({1, 1, 1})}, turn},
        {"two directions", {{1, 0, 0}, Unit({0, 1, 1})}, turn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TVec3> to;
        for (const TVec3& v : c.from)
            to.push_back(turn * v);
        EXPECT_LT(Largest(BestRotation(c.from, to), c.want), 1e-6);
    }
    // One direction: the shortest turn, whose axis is square to both.
    const TMat3 swing = BestRotation({{1, 0, 0}}, {{0, 1, 0}});
    EXPECT_LT(Length(swing * TVec3{0, 0, 1} - TVec3{0, 0, 1}), 1e-12);
    EXPECT_LT(Length(swing * TVec3{1, 0, 0} - TVec3{0, 1, 0}), 1e-12);
    // Opposite directions on one line that stays: no turn, not any turn about it.
    EXPECT_LT(
        Largest(BestRotation({{1, 0, 0}, {-1, 0, 0}}, {{1, 0, 0}, {-1, 0, 0}}), TMat3::Identity()),
        1e-9);
    // Two directions whose only shared part is across (a CMU pelvis's splayed thighs onto a
    // model's level ones): the across line kept, and no turn about it.
    const TMat3 tilt = BestRotation({Unit({1, -1, 0}), Unit({-1, -1, 0})}, {{1, 0, 0}, {-1, 0, 0}});
    EXPECT_LT(Length(tilt * TVec3{0, 0, 1} - TVec3{0, 0, 1}), 1e-3);
}

} // namespace
} // namespace vorlin
