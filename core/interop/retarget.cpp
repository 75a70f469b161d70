#include "interop/retarget.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "edit/mirror.h"
#include "model/u_3dos.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

// The most frames one import makes, as New KEY makes at most that many entries a node.
constexpr double kMaxFrames = 100000;
// The most poses (frames times nodes) one import holds: 480 MB.
constexpr double kMaxPoses = 1e7;

// Where a mapped node's direction is read: a mapped node below it (its bone's joint in the
// source), or, when none is, the tips (the node's mesh, the bone's children).
struct TTarget {
    int Bone = -1; // the source bone whose joint is the target; -1 for the tips
    TVec3 Model;   // the direction at rest, model
    TVec3 Source;  // the direction at rest, source (game axes)
    // On the line of the body (no side: a spine's head, a pelvis's back), which the node
    // follows exactly; the others only turn it about that line.
    bool Primary = false;
};

struct TMapped {
    int Bone = -1;
    std::vector<TTarget> Targets;
    TMat3 Align;      // takes the source's rest directions to the model's
    int Primary = -1; // the target on the body's line, if any
};

TXform ToGameAxes(const TMat3& a, const TXform& w) {
    return {a * Orthonormal(w.L) * Transposed(a), a * w.T};
}

} // namespace

double DefaultFps(const TMotion& motion) {
    const double r = std::round(motion.Rate);
    return std::isfinite(r) ? std::clamp(r, 1.0, 30.0) : 30.0;
}

TRetargeted Retarget(const T3DO& model, const TMotion& motion, const TBoneMap& map,
                     const TRetargetOptions& options) {
    const int nm = model.HNodes.Count(), ns = motion.Count();
    if (nm == 0) throw Error(model.FileName + " has no hierarchy nodes to move");
    std::vector<int> parent(static_cast<size_t>(nm));
    std::vector<TXform> restLocal(static_cast<size_t>(nm));
    std::vector<std::string> names;
    for (int n = 0; n < nm; ++n) {
        const T3DOHNode& h = model.HNodes[n];
        parent[size_t(n)] = h.Parent >= 0 && h.Parent < nm ? h.Parent : -1;
        restLocal[size_t(n)] = {GameMatrix(h.Pitch, h.Yaw, h.Roll), {h.X, h.Y, h.Z}};
        names.push_back(h.Name);
    }
    const std::vector<TXform> restWorld = ChainWorld(parent, restLocal);
    // Parents before children, each node once (a node in a cycle of links is taken as a root).
    std::vector<int> depth(static_cast<size_t>(nm), 0), order(static_cast<size_t>(nm));
    for (int n = 0; n < nm; ++n) {
        int d = 0;
        for (int a = parent[size_t(n)]; a >= 0 && d <= nm; a = parent[size_t(a)])
            ++d;
        if (d > nm) parent[size_t(n)] = -1, d = 0;
        depth[size_t(n)] = d;
        order[size_t(n)] = n;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return depth[size_t(a)] < depth[size_t(b)]; });
    auto mappedAbove = [&](int n) {
        for (int a = parent[size_t(n)]; a >= 0; a = parent[size_t(a)])
            if (map.Source[size_t(a)] >= 0) return a;
        return -1;
    };

    int root = -1;
    for (int n : order)
        if (map.Source[size_t(n)] >= 0 && map.Source[size_t(n)] < ns) {
            root = n;
            break;
        }
    if (root < 0)
        throw Error("No bone of " + motion.Path + " maps onto a node of " + model.FileName +
                    ": name the pairs in a map");

    // The model's own skeleton come back (every node by its name, the same joints): its rest
    // is the model's, whatever pose the program that wrote it kept as the nodes' own (Blender
    // writes the frame on show).
    bool own = true;
    for (int n = 0; n < nm && own; ++n) {
        const int b = map.Source[size_t(n)];
        const int p = parent[size_t(n)];
        own = b >= 0 && b < ns && BoneKey(motion.Names[size_t(b)]) == BoneKey(names[size_t(n)]) &&
              (p < 0 || motion.Parent[size_t(b)] == map.Source[size_t(p)]) &&
              (p < 0 || // a root may stand anywhere
               std::abs(Length(motion.Rest[size_t(b)].T) - Length(restLocal[size_t(n)].T)) <
                   1e-4 + 1e-3 * Length(restLocal[size_t(n)].T));
    }
    // The source's axes turned about the vertical so that its left and right lie as the
    // model's do: the mirror pairs of mapped nodes tell both sides.
    const std::vector<TXform> sourceRestRaw = motion.World(motion.Rest);
    TMat3 toGame = motion.ToGame;
    if (!own) {
        const TMirrorPairs pairs = FindMirrorPairs(names);
        TVec3 across, sourceAcross;
        for (int n = 0; n < nm; ++n) {
            const int m = pairs.Partner[size_t(n)];
            const int bn = map.Source[size_t(n)], bm = map.Source[size_t(m)];
            if (m <= n || bn < 0 || bm < 0) continue;
            across = across + (restWorld[size_t(m)].T - restWorld[size_t(n)].T);
            sourceAcross =
                sourceAcross + toGame * (sourceRestRaw[size_t(bm)].T - sourceRestRaw[size_t(bn)].T);
        }
        across.z = sourceAcross.z = 0;
        if (Length(across) > 1e-9 && Length(sourceAcross) > 1e-9) {
            const double angle =
                std::atan2(Cross(sourceAcross, across).z, Dot(sourceAcross, across));
            toGame = AxisAngle({0, 0, 1}, angle * 180 / std::numbers::pi) * toGame;
        }
    }
    std::vector<TXform> sourceRest(static_cast<size_t>(ns));
    for (int b = 0; b < ns; ++b)
        sourceRest[size_t(b)] = ToGameAxes(toGame, sourceRestRaw[size_t(b)]);
    if (own)
        for (int n = 0; n < nm; ++n)
            sourceRest[size_t(map.Source[size_t(n)])] = restWorld[size_t(n)];

    // Each mapped node's directions and the turn that takes the source's rest onto the model's.
    std::vector<std::vector<int>> children(static_cast<size_t>(nm));
    for (int n = 0; n < nm; ++n)
        if (parent[size_t(n)] >= 0) children[size_t(parent[size_t(n)])].push_back(n);
    std::vector<TMapped> mapped(static_cast<size_t>(nm));
    for (int n : order) {
        TMapped& m = mapped[size_t(n)];
        m.Bone = map.Source[size_t(n)];
        if (m.Bone < 0 || m.Bone >= ns) {
            m.Bone = -1;
            continue;
        }
        const TVec3 at = restWorld[size_t(n)].T, sourceAt = sourceRest[size_t(m.Bone)].T;
        std::vector<int> walk = children[size_t(n)];
        while (!walk.empty()) {
            const int c = walk.back();
            walk.pop_back();
            const int b = map.Source[size_t(c)];
            if (b < 0 || b >= ns) {
                walk.insert(walk.end(), children[size_t(c)].begin(), children[size_t(c)].end());
                continue;
            }
            TTarget t{b, Unit(restWorld[size_t(c)].T - at),
                      Unit(sourceRest[size_t(b)].T - sourceAt),
                      ClassifyBone(names[size_t(c)]).Side == TSide::None};
            if (Length(t.Model) > 0.5 && Length(t.Source) > 0.5) m.Targets.push_back(t);
        }
        const std::optional<TVec3> tip = MeshCentre(model, n);
        const std::optional<TVec3> sourceTip = motion.Tip[size_t(m.Bone)];
        if (m.Targets.empty() && tip && sourceTip) {
            const TXform& w = restWorld[size_t(n)];
            const TVec3 sourceTipAt =
                toGame * (sourceRestRaw[size_t(m.Bone)] * TXform{TMat3::Identity(), *sourceTip}).T;
            TTarget t{-1, Unit(w.L * *tip), Unit(sourceTipAt - sourceAt)};
            if (Length(t.Model) > 0.5 && Length(t.Source) > 0.5) m.Targets.push_back(t);
        }
        if (!m.Targets.empty()) {
            std::vector<TVec3> from, to;
            for (const TTarget& t : m.Targets) {
                if (t.Primary && m.Primary < 0) m.Primary = int(from.size());
                from.push_back(t.Source);
                to.push_back(t.Model);
            }
            m.Align = BestRotation(from, to, m.Primary);
        } else if (const int a = mappedAbove(n); a >= 0) {
            m.Align = mapped[size_t(a)].Align; // turns as its mapped parent's frame does
        }
    }

    // The root's path: scaled by the legs' ratio (else by the mapped bones' lengths).
    double scale = 1;
    if (options.Scale) {
        scale = *options.Scale;
    } else {
        double legs[2] = {0, 0}, all[2] = {0, 0};
        for (int n = 0; n < nm; ++n) {
            const int b = mapped[size_t(n)].Bone, a = mappedAbove(n);
            if (b < 0 || a < 0) continue;
            const double lm = Length(restWorld[size_t(n)].T - restWorld[size_t(a)].T);
            const double ls =
                Length(sourceRest[size_t(b)].T - sourceRest[size_t(mapped[size_t(a)].Bone)].T);
            const std::string part = ClassifyBone(names[size_t(n)]).Part;
            const std::string above = ClassifyBone(names[size_t(a)]).Part;
            const bool leg =
                (part == "shin" || part == "foot") && (above == "thigh" || above == "shin");
            (leg ? legs : all)[0] += lm;
            (leg ? legs : all)[1] += ls;
        }
        if (legs[0] > 0 && legs[1] > 0)
            scale = legs[0] / legs[1];
        else if (all[0] + legs[0] > 0 && all[1] + legs[1] > 0)
            scale = (all[0] + legs[0]) / (all[1] + legs[1]);
    }

    TRetargeted out;
    out.Scale = scale;
    out.Fps = options.Fps > 0 ? options.Fps : DefaultFps(motion);
    const double from = std::max(0.0, options.From);
    const double to = options.To ? std::min(*options.To, motion.Duration) : motion.Duration;
    if (from > motion.Duration + 1e-9)
        throw Error("The motion of " + motion.Path + " ends at " + GeneralFloat(motion.Duration) +
                    " seconds, before the start asked for");
    if (to < from) throw Error("The end asked for lies before the start");
    // A thousandth of a frame short is the whole frame: rates and times written in few digits
    // (a BVH's 0.033333 seconds, glTF's single precision) fall short of it.
    const double span = std::floor((to - from) * out.Fps + 1e-3);
    if (span + 1 > kMaxFrames)
        throw Error("The motion of " + motion.Path + " would make more than 100000 frames at " +
                    GeneralFloat(out.Fps) + " a second: import a part of it");
    const int frames = int(span) + 1;
    // Every frame holds a pose of every node until the keys are chosen: bounded as a whole.
    if (double(frames) * nm > kMaxPoses)
        throw Error("The motion of " + motion.Path + " makes " + std::to_string(frames) +
                    " frames of " + std::to_string(nm) + " nodes, more poses than " +
                    std::to_string(int64_t(kMaxPoses)) + ": import a part of it");

    std::vector<TXform> local, world(static_cast<size_t>(nm)), sourceNow(static_cast<size_t>(ns));
    motion.Sample(from, local);
    const std::vector<TXform> firstRaw = motion.World(local);
    // The point the root's path is measured from.
    const int rootBone = mapped[size_t(root)].Bone;
    TVec3 origin = sourceRest[size_t(rootBone)].T;
    if (motion.RestOutsideWorld) {
        double restLow = origin.z, firstLow = 1e300;
        for (int b = 0; b < ns; ++b) {
            restLow = std::min(restLow, sourceRest[size_t(b)].T.z);
            firstLow = std::min(firstLow, (toGame * firstRaw[size_t(b)].T).z);
        }
        const TVec3 first = toGame * firstRaw[size_t(rootBone)].T;
        origin = {first.x, first.y, firstLow + (origin.z - restLow)};
    }

    out.Poses.assign(size_t(nm), std::vector<TKEYPose>(size_t(frames)));
    std::vector<TGameAngles> previous(static_cast<size_t>(nm));
    std::vector<TVec3> fromDirs, toDirs;
    for (int f = 0; f < frames; ++f) {
        motion.Sample(from + f / out.Fps, local);
        const std::vector<TXform> raw = motion.World(local);
        for (int b = 0; b < ns; ++b)
            sourceNow[size_t(b)] = ToGameAxes(toGame, raw[size_t(b)]);
        for (int n : order) {
            const int p = parent[size_t(n)];
            const TXform above = p >= 0 ? world[size_t(p)] : TXform{};
            TXform x = restLocal[size_t(n)];
            const TMapped& m = mapped[size_t(n)];
            if (m.Bone >= 0) {
                const TXform &now = sourceNow[size_t(m.Bone)], &rest = sourceRest[size_t(m.Bone)];
                const TMat3 turn = now.L * Transposed(rest.L);
                TMat3 r = turn * Transposed(m.Align) * restWorld[size_t(n)].L;
                // Bones between this one and its targets (a spine of three onto one torso)
                // bend the line to the target: the turn that follows it.
                fromDirs.clear();
                toDirs.clear();
                for (const TTarget& t : m.Targets) {
                    if (t.Bone < 0) continue;
                    fromDirs.push_back(turn * t.Source);
                    toDirs.push_back(Unit(sourceNow[size_t(t.Bone)].T - now.T));
                }
                if (!fromDirs.empty()) r = BestRotation(fromDirs, toDirs, m.Primary) * r;
                x.L = Transposed(above.L) * r;
            }
            if (n == root && options.Root != TRootMotion::None) {
                TVec3 moved = scale * (sourceNow[size_t(rootBone)].T - origin);
                if (options.Root == TRootMotion::InPlace) moved.x = moved.y = 0;
                const TVec3 place = restWorld[size_t(n)].T + moved;
                x.T = Transposed(above.L) * (place - above.T);
            }
            world[size_t(n)] = above * x;
            const TGameAngles a = GameAngles(x.L, f ? &previous[size_t(n)] : nullptr);
            previous[size_t(n)] = a;
            out.Poses[size_t(n)][size_t(f)] = {x.T.x, x.T.y, x.T.z, a.Pitch, a.Yaw, a.Roll};
        }
    }
    return out;
}

} // namespace vorlin
