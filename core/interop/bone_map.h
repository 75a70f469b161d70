// Which bone of a source skeleton drives which node of a model: found from the names (case and
// separators ignored, the usual synonyms, the side markers the mirror pairs use), changed by
// hand where the names do not tell.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorlin {

enum class TSide { None, Left, Right };

// What a bone's name says it is: a part of the body ("upperarm", "thigh", ...; empty when the
// name names none) and its side.
struct TBoneClass {
    std::string Part;
    TSide Side = TSide::None;
    // How sure the name is: 3 it is the part's word, 2 the word and a number ("Spine1"), 1 the
    // word among others ("ky_thigh_geo"); 0 no part. Within a part, Rank orders its synonyms.
    int Score = 0;
    int Rank = 0;
    int Number = 0;
};
TBoneClass ClassifyBone(std::string_view name);

// The name lower-cased without separators or a namespace ("mixamorig:Left_Arm" -> "leftarm"),
// which two names share when they are taken for the same bone.
std::string BoneKey(std::string_view name);

struct TBoneMap {
    // Source[n] is the bone that drives model node n, -1 when none does.
    std::vector<int> Source;
    // Model nodes no bone drives (they keep their rest pose), and bones no node takes.
    std::vector<int> UnmappedNodes() const;
    std::vector<int> UnusedBones(int boneCount) const;
};

// The automatic mapping: same names first, then the same part and side, the best named bone
// below the bone of the node's mapped parent. modelParents and sourceParents give the two
// hierarchies (-1 for a root).
TBoneMap AutoMap(const std::vector<std::string>& modelNames, const std::vector<int>& modelParents,
                 const std::vector<std::string>& sourceNames,
                 const std::vector<int>& sourceParents);

// Changes by hand: model node name to bone name (empty: no bone). Raises an error naming a node
// or bone the two skeletons do not have.
void ApplyMapChanges(TBoneMap& map, const std::vector<std::string>& modelNames,
                     const std::vector<std::string>& sourceNames,
                     const std::vector<std::pair<std::string, std::string>>& changes);

} // namespace vorlin
