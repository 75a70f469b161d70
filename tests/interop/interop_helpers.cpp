#include "interop_helpers.h"

#include <cmath>
#include <functional>
#include <numbers>

#include "key/u_key.h"
#include "support/misc_utils.h"

namespace vorlin::test {

std::string SamplePath(const std::string& relative) {
    return std::string(VORLIN_SAMPLE_DIR) + "/" + relative;
}

std::string BvhText(const std::vector<TBvhBone>& bones,
                    const std::vector<std::vector<double>>& frames, double frameTime) {
    std::string out = "HIERARCHY\n";
    std::function<void(int, int)> write = [&](int b, int depth) {
        const std::string pad(size_t(depth) * 2, ' ');
        const TBvhBone& bone = bones[size_t(b)];
        if (bone.End)
            out += pad + "End Site\n";
        else
            out += pad + (bone.Parent < 0 ? "ROOT " : "JOINT ") + bone.Name + "\n";
        out += pad + "{\n";
        out += pad + "  OFFSET " + GeneralFloat(bone.X) + " " + GeneralFloat(bone.Y) + " " +
               GeneralFloat(bone.Z) + "\n";
        if (!bone.End)
            out += pad +
                   (bone.Parent < 0 ? "  CHANNELS 6 Xposition Yposition Zposition "
                                    : "  CHANNELS 3 ") +
                   "Zrotation Xrotation Yrotation\n";
        for (size_t c = 0; c < bones.size(); ++c)
            if (bones[c].Parent == b) write(int(c), depth + 1);
        out += pad + "}\n";
    };
    write(0, 0);
    out += "MOTION\nFrames: " + std::to_string(frames.size()) +
           "\nFrame Time: " + GeneralFloat(frameTime) + "\n";
    for (const auto& f : frames) {
        std::string line;
        for (double v : f)
            line += (line.empty() ? "" : " ") + GeneralFloat(v);
        out += line + "\n";
    }
    return out;
}

std::vector<TBvhBone> TestSkeleton() {
    return {
        {"Hips", -1, 0, 0, 0},         {"Spine", 0, 0, 5, 0},        {"Head", 1, 0, 5, 0},
        {"", 2, 0, 3, 0, true},        {"LeftArm", 1, 2, 4, 0},      {"LeftForeArm", 4, 4, 0, 0},
        {"LeftHand", 5, 4, 0, 0},      {"", 6, 2, 0, 0, true},       {"RightArm", 1, -2, 4, 0},
        {"RightForeArm", 8, -4, 0, 0}, {"RightHand", 9, -4, 0, 0},   {"", 10, -2, 0, 0, true},
        {"LeftUpLeg", 0, 1, -1, 0},    {"LeftLeg", 12, 0, -8, 0},    {"LeftFoot", 13, 0, -8, 0},
        {"", 14, 0, -1, 2, true},      {"RightUpLeg", 0, -1, -1, 0}, {"RightLeg", 16, 0, -8, 0},
        {"RightFoot", 17, 0, -8, 0},   {"", 18, 0, -1, 2, true},
    };
}

int ChannelCount(const std::vector<TBvhBone>& bones) {
    int n = 0;
    for (const TBvhBone& b : bones)
        if (!b.End) n += b.Parent < 0 ? 6 : 3;
    return n;
}

double AngleBetween(const TVec3& a, const TVec3& b) {
    const double c = Dot(Unit(a), Unit(b));
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180 / std::numbers::pi;
}

std::vector<TXform> PosedWorld(const T3DO& model, const TKEYFile& key, int frame) {
    const std::unique_ptr<TMotion> motion = KeyMotion(model, key);
    std::vector<TXform> local;
    motion->Sample(frame / key.FPS, local);
    return motion->World(local);
}

TVec3 NodeDirection(const T3DO& model, const std::vector<TXform>& world, int n,
                    const std::string& towards) {
    if (!towards.empty()) return world[size_t(NodeIndex(model, towards))].T - world[size_t(n)].T;
    return world[size_t(n)].L * MeshCentre(model, n).value_or(TVec3{});
}

int NodeIndex(const T3DO& model, const std::string& name) {
    for (int n = 0; n < model.HNodes.Count(); ++n)
        if (SameText(model.HNodes[n].Name, name)) return n;
    return -1;
}

int BoneIndex(const TMotion& motion, const std::string& name) {
    for (int b = 0; b < motion.Count(); ++b)
        if (motion.Names[size_t(b)] == name) return b;
    return -1;
}

} // namespace vorlin::test
