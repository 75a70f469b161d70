#include "edit/key_edit.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "model/u_3dos.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

std::string NodeText(const TKEYFile& doc, int node) {
    return "node " + std::to_string(node) + " (" + doc.Nodes[node].MeshName + ")";
}

std::string FrameRange(const TKEYFile& doc) {
    return "the animation's frames 0 to " + std::to_string(std::max(doc.Frames - 1, 0));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Snapshots

TNodesSnapshot::TNodesSnapshot(const TKEYFile& doc, std::vector<int> nodes)
    : nodes_(std::move(nodes)) {
    for (int node : nodes_) {
        const TKEYEntries& entries = doc.Nodes[node].Entries;
        items_.push_back(entries.Items());
        std::vector<TKEYEntry> values;
        values.reserve(size_t(entries.Count()));
        for (const auto& e : entries)
            values.push_back(*e);
        values_.push_back(std::move(values));
    }
}

void TNodesSnapshot::Restore(TKEYFile& doc) const {
    for (size_t k = 0; k < nodes_.size(); ++k) {
        doc.Nodes[nodes_[k]].Entries.SetItems(items_[k]);
        for (size_t i = 0; i < items_[k].size(); ++i)
            *items_[k][i] = values_[k][i];
    }
}

// ---------------------------------------------------------------------------------------------
// Insert Key

int InsertKey(TKEYFile& doc, int node, int32_t frame) {
    TKEYEntries& entries = doc.Nodes[node].Entries;
    const int at = doc.EntryForFrame(node, frame); // raises for a node without entries
    if (entries[at].Frame == frame) {
        // The pose there is the key's own: what it needs is its rates derived.
        doc.UpdateEntry(node, at);
        return at;
    }
    const TKEYPose pose = TKEYFile::PoseFromEntry(entries[at], frame);
    auto key = std::make_shared<TKEYEntry>();
    key->Frame = frame;
    TakePose(*key, pose);
    // Before the first entry the game carries entry 0 backwards: the new key comes first.
    const int index = frame < entries[at].Frame ? at : at + 1;
    entries.Insert(index, key);
    doc.UpdateEntry(node, index);
    return index;
}

// ---------------------------------------------------------------------------------------------
// Scale

TKeyScale::TKeyScale(const TKEYFile& doc, std::vector<TKeyRef> keys, int32_t about)
    : before_(doc,
              [&] {
                  keys = ValidKeys(doc, std::move(keys));
                  std::erase_if(keys, [](const TKeyRef& k) { return k.entry == 0; });
                  std::vector<int> nodes;
                  for (const TKeyRef& k : keys)
                      if (nodes.empty() || nodes.back() != k.node) nodes.push_back(k.node);
                  return nodes;
              }()),
      about_(about), frames_(doc.Frames) {
    // The keys are sorted: by node, then by place.
    size_t node = 0;
    for (const TKeyRef& k : keys) {
        while (Nodes()[node] != k.node)
            ++node;
        moving_.push_back({node, k.entry, doc.Nodes[k.node].Entries[k.entry].Frame});
    }
    size_t m = 0;
    for (size_t n = 0; n < Nodes().size(); ++n) {
        names_.push_back(NodeText(doc, Nodes()[n]));
        const TKEYEntries& entries = doc.Nodes[Nodes()[n]].Entries;
        std::vector<int32_t> stay;
        for (int i = 0; i < entries.Count(); ++i) {
            if (m < moving_.size() && moving_[m].node == n && moving_[m].index == i) {
                ++m;
                continue;
            }
            stay.push_back(entries[i].Frame);
        }
        stay_.push_back(std::move(stay));
    }
}

int32_t TKeyScale::Scaled(int32_t frame, double factor) const {
    const double f = std::round(about_ + (double(frame) - about_) * factor);
    return ClampFrame(int64_t(std::clamp(f, -4e9, 4e9)));
}

std::string TKeyScale::Refusal(double factor) const {
    if (!std::isfinite(factor)) return "The factor must be a number";
    std::vector<int32_t> frames;
    size_t m = 0;
    for (size_t n = 0; n < Nodes().size(); ++n) {
        frames = stay_[n];
        for (; m < moving_.size() && moving_[m].node == n; ++m) {
            const int32_t f = Scaled(moving_[m].frame, factor);
            if (f < 0 || f >= frames_)
                return "A key of " + names_[n] + " would go to frame " + std::to_string(f) +
                       ", outside the animation's frames 0 to " +
                       std::to_string(std::max(frames_ - 1, 0));
            frames.push_back(f);
        }
        // Two keys of a node on one frame: the game would show only the later.
        std::sort(frames.begin(), frames.end());
        const auto twice = std::adjacent_find(frames.begin(), frames.end());
        if (twice != frames.end())
            return "Two keys of " + names_[n] + " would be at frame " + std::to_string(*twice);
    }
    return {};
}

void TKeyScale::Apply(TKEYFile& doc, double factor) const {
    const std::string refusal = Refusal(factor);
    if (!refusal.empty()) throw Error(refusal);
    before_.Restore(doc);
    size_t m = 0;
    for (size_t n = 0; n < Nodes().size(); ++n) {
        const int node = Nodes()[n];
        TKEYEntries& entries = doc.Nodes[node].Entries;
        std::vector<std::shared_ptr<TKEYEntry>> items = entries.TakeItems();
        const size_t count = items.size();
        // What each entry needs: 1 it moves, 2 its successor changes (it was before a key
        // that moved).
        std::vector<char> need(count, 0);
        for (; m < moving_.size() && moving_[m].node == n; ++m) {
            const Moving& k = moving_[m];
            items[size_t(k.index)]->Frame = Scaled(k.frame, factor);
            need[size_t(k.index)] |= 1;
            need[size_t(k.index) - 1] |= 2;
        }
        // In frame order again (those on one frame keep theirs).
        std::vector<int> order(count);
        for (size_t i = 0; i < count; ++i)
            order[i] = int(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return items[size_t(a)]->Frame < items[size_t(b)]->Frame;
        });
        std::vector<std::shared_ptr<TKEYEntry>> sorted(count);
        std::vector<char> needs(count);
        for (size_t i = 0; i < count; ++i) {
            sorted[i] = std::move(items[size_t(order[i])]);
            needs[i] = need[size_t(order[i])];
        }
        entries.SetItems(std::move(sorted));
        // The rates of each key that moved, of the entry now before it, and of the entry that
        // was before it.
        for (size_t i = 0; i < count; ++i)
            if (needs[i] || (i + 1 < count && (needs[i + 1] & 1))) doc.ComputeRates(node, int(i));
        if (count > 1 && (needs[0] & 1)) doc.ComputeRates(node, int(count) - 1); // the loop
    }
}

std::vector<TKeyRef> TKeyScale::Keys(const TKEYFile& doc) const {
    // The entries that moved, found by their object in each node's order.
    std::vector<TKeyRef> keys;
    size_t m = 0;
    for (size_t n = 0; n < Nodes().size(); ++n) {
        std::unordered_set<const TKEYEntry*> moved;
        for (; m < moving_.size() && moving_[m].node == n; ++m)
            moved.insert(before_.Entry(n, moving_[m].index));
        const TKEYEntries& entries = doc.Nodes[Nodes()[n]].Entries;
        for (int i = 0; i < entries.Count(); ++i)
            if (moved.count(entries.Get(i).get())) keys.push_back({Nodes()[n], i});
    }
    return keys;
}

// ---------------------------------------------------------------------------------------------
// Copy and paste

TRestPoses RestPoses(const T3DO& model) {
    TRestPoses rest(size_t(model.HNodes.Count()));
    for (int j = 0; j < model.HNodes.Count(); ++j) {
        const T3DOHNode& h = model.HNodes[j];
        rest[size_t(j)] = {h.X, h.Y, h.Z, h.Pitch, h.Yaw, h.Roll};
    }
    return rest;
}

void CarryOver(TKEYEntry& e, const TKEYPose& from, const TKEYPose& to) {
    e.X = to.X + (e.X - from.X);
    e.Y = to.Y + (e.Y - from.Y);
    e.Z = to.Z + (e.Z - from.Z);
    auto angle = [](double value, double fromRest, double toRest) {
        const double a = NormalizeAngle(NormalizeAngle(toRest) + AngleDiff(fromRest, value));
        return a == 0 ? 0.0 : a; // no "-0" in the file
    };
    e.Pitch = angle(e.Pitch, from.Pitch, to.Pitch);
    e.Yaw = angle(e.Yaw, from.Yaw, to.Yaw);
    e.Roll = angle(e.Roll, from.Roll, to.Roll);
}

bool TKeyClipboard::OneNode() const {
    return std::all_of(Keys.begin(), Keys.end(),
                       [&](const Key& k) { return k.Joint == Keys.front().Joint; });
}

TKeyClipboard TKeyClipboard::Copy(const TKEYFile& doc, const std::vector<TKeyRef>& keys) {
    TKeyClipboard clip;
    const std::vector<TKeyRef> valid = ValidKeys(doc, keys);
    if (valid.empty()) return clip;
    int32_t first = INT32_MAX;
    for (const TKeyRef& k : valid)
        first = std::min(first, doc.Nodes[k.node].Entries[k.entry].Frame);
    for (const TKeyRef& k : valid) {
        const TKEYEntry& e = doc.Nodes[k.node].Entries[k.entry];
        clip.Keys.push_back({doc.Joint(k.node), ClampFrame(int64_t(e.Frame) - first), e});
    }
    return clip;
}

std::string PasteRefusal(const TKEYFile& doc, const TKeyClipboard& clip, int32_t frame) {
    for (const TKeyClipboard::Key& k : clip.Keys) {
        const int64_t f = int64_t(frame) + k.Offset;
        if (f < 0 || f >= doc.Frames)
            return "The keys would reach frame " + std::to_string(f) + ", outside " +
                   FrameRange(doc);
    }
    return {};
}

TPasteResult PasteKeys(TKEYFile& doc, const TKeyClipboard& clip, int32_t frame, int onto,
                       const TRestPoses* rest) {
    const std::string refusal = PasteRefusal(doc, clip, frame);
    if (!refusal.empty()) throw Error(refusal);
    TPasteResult result;
    const bool one = clip.OneNode() && onto >= 0 && onto < doc.Nodes.Count();
    // Each node's entries in frame order (as they are unless the file was damaged): the key at
    // a frame is then found by halving, not by a walk along the node for every key pasted.
    std::vector<char> sorted(size_t(doc.Nodes.Count()), 2); // 2: not looked at yet
    auto inOrder = [&](int node) {
        if (sorted[size_t(node)] == 2) {
            const auto& items = doc.Nodes[node].Entries.Items();
            sorted[size_t(node)] =
                std::is_sorted(items.begin(), items.end(),
                               [](const auto& a, const auto& b) { return a->Frame < b->Frame; });
        }
        return sorted[size_t(node)] != 0;
    };
    std::vector<std::pair<int, std::shared_ptr<TKEYEntry>>> pasted;
    for (const TKeyClipboard::Key& k : clip.Keys) {
        const int node = one ? onto : doc.NodeOfJoint(k.Joint);
        if (node < 0) {
            ++result.Skipped;
            continue;
        }
        TKEYEntries& entries = doc.Nodes[node].Entries;
        const int32_t f = frame + k.Offset;
        std::shared_ptr<TKEYEntry> target;
        int at = 0;
        if (inOrder(node)) {
            const auto& items = entries.Items();
            const auto after =
                std::upper_bound(items.begin(), items.end(), f,
                                 [](int32_t frame, const auto& e) { return frame < e->Frame; });
            at = int(after - items.begin());
            if (at > 0 && items[size_t(at) - 1]->Frame == f) target = items[size_t(at) - 1];
        } else {
            for (const auto& e : entries)
                if (e->Frame == f) target = e;
            while (at < entries.Count() && entries[at].Frame <= f)
                ++at;
        }
        if (!target) {
            target = std::make_shared<TKEYEntry>();
            target->Frame = f;
            entries.Insert(at, target);
        }
        TKEYEntry values = k.Values;
        // Onto another joint: the motion from the source's rest pose, from the target's.
        const int32_t to = doc.Joint(node);
        if (rest && to != k.Joint && k.Joint >= 0 && to >= 0 && size_t(k.Joint) < rest->size() &&
            size_t(to) < rest->size())
            CarryOver(values, (*rest)[size_t(k.Joint)], (*rest)[size_t(to)]);
        TakePose(*target, values);
        pasted.emplace_back(node, target);
    }
    // Where each pasted key is now, found by its object in one pass over each node.
    std::unordered_map<const TKEYEntry*, TKeyRef> place;
    for (const auto& [node, entry] : pasted)
        place.emplace(entry.get(), TKeyRef{node, -1});
    std::vector<char> seen(size_t(doc.Nodes.Count()), 0);
    for (const auto& [node, entry] : pasted) {
        if (seen[size_t(node)]++) continue;
        const TKEYEntries& entries = doc.Nodes[node].Entries;
        for (int i = 0; i < entries.Count(); ++i)
            if (auto it = place.find(entries.Get(i).get()); it != place.end()) it->second.entry = i;
    }
    for (const auto& [node, entry] : pasted)
        doc.UpdateEntry(node, place[entry.get()].entry);
    for (const auto& [entry, key] : place)
        result.Keys.push_back(key);
    result.Keys = ValidKeys(doc, std::move(result.Keys));
    return result;
}

int32_t SnapToMarker(const TKEYFile& doc, double frame) {
    double best = frame, distance = INFINITY;
    for (const auto& m : doc.Markers)
        if (std::abs(m->Frame - frame) < distance) {
            distance = std::abs(m->Frame - frame);
            best = m->Frame;
        }
    return ClampFrame(std::llround(std::clamp(best, -4e9, 4e9)));
}

} // namespace vorlin
