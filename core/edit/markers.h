// The kinds of markers a KEY carries and how the markers editor names them: each type's list
// text and short grid name, and whether its number is a frame of the animation or a value.
#pragma once

#include <string>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

constexpr int kMarkerTypeCount = 16; // types 1 to 16 have a place in the type list

// The type list's text of type 1 to 16 (16 has an empty text); empty outside that range.
std::string MarkerTypeItem(int type);
// The grid's short name: "Left walk", or "Unknown (20)" for a type without one.
std::string MarkerGridName(int type);
// Footsteps, splashes, landing, leaping and jumping mark a frame; the others hold a value.
bool IsFrameMarker(int type);
// The grid's second column: "Frame = 12" or "Value = 0.5".
std::string MarkerNumberText(const TKEYMarker& marker);
// The markers "Single" and "Double" make for a saber key.
std::vector<TKEYMarker> SaberMarkers(bool twice);

} // namespace vorlin
