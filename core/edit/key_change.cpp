#include "edit/key_change.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace vorlin {

bool SameEntry(const TKEYEntry& a, const TKEYEntry& b) {
    return a.Flags == b.Flags && a.Frame == b.Frame && a.X == b.X && a.Y == b.Y && a.Z == b.Z &&
           a.Pitch == b.Pitch && a.Yaw == b.Yaw && a.Roll == b.Roll && a.DX == b.DX &&
           a.DY == b.DY && a.DZ == b.DZ && a.DPitch == b.DPitch && a.DYaw == b.DYaw &&
           a.DRoll == b.DRoll;
}

bool SameDocument(const TKEYFile& a, const TKEYFile& b) {
    if (a.Header() != b.Header() || a.Markers.Count() != b.Markers.Count() ||
        a.Nodes.Count() != b.Nodes.Count())
        return false;
    for (int m = 0; m < a.Markers.Count(); ++m)
        if (a.Markers[m].Frame != b.Markers[m].Frame ||
            a.Markers[m].MarkerType != b.Markers[m].MarkerType)
            return false;
    for (int n = 0; n < a.Nodes.Count(); ++n) {
        const TKEYNode &x = a.Nodes[n], &y = b.Nodes[n];
        if (x.MeshName != y.MeshName || a.Joint(n) != b.Joint(n) ||
            x.Entries.Count() != y.Entries.Count())
            return false;
        for (int i = 0; i < x.Entries.Count(); ++i)
            if (!SameEntry(x.Entries[i], y.Entries[i])) return false;
    }
    return true;
}

std::vector<TKEYMarker> TKeyChange::MarkersOf(const TKEYFile& doc) {
    std::vector<TKEYMarker> out;
    for (const auto& m : doc.Markers)
        out.push_back(*m);
    return out;
}

void TKeyChange::SetMarkers(TKEYFile& doc, const std::vector<TKEYMarker>& markers) {
    doc.Markers.Clear();
    for (const TKEYMarker& m : markers)
        doc.Markers.Add(std::make_shared<TKEYMarker>(m));
}

namespace {

// The block of values a change keeps between its Begin and End, handed from change to change.
std::mutex spareMutex;
std::vector<TKEYEntry> spare;

} // namespace

void TKeyChange::Begin(const TKEYFile& doc, const std::vector<int>& nodes) {
    headerBefore_ = doc.Header();
    markersBefore_ = MarkersOf(doc);
    nodesBefore_ = doc.Nodes.Items();
    pending_.clear();
    {
        const std::lock_guard<std::mutex> hold(spareMutex);
        values_.swap(spare);
    }
    values_.clear();
    size_t count = 0;
    for (int n : nodes)
        if (n >= 0 && n < doc.Nodes.Count()) count += size_t(doc.Nodes[n].Entries.Count());
    values_.reserve(count);
    for (int n : nodes) {
        if (n < 0 || n >= doc.Nodes.Count()) continue;
        Snapshot s{n, doc.Nodes[n].Entries.Items(), values_.size()};
        for (const Entry& e : s.list)
            values_.push_back(*e);
        pending_.push_back(std::move(s));
    }
}

std::vector<int> TKeyChange::AllNodes(const TKEYFile& doc) {
    std::vector<int> all(size_t(doc.Nodes.Count()));
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = int(i);
    return all;
}

void TKeyChange::End(const TKEYFile& doc) {
    headerAfter_ = doc.Header();
    nodesChanged_ = doc.Nodes.Items() != nodesBefore_;
    if (nodesChanged_)
        nodesAfter_ = doc.Nodes.Items();
    else
        nodesBefore_ = {}; // released: most changes keep no node list
    std::vector<TKEYMarker> markers = MarkersOf(doc);
    markersChanged_ = markers.size() != markersBefore_.size();
    for (size_t i = 0; !markersChanged_ && i < markers.size(); ++i)
        markersChanged_ = markers[i].Frame != markersBefore_[i].Frame ||
                          markers[i].MarkerType != markersBefore_[i].MarkerType;
    if (markersChanged_)
        markersAfter_ = std::move(markers);
    else
        markersBefore_.clear();

    std::vector<std::pair<const TKEYEntry*, size_t>> was;
    std::vector<char> kept;
    for (Snapshot& s : pending_) {
        if (s.node >= doc.Nodes.Count()) continue;
        const TKEYEntry* values = values_.data() + s.values;
        const std::vector<Entry>& now = doc.Nodes[s.node].Entries.Items();
        NodeChange c{s.node, false, {}, {}, {}, {}};
        if (now == s.list) {
            // The same entries in the same order (most changes): compare them in place, once to
            // count (the lists are made at their size: growing them copies and faults pages in
            // again, which a change of every key of a large document feels), once to keep.
            size_t differ = 0;
            for (size_t i = 0; i < now.size(); ++i)
                differ += !SameEntry(values[i], *now[i]);
            if (differ == 0) continue;
            c.before.reserve(differ);
            c.after.reserve(differ);
            for (size_t i = 0; i < now.size(); ++i)
                if (!SameEntry(values[i], *now[i])) {
                    c.before.push_back({now[i], values[i]});
                    c.after.push_back({now[i], *now[i]});
                }
            if (!c.before.empty()) nodes_.push_back(std::move(c));
            continue;
        }
        // Entries came, went or changed places: each one now found among those before by its
        // object (a sorted list of them: no memory an entry).
        was.clear();
        for (size_t i = 0; i < s.list.size(); ++i)
            was.emplace_back(s.list[i].get(), i);
        std::sort(was.begin(), was.end());
        kept.assign(s.list.size(), 0);
        c.before.reserve(s.list.size());
        c.after.reserve(now.size());
        for (const Entry& e : now) {
            const auto it = std::lower_bound(was.begin(), was.end(),
                                             std::pair<const TKEYEntry*, size_t>{e.get(), 0});
            if (it == was.end() || it->first != e.get()) {
                c.after.push_back({e, *e}); // a new entry
                continue;
            }
            kept[it->second] = 1;
            const TKEYEntry& before = values[it->second];
            if (!SameEntry(before, *e)) {
                c.before.push_back({e, before});
                c.after.push_back({e, *e});
            }
        }
        for (size_t i = 0; i < s.list.size(); ++i)
            if (!kept[i]) c.before.push_back({s.list[i], values[i]});
        // The order of the node's entries is kept both ways.
        c.listChanged = true;
        c.listBefore = std::move(s.list);
        c.listAfter = now;
        nodes_.push_back(std::move(c));
    }
    pending_.clear();
    const std::lock_guard<std::mutex> hold(spareMutex);
    if (values_.capacity() > spare.capacity()) values_.swap(spare);
    values_ = {};
}

void TKeyChange::Undo(TKEYFile& doc) const {
    doc.SetHeader(headerBefore_);
    if (markersChanged_) SetMarkers(doc, markersBefore_);
    for (const NodeChange& c : nodes_) {
        TKEYEntries& entries = doc.Nodes[c.node].Entries;
        if (c.listChanged) entries.SetItems(c.listBefore);
        for (const Value& v : c.before)
            *v.entry = v.value;
    }
    if (nodesChanged_) doc.Nodes.SetItems(nodesBefore_);
}

void TKeyChange::Redo(TKEYFile& doc) const {
    doc.SetHeader(headerAfter_);
    if (nodesChanged_) doc.Nodes.SetItems(nodesAfter_);
    if (markersChanged_) SetMarkers(doc, markersAfter_);
    for (const NodeChange& c : nodes_) {
        TKEYEntries& entries = doc.Nodes[c.node].Entries;
        if (c.listChanged) entries.SetItems(c.listAfter);
        for (const Value& v : c.after)
            *v.entry = v.value;
    }
}

std::vector<TKeyRef> TKeyChange::ChangedKeys(const TKEYFile& doc) const {
    std::vector<TKeyRef> keys;
    auto moved = [](const TKEYEntry& a, const TKEYEntry& b) {
        return a.Frame != b.Frame || a.X != b.X || a.Y != b.Y || a.Z != b.Z || a.Pitch != b.Pitch ||
               a.Yaw != b.Yaw || a.Roll != b.Roll;
    };
    for (const NodeChange& c : nodes_) {
        if (c.node >= doc.Nodes.Count()) continue;
        std::unordered_set<const TKEYEntry*> changed;
        std::unordered_map<const TKEYEntry*, const TKEYEntry*> before;
        for (const Value& v : c.before)
            before.emplace(v.entry.get(), &v.value);
        for (const Value& v : c.after) {
            auto it = before.find(v.entry.get());
            if (it == before.end() || moved(*it->second, v.value)) changed.insert(v.entry.get());
            if (it != before.end()) before.erase(it);
        }
        for (const auto& [entry, value] : before) // entries that went (an undo brings them back)
            if (c.listChanged) changed.insert(entry);
        const TKEYEntries& entries = doc.Nodes[c.node].Entries;
        for (int i = 0; i < entries.Count(); ++i)
            if (changed.count(entries.Get(i).get())) keys.push_back({c.node, i});
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::vector<int> TKeyChange::ChangedNodes() const {
    std::vector<int> nodes;
    for (const NodeChange& c : nodes_)
        nodes.push_back(c.node);
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    return nodes;
}

bool TKeyChange::Empty() const {
    return nodes_.empty() && !markersChanged_ && !nodesChanged_ && headerBefore_ == headerAfter_;
}

size_t TKeyChange::Bytes() const {
    size_t bytes = sizeof *this;
    bytes += (markersBefore_.capacity() + markersAfter_.capacity()) * sizeof(TKEYMarker);
    bytes += (nodesBefore_.capacity() + nodesAfter_.capacity()) * sizeof(nodesBefore_[0]);
    for (const NodeChange& c : nodes_) {
        bytes += sizeof c + (c.listBefore.capacity() + c.listAfter.capacity()) * sizeof(Entry);
        bytes += (c.before.capacity() + c.after.capacity()) * sizeof(Value);
        // An entry that only this change keeps alive (a deleted one) counts too.
        for (const Value& v : c.before)
            if (v.entry.use_count() <= 2) bytes += sizeof(TKEYEntry);
    }
    return bytes;
}

} // namespace vorlin
