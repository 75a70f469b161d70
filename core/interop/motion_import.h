// Importing motion onto a model: the bones mapped, the motion retargeted, the keys reduced,
// and what became of each node and bone reported.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/bone_map.h"
#include "interop/motion.h"
#include "interop/reduce.h"
#include "interop/retarget.h"

namespace vorlin {

struct TImportOptions {
    TRetargetOptions Retarget;
    TTolerance Tolerance;
    // Changes to the automatic mapping: model node name to bone name ("" for no bone).
    std::vector<std::pair<std::string, std::string>> Map;
    // The whole mapping, as a dialog left it, in place of the automatic one and the changes.
    std::optional<TBoneMap> Mapping;
};

struct TImportResult {
    std::unique_ptr<TKEYFile> Key;
    TBoneMap Map;
    std::vector<std::string> Pairs;         // "node <- bone", the model's order
    std::vector<std::string> UnmappedNodes; // keep their rest pose
    std::vector<std::string> UnusedBones;
    int Keys = 0;    // entries kept, all nodes
    int Frames = 0;  // frames of the motion
    TKeyError Error; // the largest difference of the KEY as saved from the motion
    double Scale = 1, Fps = 0;
};

// A node that only marks where a chain ends (a BVH's End Site), no bone to report unused.
bool IsEndSite(const std::string& name);

// The mapping an import takes: the automatic one with the changes applied.
TBoneMap ImportMap(const T3DO& model, const TMotion& motion,
                   const std::vector<std::pair<std::string, std::string>>& changes);

// The motion as a KEY for the model. The KEY is named after the animation; one that came from
// another KEY keeps its markers (those within the frames taken), FLAGS and TYPE.
TImportResult ImportMotion(const T3DO& model, const TMotion& motion, const TImportOptions& options);

} // namespace vorlin
