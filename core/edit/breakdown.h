// Poses made from other poses: the last frame of a loop matched to the first, and breakdowns
// (a key set to a blend of the keys on either side of it).
#pragma once

#include <vector>

#include "edit/key_edit.h"
#include "edit/timeline.h"
#include "key/u_key.h"

namespace vorlin {

// Makes the animation loop without a jump: each node's last key runs on to the node's pose at
// frame 0 at the end of the last frame (where playing wraps round to frame 0), by its rates
// (derived again, with the flags that make the game apply them). Frame 0 and every key's
// position and angles stay. Returns the keys whose rates were set.
std::vector<TKeyRef> MatchLoop(TKEYFile& doc);

// Picked keys set to a blend of the keys before and after them on their node: 0 gives the
// previous key's values, 1 the next's, angles blended the short way round. A key without a key
// on both sides stays as it is. The rates around every changed key are derived again.
class TTween {
public:
    TTween(const TKEYFile& doc, std::vector<TKeyRef> keys);
    // From the keys as they were when the tween began.
    void Apply(TKEYFile& doc, double fraction) const;
    void Restore(TKEYFile& doc) const { before_.Restore(doc); }
    // The keys that have both neighbours (those the tween sets).
    const std::vector<TKeyRef>& Keys() const { return keys_; }
    const std::vector<int>& Nodes() const { return before_.Nodes(); }

private:
    std::vector<TKeyRef> keys_;
    TNodesSnapshot before_;
};

} // namespace vorlin
