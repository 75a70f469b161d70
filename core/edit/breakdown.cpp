#include "edit/breakdown.h"

#include <algorithm>
#include <cmath>

#include "support/misc_utils.h"

namespace vorlin {

namespace {

std::vector<int> NodesOf(const std::vector<TKeyRef>& keys) {
    std::vector<int> nodes;
    for (const TKeyRef& k : keys)
        if (nodes.empty() || nodes.back() != k.node) nodes.push_back(k.node);
    return nodes;
}

} // namespace

std::vector<TKeyRef> MatchLoop(TKEYFile& doc) {
    std::vector<TKeyRef> set;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        TKEYEntries& entries = doc.Nodes[k].Entries;
        if (entries.Count() == 0) continue;
        const int at = entries.Count() - 1;
        TKEYEntry& e = entries[at];
        const double d = double(doc.Frames) - e.Frame;
        if (d <= 0) continue; // a key at or past the end: nothing runs on from it
        const TKEYPose first = doc.EvaluateNode(k, 0);
        // A node whose end meets frame 0 already (within what the file's 8 decimals of a rate
        // keep) is left as it is, flags and all.
        const TKEYPose end = doc.EvaluateNode(k, doc.Frames);
        const double near = 1e-8 * std::max(d, 1.0);
        if (std::abs(end.X - first.X) <= near && std::abs(end.Y - first.Y) <= near &&
            std::abs(end.Z - first.Z) <= near &&
            std::abs(AngleDiff(end.Pitch, first.Pitch)) <= near &&
            std::abs(AngleDiff(end.Yaw, first.Yaw)) <= near &&
            std::abs(AngleDiff(end.Roll, first.Roll)) <= near)
            continue;
        e.DX = (first.X - e.X) / d;
        e.DY = (first.Y - e.Y) / d;
        e.DZ = (first.Z - e.Z) / d;
        e.DPitch = AngleRate(d, first.Pitch, e.Pitch);
        e.DYaw = AngleRate(d, first.Yaw, e.Yaw);
        e.DRoll = AngleRate(d, first.Roll, e.Roll);
        // The flags that make the game apply the rates it needs.
        const bool moves = e.DX != 0 || e.DY != 0 || e.DZ != 0;
        const bool turns = e.DPitch != 0 || e.DYaw != 0 || e.DRoll != 0;
        e.Flags = (moves ? 1 : 0) | (turns ? 2 : 0);
        if (e.Flags == 0) e.Flags = 1;
        set.push_back({k, at});
    }
    return set;
}

TTween::TTween(const TKEYFile& doc, std::vector<TKeyRef> keys)
    : keys_([&] {
          std::sort(keys.begin(), keys.end());
          keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
          std::erase_if(keys, [&](const TKeyRef& k) {
              return k.node < 0 || k.node >= doc.Nodes.Count() || k.entry <= 0 ||
                     k.entry + 1 >= doc.Nodes[k.node].Entries.Count();
          });
          return keys;
      }()),
      before_(doc, NodesOf(keys_)) {}

void TTween::Apply(TKEYFile& doc, double fraction) const {
    before_.Restore(doc);
    const std::vector<int>& nodes = before_.Nodes();
    for (const TKeyRef& k : keys_) {
        const size_t n = size_t(std::find(nodes.begin(), nodes.end(), k.node) - nodes.begin());
        // The neighbours as they were: a picked neighbour is itself being tweened.
        const TKEYEntry& p = before_.Value(n, k.entry - 1);
        const TKEYEntry& q = before_.Value(n, k.entry + 1);
        TKEYEntry& e = doc.Nodes[k.node].Entries[k.entry];
        auto mix = [fraction](double a, double b) { return a + fraction * (b - a); };
        auto turn = [fraction](double a, double b) { return a + fraction * AngleDiff(a, b); };
        e.X = mix(p.X, q.X);
        e.Y = mix(p.Y, q.Y);
        e.Z = mix(p.Z, q.Z);
        e.Pitch = turn(p.Pitch, q.Pitch);
        e.Yaw = turn(p.Yaw, q.Yaw);
        e.Roll = turn(p.Roll, q.Roll);
    }
    for (const TKeyRef& k : keys_)
        doc.UpdateEntry(k.node, k.entry);
}

} // namespace vorlin
