// Mirroring an animation across the model's X = 0 plane: left and right nodes found by their
// names, each node given its partner's keys with the mirrored values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "edit/timeline.h"
#include "key/u_key.h"

namespace vorlin {

class T3DO;

// The name with its side marker swapped ("L_THIGH" -> "R_THIGH", "ky_lthigh" -> "ky_rthigh"),
// each candidate once, in the order the markers are tried: a prefix l_/r_, a suffix _l/_r, the
// word left/right, one l/r letter right after the first underscore. Empty for a name without
// a side marker.
std::vector<std::string> SideSwapped(std::string_view name);

// Left and right partners among joints named by their index (the model's hierarchy nodes):
// Partner[j] is j's partner, j itself when it has none.
struct TMirrorPairs {
    std::vector<int> Partner;
    // Pairs a and b (each loses a partner it had, who is then alone).
    void Set(int a, int b);
    // The joints without a partner.
    std::vector<int> Unpaired() const;
};
TMirrorPairs FindMirrorPairs(const std::vector<std::string>& names);

// The names of the joints a KEY drives, by joint number: the model's node names, or without a
// model the KEY nodes' mesh names (a joint no node drives is unnamed).
std::vector<std::string> JointNames(const TKEYFile& doc, const T3DO* model);

// The pairs whose rest pivots are not mirror images of each other (to 1e-3), as "A / B".
std::vector<std::string> AsymmetricPairs(const T3DO& model, const TMirrorPairs& pairs,
                                         double tolerance = 1e-3);

// An entry's values mirrored: x, yaw and roll and their rates change sign (a rotation R
// becomes M R M with M = diag(-1, 1, 1), which for the game's yaw-pitch-roll order is that).
void MirrorEntry(TKEYEntry& e);

// Each node's entries replaced by those of the node driving its partner joint, mirrored (frames
// and flags as the partner's); a node whose partner no node drives, or which has none, mirrors
// its own. Markers and the header stay. Returns the joints that had no partner driven by the
// KEY, by name, for the user to be told.
std::vector<std::string> MirrorKey(TKEYFile& doc, const TMirrorPairs& pairs,
                                   const std::vector<std::string>& names);

// Paste X-flipped: the pose of an entry copied from the node driving joint `from`, mirrored,
// into the key at frame of the node driving from's partner (a key made there when it has none,
// as Insert Key makes one), its rates derived. Onto a partner other than itself, with the rest
// poses of both, the motion from from's rest pose is mirrored onto the partner's rest pose
// (rest B + M (value - rest A)), as pasting keys onto another node carries it. Returns where
// that key is, or node -1 when no node drives the partner.
TKeyRef PasteMirrored(TKEYFile& doc, const TKEYEntry& copied, int from, const TMirrorPairs& pairs,
                      int32_t frame, const std::vector<TKEYPose>* rest = nullptr);

} // namespace vorlin
