// A source of motion: a skeleton (names, parents, rest pose) and its local transforms at any
// time, from a file another program wrote (read with assimp) or from a KEY of the game on its
// model.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/rotation.h"
#include "key/u_key.h"

namespace vorlin {

class T3DO;

// World transforms from local ones through the parents (-1 a root; a link outside the list or
// into a cycle ends the chain there).
std::vector<TXform> ChainWorld(const std::vector<int>& parent, const std::vector<TXform>& local);

class TMotion {
public:
    virtual ~TMotion() = default;
    // Each bone's local transform at a time in seconds from the animation's start.
    virtual void Sample(double seconds, std::vector<TXform>& local) const = 0;
    // The world transforms of local ones.
    std::vector<TXform> World(const std::vector<TXform>& local) const {
        return ChainWorld(Parent, local);
    }
    int Count() const { return int(Names.size()); }

    std::string Path;               // the file, for messages
    std::string Animation;          // the animation's name
    std::vector<std::string> Names; // the bones
    std::vector<int> Parent;        // -1 for a root
    std::vector<TXform> Rest;       // local, the skeleton's rest pose
    std::vector<bool> Keyed;        // whether the animation moves the bone
    // A point in each bone's own frame that shows where it points when no bone below it is
    // mapped (its children's joints, or its mesh's centre); none for a bone without.
    std::vector<std::optional<TVec3>> Tip;
    double Duration = 0; // seconds
    double Rate = 30;    // the source's samples per second
    TMat3 ToGame;        // the source's axes to the game's (+Z up)
    // A BVH's rest pose stands at its own origin, not in the motion's world (its root's path
    // carries the height the figure stands at).
    bool RestOutsideWorld = false;
    // From a KEY: its header and markers, which an animation that came back keeps.
    bool FromKey = false;
    uint32_t KeyFlags = 0, KeyType = 0xFFFF;
    std::vector<TKEYMarker> Markers;
};

// The game's posing at a frame that need not be whole: the entry at or before it, moved on by
// its rates as its flags say. At whole frames it is EvaluateNode.
TKEYPose PoseAtFrame(const TKEYFile& doc, int node, double frame);

// The centre of a model node's mesh in the node's own frame (pivot included); none without.
std::optional<TVec3> MeshCentre(const T3DO& model, int node);

// A KEY on its model as a motion source, in the game's own axes.
std::unique_ptr<TMotion> KeyMotion(const T3DO& model, const TKEYFile& doc);

// The animations of a file assimp reads (BVH, FBX, glTF/GLB, Collada ...), by name.
std::vector<std::string> MotionAnimations(const std::string& path);
// One animation of such a file (the first when anim is empty). Raises one line naming the file
// for a file assimp cannot read, one without animation or skeleton, or values that are not
// numbers.
std::unique_ptr<TMotion> ReadMotion(const std::string& path, const std::string& anim = {});

} // namespace vorlin
