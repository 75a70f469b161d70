// Keys a modder can edit: of a motion given at every frame, the few frames to keep as keys such
// that the game's own straight lines between them (its rates, the short way round for angles)
// stay within a tolerance of the motion at every frame.
#pragma once

#include <memory>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

class T3DO;

struct TTolerance {
    double Angle = 0.5;      // degrees, each of pitch, yaw and roll
    double Position = 0.002; // units, each of x, y and z
};

// The frames of one node's track (one pose a frame) to keep as keys: the first, the last, and
// between them each key reaching as far as the tolerance allows.
std::vector<int> ReduceTrack(const std::vector<TKEYPose>& track, const TTolerance& tolerance);

// A KEY for the model from poses[node][frame] (the model's nodes in order): JOINTS the node
// count, NODE numbers the hierarchy indexes, mesh names the nodes' names, each node's keys
// reduced within the tolerance, the rates and flags derived as every change derives them. It
// plays once.
std::unique_ptr<TKEYFile> BuildKey(const T3DO& model,
                                   const std::vector<std::vector<TKEYPose>>& poses, double fps,
                                   const TTolerance& tolerance);

struct TKeyError {
    double Position = 0, Angle = 0; // the largest differences of any channel at any frame
    int Frame = 0, Node = 0;        // where the larger (in tolerances) lies
};
// How far the game's posing of the document strays from poses[node][frame] (the document's
// nodes bound to joints by number).
TKeyError MeasureKey(const TKEYFile& doc, const std::vector<std::vector<TKEYPose>>& poses);

} // namespace vorlin
