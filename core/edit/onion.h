// Onion skins: the poses a little before and after the frame on show, drawn as translucent
// silhouettes behind it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

class T3DO;

// The frames shown around frame: with spread 0, the keys of the node before and after it (the
// last key before the frame and the first after it); with spread n > 0, frame - n and frame + n.
// A frame outside the animation (or a key that is not there) is left out.
struct TOnionFrames {
    std::optional<int32_t> Before, After;
};
TOnionFrames OnionFrames(const TKEYFile& doc, int node, int32_t frame, int spread);

// The posed model's faces as triangles (three x, y, z each), for a silhouette.
std::vector<float> SilhouetteTriangles(const T3DO& model);

// The ONION_FRAMES setting: "keys", or a number of frames (1 to 100); anything else is "keys".
int OnionSpread(const std::string& setting);

} // namespace vorlin
