// Motion from files other programs write, read with assimp: the node tree as the skeleton, one
// animation's channels as its motion.
#include <algorithm>
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <cmath>
#include <numeric>

#include "interop/motion.h"
#include "support/FileOperations.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

// Ticks a second taken when a file gives none, as assimp's own viewer takes them.
constexpr double kDefaultTicks = 25;
// The longest motion sampled: an hour at 30 frames a second is far beyond any character's.
constexpr double kMaxSeconds = 3600;

TXform FromAssimp(const aiMatrix4x4& a) {
    TXform x;
    x.L.m = {{{a.a1, a.a2, a.a3}, {a.b1, a.b2, a.b3}, {a.c1, a.c2, a.c3}}};
    x.T = {a.a4, a.b4, a.c4};
    return x;
}

struct TTrack {
    std::vector<double> PosTime, RotTime, ScaleTime;
    std::vector<TVec3> Pos, Scale;
    std::vector<TQuat> Rot;
};

// The place of t among sorted times: the key at or before it and how far towards the next.
std::pair<size_t, double> Locate(const std::vector<double>& times, double t) {
    if (t <= times.front()) return {0, 0};
    if (t >= times.back()) return {times.size() - 1, 0};
    const size_t i = size_t(std::upper_bound(times.begin(), times.end(), t) - times.begin()) - 1;
    const double span = times[i + 1] - times[i];
    return {i, span > 0 ? (t - times[i]) / span : 0};
}

TVec3 Lerp(const std::vector<TVec3>& v, std::pair<size_t, double> at) {
    const auto [i, f] = at;
    if (f == 0) return v[i];
    return (1 - f) * v[i] + f * v[i + 1];
}

class TFileMotion : public TMotion {
public:
    void Sample(double seconds, std::vector<TXform>& local) const override {
        local = Rest;
        for (size_t b = 0; b < tracks_.size(); ++b) {
            const TTrack& k = tracks_[b];
            if (k.PosTime.empty() && k.RotTime.empty() && k.ScaleTime.empty()) continue;
            // What a channel leaves out stays as the rest pose has it.
            const TMat3 restRot = Orthonormal(Rest[b].L);
            TMat3 rot = restRot;
            if (!k.RotTime.empty()) {
                const auto [i, f] = Locate(k.RotTime, seconds);
                rot = QuatMatrix(f == 0 ? k.Rot[i] : Slerp(k.Rot[i], k.Rot[i + 1], f));
            }
            TMat3 scale;
            if (!k.ScaleTime.empty()) {
                const TVec3 s = Lerp(k.Scale, Locate(k.ScaleTime, seconds));
                scale.m = {{{s.x, 0, 0}, {0, s.y, 0}, {0, 0, s.z}}};
            } else {
                scale = Transposed(restRot) * Rest[b].L;
            }
            local[b].L = rot * scale;
            if (!k.PosTime.empty()) local[b].T = Lerp(k.Pos, Locate(k.PosTime, seconds));
        }
    }

    std::vector<TTrack> tracks_;
};

const aiScene* ReadScene(Assimp::Importer& importer, const std::string& path) {
    if (!DiskFileExists(path)) throw Error("Cannot open " + path + ": no such file");
    // FBX pivots folded into the nodes, so that the skeleton has only its own bones.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    const aiScene* scene = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode) {
        std::string why = importer.GetErrorString();
        if (why.empty()) why = "no skeleton in it";
        throw Error(path + " is not a motion file that can be read: " + why);
    }
    return scene;
}

bool Finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The vertical axis a file names (FBX), as a unit vector in its own axes; +Y otherwise.
TVec3 UpAxis(const aiScene& scene) {
    int32_t axis = 1, sign = 1;
    if (scene.mMetaData) {
        scene.mMetaData->Get("UpAxis", axis);
        scene.mMetaData->Get("UpAxisSign", sign);
    }
    TVec3 up;
    (axis == 0 ? up.x : axis == 2 ? up.z : up.y) = sign < 0 ? -1 : 1;
    return up;
}

} // namespace

std::vector<std::string> MotionAnimations(const std::string& path) {
    Assimp::Importer importer;
    const aiScene* scene = ReadScene(importer, path);
    std::vector<std::string> names;
    for (unsigned i = 0; i < scene->mNumAnimations; ++i) {
        std::string name = scene->mAnimations[i]->mName.C_Str();
        names.push_back(name.empty() ? "animation " + std::to_string(i + 1) : name);
    }
    return names;
}

std::unique_ptr<TMotion> ReadMotion(const std::string& path, const std::string& anim) {
    Assimp::Importer importer;
    const aiScene* scene = ReadScene(importer, path);
    if (scene->mNumAnimations == 0) throw Error(path + " has no animation");
    unsigned chosen = 0;
    std::vector<std::string> names;
    for (unsigned i = 0; i < scene->mNumAnimations; ++i) {
        std::string name = scene->mAnimations[i]->mName.C_Str();
        if (name.empty()) name = "animation " + std::to_string(i + 1);
        names.push_back(name);
    }
    if (!anim.empty()) {
        auto it = std::find_if(names.begin(), names.end(),
                               [&](const std::string& n) { return SameText(n, anim); });
        if (it == names.end()) {
            std::string list;
            for (const std::string& n : names)
                list += (list.empty() ? "" : ", ") + n;
            throw Error(path + " has no animation " + anim + " (it has " + list + ")");
        }
        chosen = unsigned(it - names.begin());
    }
    const aiAnimation& a = *scene->mAnimations[chosen];

    auto motion = std::make_unique<TFileMotion>();
    motion->Path = path;
    motion->Animation = names[chosen];
    // The node tree, depth first: each bone's parent comes before it.
    std::vector<const aiNode*> stack{scene->mRootNode};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        const int index = motion->Count();
        std::string name = node->mName.C_Str();
        motion->Names.push_back(name.empty() ? "node " + std::to_string(index) : name);
        motion->Rest.push_back(FromAssimp(node->mTransformation));
        motion->Parent.push_back(-1);
        for (unsigned c = node->mNumChildren; c-- > 0;)
            stack.push_back(node->mChildren[c]);
    }
    // Parents by a second walk (the stack above loses them).
    {
        std::vector<std::pair<const aiNode*, int>> walk{{scene->mRootNode, -1}};
        int next = 0;
        while (!walk.empty()) {
            auto [node, parent] = walk.back();
            walk.pop_back();
            const int index = next++;
            motion->Parent[size_t(index)] = parent;
            for (unsigned c = node->mNumChildren; c-- > 0;)
                walk.push_back({node->mChildren[c], index});
        }
    }
    const int n = motion->Count();
    motion->tracks_.resize(size_t(n));
    motion->Keyed.assign(size_t(n), false);

    double ticks = a.mTicksPerSecond;
    if (!(ticks > 0) || !std::isfinite(ticks)) {
        LogMessage(mtWarning, path + ": the animation " + motion->Animation +
                                  " gives no ticks a second; taken as 25");
        ticks = kDefaultTicks;
    }
    double last = 0, denseKeys = 0, denseSpan = 0;
    for (unsigned c = 0; c < a.mNumChannels; ++c) {
        const aiNodeAnim& ch = *a.mChannels[c];
        const std::string bone = ch.mNodeName.C_Str();
        const auto at = std::find(motion->Names.begin(), motion->Names.end(), bone);
        if (at == motion->Names.end()) {
            LogMessage(mtWarning, path + ": the animation moves " + bone +
                                      ", which is not in its skeleton; left out");
            continue;
        }
        const size_t b = size_t(at - motion->Names.begin());
        TTrack& k = motion->tracks_[b];
        auto bad = [&] {
            return Error(path + ": the animation " + motion->Animation + " gives " + bone +
                         " values that are not numbers");
        };
        auto time = [&](double t) {
            const double s = t / ticks;
            if (!std::isfinite(s)) throw bad();
            return s;
        };
        for (unsigned i = 0; i < ch.mNumPositionKeys; ++i) {
            const aiVectorKey& key = ch.mPositionKeys[i];
            if (!Finite(key.mValue)) throw bad();
            k.PosTime.push_back(time(key.mTime));
            k.Pos.push_back({key.mValue.x, key.mValue.y, key.mValue.z});
        }
        for (unsigned i = 0; i < ch.mNumRotationKeys; ++i) {
            const aiQuatKey& key = ch.mRotationKeys[i];
            const aiQuaternion& q = key.mValue;
            const double norm = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
            if (!(norm > 1e-9) || !std::isfinite(norm)) throw bad();
            k.RotTime.push_back(time(key.mTime));
            k.Rot.push_back({q.w / norm, q.x / norm, q.y / norm, q.z / norm});
        }
        for (unsigned i = 0; i < ch.mNumScalingKeys; ++i) {
            const aiVectorKey& key = ch.mScalingKeys[i];
            if (!Finite(key.mValue)) throw bad();
            k.ScaleTime.push_back(time(key.mTime));
            k.Scale.push_back({key.mValue.x, key.mValue.y, key.mValue.z});
        }
        // Keys out of time order would make the search meaningless: ordered, stably.
        auto order = [](std::vector<double>& times, auto& values) {
            if (std::is_sorted(times.begin(), times.end())) return;
            std::vector<size_t> idx(times.size());
            std::iota(idx.begin(), idx.end(), 0);
            std::stable_sort(idx.begin(), idx.end(),
                             [&](size_t x, size_t y) { return times[x] < times[y]; });
            auto t2 = times;
            auto v2 = values;
            for (size_t i = 0; i < idx.size(); ++i) {
                times[i] = t2[idx[i]];
                values[i] = v2[idx[i]];
            }
        };
        order(k.PosTime, k.Pos);
        order(k.RotTime, k.Rot);
        order(k.ScaleTime, k.Scale);
        for (const auto* times : {&k.PosTime, &k.RotTime, &k.ScaleTime}) {
            if (times->empty()) continue;
            motion->Keyed[b] = true;
            last = std::max(last, times->back());
            const double span = times->back() - times->front();
            if (times->size() > 1 && span > 0 && double(times->size()) > denseKeys) {
                denseKeys = double(times->size());
                denseSpan = span;
            }
        }
    }
    if (std::none_of(motion->Keyed.begin(), motion->Keyed.end(), [](bool k) { return k; }))
        throw Error(path + ": the animation " + motion->Animation + " moves no bone");
    if (last > kMaxSeconds)
        throw Error(path + ": the animation " + motion->Animation + " runs " +
                    std::to_string(int64_t(last)) + " seconds, more than an hour");
    motion->Duration = last;
    motion->Rate = denseKeys > 1 ? (denseKeys - 1) / denseSpan : 30;

    // Where each bone points when nothing below it is mapped: its children's joints (through
    // joints that sit on it, as a BVH's do).
    motion->Tip.assign(size_t(n), std::nullopt);
    std::vector<std::vector<int>> children(static_cast<size_t>(n));
    for (int b = 0; b < n; ++b)
        if (motion->Parent[size_t(b)] >= 0)
            children[size_t(motion->Parent[size_t(b)])].push_back(b);
    for (int b = 0; b < n; ++b) {
        std::vector<std::pair<int, TXform>> level;
        for (int c : children[size_t(b)])
            level.push_back({c, motion->Rest[size_t(c)]});
        for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
            TVec3 sum;
            for (const auto& [c, x] : level)
                sum = sum + x.T;
            const TVec3 mean = (1.0 / double(level.size())) * sum;
            double size = 0;
            for (const auto& [c, x] : level)
                size = std::max(size, Length(x.T));
            if (size > 1e-9) {
                motion->Tip[size_t(b)] = mean;
                break;
            }
            std::vector<std::pair<int, TXform>> below;
            for (const auto& [c, x] : level)
                for (int g : children[size_t(c)])
                    below.push_back({g, x * motion->Rest[size_t(g)]});
            level = std::move(below);
        }
    }

    const TVec3 up = UpAxis(*scene);
    const TVec3 gameUp{0, 0, 1};
    const TVec3 axis = Cross(up, gameUp);
    motion->ToGame = Length(axis) > 1e-12
                         ? AxisAngle(Unit(axis), std::acos(std::clamp(Dot(up, gameUp), -1.0, 1.0)) *
                                                     180 / 3.14159265358979323846)
                     : Dot(up, gameUp) > 0 ? TMat3::Identity()
                                           : AxisAngle({1, 0, 0}, 180);
    motion->RestOutsideWorld = SameText(PathExt(path), ".bvh");
    return motion;
}

} // namespace vorlin
