// Motion moved onto a model's skeleton by direction: each mapped node turns, against its mapped
// parent, as its bone turns against its own from the rest poses, so that each limb points where
// the source's limb points whatever the two rest poses are; the root's path scaled by the ratio
// of the two skeletons' sizes.
#pragma once

#include <optional>
#include <vector>

#include "interop/bone_map.h"
#include "interop/motion.h"
#include "key/u_key.h"

namespace vorlin {

class T3DO;

enum class TRootMotion { Keep, InPlace, None };

struct TRetargetOptions {
    double Fps = 0;  // frames a second; 0 for the source's rate rounded, at most 30
    double From = 0; // seconds
    std::optional<double> To;
    TRootMotion Root = TRootMotion::Keep;
    std::optional<double> Scale; // the root's path scale; else the leg lengths' ratio
};

struct TRetargeted {
    double Fps = 0;
    double Scale = 1;
    // Poses[node][frame], the model's node order, the game's values with each angle continuous
    // from frame to frame.
    std::vector<std::vector<TKEYPose>> Poses;
    int Frames() const { return Poses.empty() ? 0 : int(Poses.front().size()); }
};

// The frames a second an import takes by default: the source's rate rounded, 1 to 30.
double DefaultFps(const TMotion& motion);

TRetargeted Retarget(const T3DO& model, const TMotion& motion, const TBoneMap& map,
                     const TRetargetOptions& options);

} // namespace vorlin
