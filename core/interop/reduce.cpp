#include "interop/reduce.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/u_3dos.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

double Wrap360(double a) {
    double r = std::fmod(a, 360.0);
    if (r < 0) r += 360.0;
    return r >= 360.0 ? 0.0 : r;
}

// A pose as an entry keeps it: angles in [0, 360), every value to 8 decimals.
std::array<double, 6> Stored(const TKEYPose& p) {
    return {Round8(p.X),
            Round8(p.Y),
            Round8(p.Z),
            Round8(Wrap360(p.Pitch)),
            Round8(Wrap360(p.Yaw)),
            Round8(Wrap360(p.Roll))};
}

std::array<double, 6> Values(const TKEYPose& p) {
    return {p.X, p.Y, p.Z, p.Pitch, p.Yaw, p.Roll};
}

// Whether the game's line from key i to key j (as RecalculatedRates derives its rates) stays
// within the tolerance of the track at every frame between them.
bool Holds(const std::vector<TKEYPose>& track, int i, int j, const TTolerance& tol) {
    const std::array<double, 6> a = Stored(track[size_t(i)]), b = Stored(track[size_t(j)]);
    const double d = double(j - i);
    std::array<double, 6> rate{};
    for (int c = 0; c < 3; ++c)
        rate[size_t(c)] = b[size_t(c)] != a[size_t(c)] ? (b[size_t(c)] - a[size_t(c)]) / d : 0;
    for (int c = 3; c < 6; ++c)
        rate[size_t(c)] = AngleRate(d, b[size_t(c)], a[size_t(c)]);
    for (int f = i + 1; f < j; ++f) {
        const std::array<double, 6> want = Values(track[size_t(f)]);
        for (int c = 0; c < 6; ++c) {
            const double v = a[size_t(c)] + (f - i) * rate[size_t(c)];
            const double off =
                c < 3 ? std::abs(v - want[size_t(c)]) : std::abs(AngleDiff(want[size_t(c)], v));
            if (off > (c < 3 ? tol.Position : tol.Angle)) return false;
        }
    }
    return true;
}

} // namespace

std::vector<int> ReduceTrack(const std::vector<TKEYPose>& track, const TTolerance& tolerance) {
    const int n = int(track.size());
    std::vector<int> keys;
    if (n == 0) return keys;
    int i = 0;
    keys.push_back(0);
    while (i < n - 1) {
        // Galloping out from the key while the line holds, then halving back to the last
        // reach that holds: each key found checks every frame it spans.
        int good = i + 1, step = 1, bad = n;
        while (good + step < n) {
            if (!Holds(track, i, good + step, tolerance)) {
                bad = good + step;
                break;
            }
            good += step;
            step *= 2;
        }
        if (bad == n && good < n - 1) {
            if (Holds(track, i, n - 1, tolerance))
                good = n - 1;
            else
                bad = n - 1;
        }
        while (bad - good > 1) {
            const int mid = good + (bad - good) / 2;
            if (Holds(track, i, mid, tolerance))
                good = mid;
            else
                bad = mid;
        }
        keys.push_back(good);
        i = good;
    }
    return keys;
}

std::unique_ptr<TKEYFile> BuildKey(const T3DO& model,
                                   const std::vector<std::vector<TKEYPose>>& poses, double fps,
                                   const TTolerance& tolerance) {
    auto doc = std::make_unique<TKEYFile>();
    const int frames = poses.empty() ? 0 : int(poses.front().size());
    doc->Frames = frames;
    doc->FPS = fps;
    doc->Flags = 0;
    doc->Joints = model.HNodes.Count();
    for (int n = 0; n < model.HNodes.Count() && n < int(poses.size()); ++n) {
        TKEYNode& node = doc->Nodes.Add();
        node.NodeNumber = n;
        node.MeshName = model.HNodes[n].Name;
        for (int f : ReduceTrack(poses[size_t(n)], tolerance)) {
            const std::array<double, 6> v = Stored(poses[size_t(n)][size_t(f)]);
            TKEYEntry& e = node.Entries.Add();
            e.Frame = f;
            e.X = v[0];
            e.Y = v[1];
            e.Z = v[2];
            e.Pitch = v[3];
            e.Yaw = v[4];
            e.Roll = v[5];
        }
    }
    doc->RecalcAll();
    return doc;
}

TKeyError MeasureKey(const TKEYFile& doc, const std::vector<std::vector<TKEYPose>>& poses) {
    TKeyError error;
    double worst = -1;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const int j = doc.Joint(k);
        if (j < 0 || j >= int(poses.size()) || doc.NodeOfJoint(j) != k) continue;
        const TKEYEntries& entries = doc.Nodes[k].Entries;
        if (entries.Empty()) continue;
        int hint = 0;
        for (int f = 0; f < int(poses[size_t(j)].size()); ++f) {
            hint = doc.EntryForFrame(k, f, hint);
            const TKEYPose p = TKEYFile::PoseFromEntry(entries[hint], f);
            const TKEYPose& w = poses[size_t(j)][size_t(f)];
            const double position =
                std::max({std::abs(p.X - w.X), std::abs(p.Y - w.Y), std::abs(p.Z - w.Z)});
            const double angle =
                std::max({std::abs(AngleDiff(w.Pitch, p.Pitch)), std::abs(AngleDiff(w.Yaw, p.Yaw)),
                          std::abs(AngleDiff(w.Roll, p.Roll))});
            error.Position = std::max(error.Position, position);
            error.Angle = std::max(error.Angle, angle);
            const double measure = std::max(position / 0.002, angle / 0.5);
            if (measure > worst) {
                worst = measure;
                error.Frame = f;
                error.Node = j;
            }
        }
    }
    return error;
}

} // namespace vorlin
