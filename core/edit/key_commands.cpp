#include "edit/key_commands.h"

#include <algorithm>

#include "edit/breakdown.h"
#include "edit/key_change.h"
#include "edit/retime.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

std::string Count(size_t n, const char* one, const char* many) {
    return n == 1 ? std::string("1 ") + one : std::to_string(n) + " " + many;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

// The selected node's KEY node as a list of one (none when no KEY node drives it).
std::vector<int> SelectedNodeList(const TKeyDocument& doc) {
    const int k = doc.KeyNodeIndex();
    return k >= 0 ? std::vector<int>{k} : std::vector<int>{};
}

TCommandResult Refused(std::string why) {
    return {false, std::move(why)};
}

} // namespace

std::vector<int> NodesOf(const std::vector<TKeyRef>& keys) {
    std::vector<int> nodes;
    for (const TKeyRef& k : keys)
        nodes.push_back(k.node);
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    return nodes;
}

// ---------------------------------------------------------------------------------------------
// Entries

void CopyEntryCommand(TKeyDocument& doc) {
    doc.SetPlaying(false);
    doc.CopyEntry();
}

TCommandResult DeleteEntryCommand(TKeyDocument& doc) {
    if (!doc.KeyFile) return {};
    if (doc.EntryCount() <= 1) // say so rather than do nothing
        return Refused("A node keeps at least one entry: its last one is not deleted");
    doc.SetPlaying(false);
    bool done = false;
    doc.Run("Delete Entry", SelectedNodeList(doc), [&] { done = doc.DeleteEntry(); });
    // The list lost a row: the entry now selected is shown at its frame.
    if (done && doc.SelectedKeyFrame() >= 0) doc.SetFrame(doc.SelectedKeyFrame());
    return {done, {}};
}

TCommandResult CutEntryCommand(TKeyDocument& doc) {
    if (!doc.KeyFile) return {};
    doc.SetPlaying(false);
    TCommandResult result;
    doc.Run("Cut Entry", SelectedNodeList(doc), [&] {
        doc.CopyEntry();
        result = DeleteEntryCommand(doc);
    });
    return result;
}

TCommandResult PasteEntryCommand(TKeyDocument& doc) {
    if (!doc.KeyFile || !doc.CopiedEntry) return {};
    doc.SetPlaying(false);
    bool done = false;
    doc.Run("Paste Entry", SelectedNodeList(doc), [&] {
        done = doc.PasteEntry();
        doc.SetFrame(doc.Frame()); // the frame on show, not the entry's
    });
    return {done, {}};
}

TCommandResult AddEntryCommand(TKeyDocument& doc) {
    if (!doc.KeyFile) return {};
    doc.SetPlaying(false);
    const bool newNode = doc.KeyNodeIndex() < 0;
    const int frame = doc.Frame();
    const bool done = doc.Run(newNode ? "Add Node" : "Add Entry", SelectedNodeList(doc), [&] {
        doc.AddEntry(frame);
        // The model node's first entry is at the frame on show.
        if (newNode) doc.SetFrame(frame);
    });
    return {done, {}};
}

TCommandResult InsertEntryCommand(TKeyDocument& doc) {
    if (!doc.KeyFile) return {};
    doc.SetPlaying(false);
    const bool done = doc.Run("Insert Entry", SelectedNodeList(doc), [&] { doc.InsertEntry(); });
    // The list gained a row: the selected entry is shown at its frame.
    if (done && doc.SelectedKeyFrame() >= 0) doc.SetFrame(doc.SelectedKeyFrame());
    return {done, {}};
}

TCommandResult EditEntryCommand(TKeyDocument& doc, const TKEYEntry& values) {
    if (!doc.KeyFile) return {};
    const bool done = doc.Run("Edit Entry", SelectedNodeList(doc), [&] {
        doc.SelectedKeyEntry() = values;
        doc.SetFrame(doc.Frame()); // the typed values show at once
    });
    return {done, {}};
}

TCommandResult ClickEntryCommand(TKeyDocument& doc, int entry) {
    if (!doc.KeyFile || entry < 0) return {};
    const int source = doc.SelectedEntry();
    doc.SetPlaying(false);
    if (!doc.Select(doc.SelectedNode(), entry)) return {};
    bool done = false;
    if (doc.AutoCopying)
        done = doc.Run("Auto Copy", SelectedNodeList(doc), [&] { doc.AutoCopy(source); });
    if (doc.SelectedEntry() >= 0) doc.SetFrame(doc.SelectedKeyEntry().Frame);
    return {done, {}};
}

// ---------------------------------------------------------------------------------------------
// The whole document

TCommandResult SetMarkersCommand(TKeyDocument& doc, const std::vector<TKEYMarker>& markers) {
    if (!doc.KeyFile) return {};
    return {doc.Run("Edit Markers", {},
                    [&] {
                        TKEYMarkers& list = doc.KeyFile->Markers;
                        list.Clear();
                        for (const TKEYMarker& m : markers)
                            list.Add(std::make_shared<TKEYMarker>(m));
                    }),
            {}};
}

TCommandResult SummaryCommand(TKeyDocument& doc, const TKEYFile& edited) {
    if (!doc.KeyFile || SameDocument(edited, *doc.KeyFile)) return {}; // OK changed nothing
    doc.SetPlaying(false);
    bool taken = false;
    doc.Run("KEY Summary", TKeyChange::AllNodes(*doc.KeyFile), [&] {
        taken = TakeRetimed(*doc.KeyFile, edited);
        if (!taken) return;
        doc.KeyFile->RecalcAll();
        // Entries came or went, and the frames moved: start from the first, as after a load.
        doc.Select(doc.SelectedNode(), 0);
        doc.SetFrame(0);
    });
    if (!taken) { // cannot happen: the summary keeps the nodes; the document is replaced then
        std::unique_ptr<TKEYFile> copy = edited.Clone();
        copy->RecalcAll();
        doc.SetKey(std::move(copy), TKeyDocument::TOrigin::New);
    }
    return {true, {}};
}

TCommandResult RecalculateRatesCommand(TKeyDocument& doc) {
    if (!doc.KeyFile) return {};
    doc.SetPlaying(false);
    const bool done = doc.Run("Recalculate Rates", TKeyChange::AllNodes(*doc.KeyFile), [&] {
        doc.KeyFile->RecalcAll();
        doc.SetFrame(doc.Frame());
    });
    return {done, {}};
}

// ---------------------------------------------------------------------------------------------
// Keys

TCommandResult InsertKeyCommand(TKeyDocument& doc, bool allNodes) {
    if (!doc.CanEdit()) return {};
    const TKEYFile& key = *doc.KeyFile;
    const int frame = doc.Frame();
    // On the selected node and the nodes of the picked keys; on every node from the summary.
    std::vector<int> nodes;
    if (allNodes) {
        for (int n = 0; n < key.Nodes.Count(); ++n)
            if (!key.Nodes[n].Entries.Empty()) nodes.push_back(n);
    } else {
        nodes = NodesOf(doc.SelectedKeys());
        const int selected = doc.KeyNodeIndex();
        if (selected >= 0 && std::find(nodes.begin(), nodes.end(), selected) == nodes.end())
            nodes.push_back(selected);
    }
    const bool newNode = !allNodes && doc.KeyNodeIndex() < 0 && doc.Model;
    std::vector<TKeyRef> keys;
    doc.Run(newNode ? "Add Node" : "Insert Key", nodes, [&] {
        // A model node no KEY node drives gets one, its first key here at its rest pose.
        if (newNode) {
            doc.AddKeyNode(frame);
            nodes.push_back(doc.KeyNodeIndex());
        }
        for (int node : nodes) {
            if (doc.KeyFile->Nodes[node].Entries.Empty()) continue;
            keys.push_back({node, InsertKey(*doc.KeyFile, node, frame)});
        }
        // The new keys are the ones picked; the selected node's is its selected entry.
        const int selected = doc.KeyNodeIndex();
        for (const TKeyRef& k : keys)
            if (k.node == selected) doc.Select(doc.SelectedNode(), k.entry);
        doc.SetPickedKeys(keys);
        doc.SetFrame(frame);
    });
    return {!keys.empty(), keys.size() == 1 ? "A key at frame " + std::to_string(frame)
                                            : std::to_string(keys.size()) + " keys at frame " +
                                                  std::to_string(frame)};
}

std::string DragStepName(TDragKind kind) {
    return kind == TDragKind::Move ? "Move Entry" : "Rotate Entry";
}

void CheckDragEntry(const TKeyDocument& doc, bool autoKey) {
    const int node = doc.SelectedNode();
    if (autoKey && doc.KeyFile && doc.KeyNodeIndex() < 0 && doc.Model && node >= 0 &&
        node < doc.Model->HNodes.Count())
        return;
    (void)doc.SelectedKeyEntry();
}

TCommandResult AutoKeyEntry(TKeyDocument& doc) {
    if (!doc.Editing()) return {};
    const int frame = doc.Frame();
    const std::string made = "Auto Key: a key at frame " + std::to_string(frame);
    int node = doc.KeyNodeIndex();
    if (node < 0) {
        // The game shows a joint no KEY node drives at its rest pose: its first key holds it.
        doc.AddKeyNode(frame);
        node = doc.KeyNodeIndex();
        doc.SelectInDrag(0);
        doc.SetPickedKeys({{node, 0}});
        doc.Changed(chKeys | chHeader);
        return {true, made};
    }
    TKEYFile& key = *doc.KeyFile;
    if (key.Nodes[node].Entries.Empty()) (void)doc.SelectedKeyEntry(); // its index error
    const int at = key.EntryForFrame(node, frame);
    if (key.Nodes[node].Entries[at].Frame == frame) {
        if (at != doc.SelectedEntry()) doc.SelectInDrag(at);
        return {};
    }
    const int inserted = InsertKey(key, node, frame);
    doc.SelectInDrag(inserted);
    doc.SetPickedKeys({{node, inserted}});
    doc.Changed(chKeys, {node});
    return {true, made};
}

TCommandResult DeleteKeysCommand(TKeyDocument& doc) {
    if (!doc.CanEdit()) return {};
    const std::vector<TKeyRef> keys = doc.SelectedKeys();
    if (keys.empty()) return {};
    int deleted = 0;
    doc.Run("Delete Keys", NodesOf(keys), [&] {
        deleted = DeleteKeys(*doc.KeyFile, keys);
        if (deleted == 0) return;
        doc.SetPickedKeys({});
        // The selected entry may have gone: the list's last one then.
        doc.Select(doc.SelectedNode(), doc.SelectedEntry());
        doc.SetFrame(doc.Frame());
    });
    const auto firsts =
        std::count_if(keys.begin(), keys.end(), [](const TKeyRef& k) { return k.entry == 0; });
    TCommandResult result{deleted > 0, {}};
    if (firsts > 0)
        result.Status = "A node keeps its first entry, which poses it up to its next key: " +
                        (firsts == 1 ? std::string("1 first entry was")
                                     : std::to_string(firsts) + " first entries were") +
                        " not deleted";
    return result;
}

TCommandResult NudgeKeysCommand(TKeyDocument& doc, int delta) {
    if (!doc.CanEdit()) return {};
    const TKeyMove move(*doc.KeyFile, doc.SelectedKeys());
    if (move.Clamp(delta) == 0)
        return Refused("The keys cannot move: a first entry stays at its frame, and a key does "
                       "not pass another key of its node or leave the animation");
    doc.Run("Move Keys", move.Nodes(), [&] {
        move.Apply(*doc.KeyFile, delta);
        // The frame follows the selected entry.
        if (const int frame = doc.SelectedKeyFrame(); frame >= 0) doc.SetFrame(frame);
    });
    return {true, {}};
}

TCommandResult CopyKeysCommand(TKeyDocument& doc) {
    if (!doc.KeyFile) return {};
    doc.KeyClipboard = TKeyClipboard::Copy(*doc.KeyFile, doc.SelectedKeys());
    return {false, Count(doc.KeyClipboard.Keys.size(), "key copied", "keys copied")};
}

TCommandResult PasteKeysCommand(TKeyDocument& doc) {
    if (!doc.CanEdit() || doc.KeyClipboard.Empty()) return {};
    const TKEYFile& key = *doc.KeyFile;
    const int frame = doc.Frame();
    if (std::string refusal = PasteRefusal(key, doc.KeyClipboard, frame); !refusal.empty())
        return Refused(std::move(refusal));
    // Keys of one node go onto the selected node; of several, onto theirs by NODE number.
    const int onto = doc.KeyClipboard.OneNode() ? doc.KeyNodeIndex() : -1;
    std::vector<int> nodes;
    if (onto >= 0)
        nodes.push_back(onto);
    else
        for (const TKeyClipboard::Key& k : doc.KeyClipboard.Keys)
            if (const int n = key.NodeOfJoint(k.Joint); n >= 0) nodes.push_back(n);
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    // Onto another node, the keys carry their motion from rest pose to rest pose.
    const TRestPoses rest = doc.Model ? RestPoses(*doc.Model) : TRestPoses();
    TPasteResult result;
    doc.Run("Paste Keys", nodes, [&] {
        result = PasteKeys(*doc.KeyFile, doc.KeyClipboard, frame, onto, &rest);
        doc.SetPickedKeys(result.Keys);
        doc.SetFrame(frame);
    });
    if (result.Skipped > 0)
        return {!result.Keys.empty(), std::to_string(result.Skipped) +
                                          " keys were not pasted: no node of their NODE number "
                                          "is in this KEY"};
    return {!result.Keys.empty(),
            (result.Keys.size() == 1 ? std::string("1 key pasted")
                                     : std::to_string(result.Keys.size()) + " keys pasted") +
                " at frame " + std::to_string(frame)};
}

TCommandResult ScaleKeysCommand(TKeyDocument& doc, double factor) {
    if (!doc.CanEdit()) return {};
    const TKeyScale scale(*doc.KeyFile, doc.SelectedKeys(), doc.Frame());
    if (scale.Empty())
        return Refused("Pick the keys to scale (a node's first entry stays where it is)");
    if (std::string refusal = scale.Refusal(factor); !refusal.empty())
        return Refused(std::move(refusal));
    doc.Run("Scale Keys", scale.Nodes(), [&] {
        scale.Apply(*doc.KeyFile, factor);
        doc.SetPickedKeys(scale.Keys(*doc.KeyFile));
        doc.SetFrame(doc.Frame());
    });
    return {true, {}};
}

// ---------------------------------------------------------------------------------------------
// The animator's tools

TCommandResult MirrorCommand(TKeyDocument& doc, const TMirrorPairs& pairs) {
    if (!doc.CanEdit()) return {};
    const std::vector<std::string> names = JointNames(*doc.KeyFile, doc.Model.get());
    std::vector<std::string> alone;
    doc.Run("Mirror Animation", TKeyChange::AllNodes(*doc.KeyFile), [&] {
        alone = MirrorKey(*doc.KeyFile, pairs, names);
        doc.SetFrame(doc.Frame());
    });
    if (doc.Model)
        for (const std::string& p : AsymmetricPairs(*doc.Model, pairs))
            LogMessage(mtWarning, "Mirror Animation: the pair " + p +
                                      " is not placed as mirror images in the model, so its "
                                      "motion is not mirrored exactly");
    return {true, alone.empty() ? "Mirrored"
                                : "Mirrored; no partner (mirrored onto itself): " + Joined(alone)};
}

TCommandResult PasteMirroredCommand(TKeyDocument& doc) {
    if (!doc.CanEdit()) return {};
    const TKEYFile& key = *doc.KeyFile;
    // The node the copied entry came from: the one that still holds it.
    int from = -1;
    for (int k = 0; doc.CopiedEntry && k < key.Nodes.Count() && from < 0; ++k)
        for (const auto& e : key.Nodes[k].Entries)
            if (e == doc.CopiedEntry) from = key.Joint(k);
    if (from < 0) return Refused("Paste Mirrored: copy an entry first (Edit > Copy Entry)");
    const std::vector<std::string> names = JointNames(key, doc.Model.get());
    const TMirrorPairs pairs = FindMirrorPairs(names);
    const int partner = size_t(from) < pairs.Partner.size() ? pairs.Partner[size_t(from)] : from;
    const int node = key.NodeOfJoint(partner);
    if (node < 0) return Refused("Paste Mirrored: no KEY node drives the partner node");
    const TKEYEntry copied = *doc.CopiedEntry;
    const int frame = doc.Frame();
    // Onto its partner, the motion from rest pose to rest pose, mirrored.
    const TRestPoses rest = doc.Model ? RestPoses(*doc.Model) : TRestPoses();
    TKeyRef at{-1, -1};
    doc.Run("Paste Mirrored", {node}, [&] {
        at = PasteMirrored(*doc.KeyFile, copied, from, pairs, frame, &rest);
        if (at.node < 0) return;
        doc.Select(partner, at.entry);
        doc.SetFrame(frame);
    });
    return {at.node >= 0, {}};
}

TCommandResult MatchLoopCommand(TKeyDocument& doc) {
    if (!doc.CanEdit()) return {};
    std::vector<TKeyRef> set;
    doc.Run("Match Loop", TKeyChange::AllNodes(*doc.KeyFile), [&] {
        set = MatchLoop(*doc.KeyFile);
        doc.SetFrame(doc.Frame());
    });
    if (set.empty()) return {false, "Match Loop: every node's end meets frame 0 already"};
    return {true, set.size() == 1 ? "Match Loop: the last key of 1 node runs on to frame 0"
                                  : "Match Loop: the last keys of " + std::to_string(set.size()) +
                                        " nodes run on to frame 0"};
}

TCommandResult TweenCommand(TKeyDocument& doc, double blend) {
    if (!doc.CanEdit()) return {};
    const TTween tween(*doc.KeyFile, doc.SelectedKeys());
    if (tween.Keys().empty())
        return Refused("Tween: pick a key that has a key before and after it on its node");
    doc.Run("Tween", tween.Nodes(), [&] {
        tween.Apply(*doc.KeyFile, blend);
        doc.SetFrame(doc.Frame());
    });
    return {true, {}};
}

} // namespace vorlin
