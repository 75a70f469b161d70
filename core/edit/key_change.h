// What one change did to a KEY document, kept compactly enough to undo and redo it: the
// header, the markers when they changed, the list of nodes when one came, and per node only the
// entries that changed (their values before and after) and, when entries were added or removed, the
// order of the node's entries. Entries keep their identity: undoing a deletion puts the same entry
// back, so an entry remembered for pasting stays the one in the node.
#pragma once

#include <memory>
#include <vector>

#include "edit/timeline.h"
#include "key/u_key.h"

namespace vorlin {

class TKeyChange {
public:
    // Called before the change: remembers the nodes it may touch, the markers and the header.
    void Begin(const TKEYFile& doc, const std::vector<int>& nodes);
    // Every node of the document, for changes to the whole of it.
    static std::vector<int> AllNodes(const TKEYFile& doc);
    // Called after it: keeps only what differs.
    void End(const TKEYFile& doc);
    void Undo(TKEYFile& doc) const;
    void Redo(TKEYFile& doc) const;
    // Nothing changed.
    bool Empty() const;
    // The keys the change made, moved or changed a position or angle of (not those whose rates
    // alone were derived again), where they are in the document now: after an undo or a redo
    // they are the keys picked, so that the next command acts on all of them again.
    std::vector<TKeyRef> ChangedKeys(const TKEYFile& doc) const;
    // The memory the change holds, roughly.
    size_t Bytes() const;
    // What it touched: the KEY nodes whose entries it changed, and whether it changed the
    // header, the markers or the list of nodes.
    std::vector<int> ChangedNodes() const;
    bool HeaderChanged() const { return headerBefore_ != headerAfter_; }
    bool MarkersChanged() const { return markersChanged_; }
    bool NodesChanged() const { return nodesChanged_; }

    // The selection the change was made with, and the one it left.
    int NodeBefore = 0, EntryBefore = 0, NodeAfter = 0, EntryAfter = 0;

    friend bool SameDocument(const TKEYFile& a, const TKEYFile& b);

private:
    using Entry = std::shared_ptr<TKEYEntry>;
    struct Value {
        Entry entry;
        TKEYEntry value;
    };
    struct NodeChange {
        int node;
        bool listChanged = false;                 // entries came or went
        std::vector<Entry> listBefore, listAfter; // then the node's entries, in order
        std::vector<Value> before, after;         // entries whose values differ
    };
    struct Snapshot {
        int node;
        std::vector<Entry> list;
        size_t values; // where its entries' values start in values_
    };
    static std::vector<TKEYMarker> MarkersOf(const TKEYFile& doc);
    static void SetMarkers(TKEYFile& doc, const std::vector<TKEYMarker>& markers);

    TKEYHeader headerBefore_{}, headerAfter_{};
    // The document's nodes, when one was added (kept only then).
    bool nodesChanged_ = false;
    std::vector<std::shared_ptr<TKEYNode>> nodesBefore_, nodesAfter_;
    bool markersChanged_ = false;
    std::vector<TKEYMarker> markersBefore_, markersAfter_;
    std::vector<NodeChange> nodes_;
    std::vector<Snapshot> pending_; // between Begin and End
    // The values of the entries of every node pending, in one block that the next change
    // takes over (fresh memory costs a page fault a page, which a large document feels).
    std::vector<TKEYEntry> values_;
};

// Whether two entries hold the same frame, flags, values and rates.
bool SameEntry(const TKEYEntry& a, const TKEYEntry& b);
// Whether two documents hold the same header, markers, nodes and entries (their names and
// paths aside).
bool SameDocument(const TKEYFile& a, const TKEYFile& b);

} // namespace vorlin
