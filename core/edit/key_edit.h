// The key editing an animator does on the timeline and the curves, as rules on the document:
// a key at the playhead holding the pose the game shows there, keys scaled about a frame, keys
// copied and pasted by NODE number, and the rates derived again around what changed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "edit/timeline.h"
#include "key/u_key.h"

namespace vorlin {

// The position and orientation of an entry or a hierarchy node (its rest pose) into an
// entry; its frame, flags and rates stay.
template <typename Pose> void TakePose(TKEYEntry& e, const Pose& p) {
    e.X = p.X;
    e.Y = p.Y;
    e.Z = p.Z;
    e.Pitch = p.Pitch;
    e.Yaw = p.Yaw;
    e.Roll = p.Roll;
}

// The entries of some nodes as they are (their order and values), to put back: a command that
// follows the mouse starts from them at every step.
class TNodesSnapshot {
public:
    TNodesSnapshot(const TKEYFile& doc, std::vector<int> nodes);
    void Restore(TKEYFile& doc) const;
    const std::vector<int>& Nodes() const { return nodes_; }
    // The entry at a place of the k-th node as it was.
    const TKEYEntry* Entry(size_t k, int index) const { return items_[k][size_t(index)].get(); }
    // Its values as they were (the entry itself may have changed since).
    const TKEYEntry& Value(size_t k, int index) const { return values_[k][size_t(index)]; }

private:
    std::vector<int> nodes_;
    std::vector<std::vector<std::shared_ptr<TKEYEntry>>> items_;
    std::vector<std::vector<TKEYEntry>> values_;
};

// A key at frame on a node, holding the pose the game shows there (interpolated by the entry
// that poses the frame), its rates and those of the entry before it derived, so it gets the
// flags that make the game apply them. Where the rates were the derived ones, the motion
// through the other keys stays as it was. A key already at that frame takes that pose and has
// its rates derived again; no other key moves. Returns the key's index.
int InsertKey(TKEYFile& doc, int node, int32_t frame);

// The frames of keys scaled about a frame (rounded to whole frames). A node's first entry stays
// where it is, as when keys are moved. Each node's entries are kept in frame order; the rates
// around every key that moved are derived again.
class TKeyScale {
public:
    TKeyScale(const TKEYFile& doc, std::vector<TKeyRef> keys, int32_t about);
    // Why the keys cannot take the factor ("Two keys of node 3 (ARM) would be at frame 12"), or
    // empty when they can.
    std::string Refusal(double factor) const;
    // From the keys as they were when the scale began; raises the refusal as an error.
    void Apply(TKEYFile& doc, double factor) const;
    // The keys, their nodes' order and rates, as they were when the scale began.
    void Restore(TKEYFile& doc) const { before_.Restore(doc); }
    // Where the scaled keys are now.
    std::vector<TKeyRef> Keys(const TKEYFile& doc) const;
    const std::vector<int>& Nodes() const { return before_.Nodes(); }
    bool Empty() const { return moving_.empty(); }
    int32_t About() const { return about_; }

private:
    int32_t Scaled(int32_t frame, double factor) const;
    // A key that moves: its node's place in Nodes(), its place in the node when the scale
    // began, its frame then.
    struct Moving {
        size_t node;
        int index;
        int32_t frame;
    };
    std::vector<Moving> moving_; // by node, then by place
    TNodesSnapshot before_;
    int32_t about_;
    int32_t frames_;
    std::vector<std::string> names_;         // per node of Nodes(): its name for the refusal
    std::vector<std::vector<int32_t>> stay_; // per node of Nodes(): the frames that stay
};

// The rest pose of each joint (the model's hierarchy nodes by index), which motion pasted from
// one node onto another is measured from.
using TRestPoses = std::vector<TKEYPose>;
class T3DO;
TRestPoses RestPoses(const T3DO& model);
// A key's position and angles carried from one node onto another as motion from its rest pose:
// to + (value - from) for each position, and likewise for each angle the short way round
// (kept in 0 .. 360), so a limb keeps its own pivot. Frame, flags and rates stay.
void CarryOver(TKEYEntry& e, const TKEYPose& from, const TKEYPose& to);

// Keys copied: each one's node (its NODE number), its frame from the first copied frame, and
// its values.
struct TKeyClipboard {
    struct Key {
        int32_t Joint = 0;
        int32_t Offset = 0;
        TKEYEntry Values;
    };
    std::vector<Key> Keys;
    bool Empty() const { return Keys.empty(); }
    // Whether they all come from one node (they then go onto any node picked).
    bool OneNode() const;
    static TKeyClipboard Copy(const TKEYFile& doc, const std::vector<TKeyRef>& keys);
};

// Pastes keys with the first copied frame at frame, each on the node of its NODE number, or all
// on node `onto` (>= 0) when they came from one node. A key on a frame where its node has a key
// replaces that key's values. The positions and angles are pasted (onto another node than their
// own, as motion from the source's rest pose onto the target's, when rest holds both joints);
// flags and rates are derived around every pasted key.
struct TPasteResult {
    std::vector<TKeyRef> Keys; // where the pasted keys are
    int Skipped = 0;           // keys whose NODE number no node of the document has
};
// Why the keys cannot be pasted there (a frame outside the animation, named), or empty.
std::string PasteRefusal(const TKEYFile& doc, const TKeyClipboard& clip, int32_t frame);
TPasteResult PasteKeys(TKEYFile& doc, const TKeyClipboard& clip, int32_t frame, int onto = -1,
                       const TRestPoses* rest = nullptr);

// The whole frame nearest to frame where a marker is (markers may sit between frames); frame
// itself when the document has no markers.
int32_t SnapToMarker(const TKEYFile& doc, double frame);

} // namespace vorlin
