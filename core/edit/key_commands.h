// The editor's commands over the document, each one named step to undo (the name is what the
// Edit menu shows: "Undo Insert Key"). They work on the selection and the picks the document
// holds and leave the selection and picks a user expects after them; what they did, or why they
// did nothing, comes back in words for the status bar. The panels and menus only call them.
#pragma once

#include <string>
#include <vector>

#include "edit/key_document.h"
#include "edit/mirror.h"

namespace vorlin {

// What a command did: whether it changed the document, and the word for the status bar (empty
// when there is nothing to say).
struct TCommandResult {
    bool Done = false;
    std::string Status;
};

// ---- entries of the selected node ----

// Remembers the selected entry for Paste Entry (no step: nothing changes).
void CopyEntryCommand(TKeyDocument& doc);
// "Cut Entry": remembers the selected entry and deletes it; a node keeps its only entry.
TCommandResult CutEntryCommand(TKeyDocument& doc);
// "Paste Entry": the remembered entry's position and orientation into the selected entry.
TCommandResult PasteEntryCommand(TKeyDocument& doc);
// "Add Entry" (a copy of the node's last entry, Entry Frame Gap later), or "Add Node" for a
// model node no KEY node drives (its first entry at the frame on show, at its rest pose).
TCommandResult AddEntryCommand(TKeyDocument& doc);
// "Insert Entry": a copy of the selected entry in the slot after it.
TCommandResult InsertEntryCommand(TKeyDocument& doc);
// "Delete Entry": a node keeps at least one entry.
TCommandResult DeleteEntryCommand(TKeyDocument& doc);
// "Edit Entry": the selected entry takes the values as typed (rates typed stay as typed).
TCommandResult EditEntryCommand(TKeyDocument& doc, const TKEYEntry& values);
// A click on an entry (in the list, on the timeline or the curves): it is selected and its
// frame shown; with the document's Auto Copy on, the channels the options choose come from the
// entry selected before ("Auto Copy").
TCommandResult ClickEntryCommand(TKeyDocument& doc, int entry);

// ---- the whole document ----

// "Edit Markers": the markers replaced by these.
TCommandResult SetMarkersCommand(TKeyDocument& doc, const std::vector<TKEYMarker>& markers);
// "KEY Summary": the document takes the retimed copy the summary made (header, markers, the
// entries' frames), every rate derived again. Nothing when the copy is the same.
TCommandResult SummaryCommand(TKeyDocument& doc, const TKEYFile& edited);
// "Recalculate Rates": every stale rate fixed at once.
TCommandResult RecalculateRatesCommand(TKeyDocument& doc);

// ---- keys on the timeline and the curves ----

// "Insert Key": a key at the frame on show on the selected node and the nodes of the picked
// keys (on every node with allNodes, the summary row), holding the pose the game shows there;
// "Add Node" when the selected model node has no KEY node. The new keys are picked.
TCommandResult InsertKeyCommand(TKeyDocument& doc, bool allNodes);
// "Delete Keys": the picked keys (or the selected entry); first entries stay, and it says so.
TCommandResult DeleteKeysCommand(TKeyDocument& doc);
// "Move Keys": the picked keys (or the selected entry) delta frames, as far as the rules let
// them all go; the frame follows the selected entry.
TCommandResult NudgeKeysCommand(TKeyDocument& doc, int delta);
// Copies the picked keys (or the selected entry) for PasteKeysCommand (no step).
TCommandResult CopyKeysCommand(TKeyDocument& doc);
// "Paste Keys": the copied keys at the frame on show (onto the selected node when they came
// from one node, carried from rest pose to rest pose; else onto their own NODE numbers).
TCommandResult PasteKeysCommand(TKeyDocument& doc);
// "Scale Keys": the picked keys' frames scaled by factor about the frame on show.
TCommandResult ScaleKeysCommand(TKeyDocument& doc, double factor);

// ---- a drag in the view ----

// The step a drag in the view makes: "Move Entry" or "Rotate Entry".
std::string DragStepName(TDragKind kind);
// Raises, as a drag's press reports it (once, and the drag is refused), when the drag has no
// entry to edit. With Auto Key a model node that no KEY node drives may be dragged: the drag
// gives it one.
void CheckDragEntry(const TKeyDocument& doc, bool autoKey);
// Auto Key, as a drag in the view begins, inside its open step (so that undo takes the key and
// the edit back together): the drag edits the selected node's key at the frame on show. When
// the node has none there, one is put there as Insert Key puts it (the pose the game shows,
// the motion through the other keys unchanged), or, for a model node no KEY node drives, a KEY
// node of its own with its first key there at the node's rest pose; the new key is the one
// picked. The key becomes the selected entry: the drag edits it where it is and the frame
// stays. Done when a key was made; nothing changes outside such a step.
TCommandResult AutoKeyEntry(TKeyDocument& doc);

// ---- the animator's tools ----

// "Mirror Animation" across X = 0 with these pairs (the joints' names are the document's and
// the model's); the nodes left without a partner are named.
TCommandResult MirrorCommand(TKeyDocument& doc, const TMirrorPairs& pairs);
// "Paste Mirrored": the copied entry, mirrored, into its partner node's key at the frame on
// show; the partner and that key are selected.
TCommandResult PasteMirroredCommand(TKeyDocument& doc);
// "Match Loop": the last keys of the nodes whose end misses frame 0 run on to it.
TCommandResult MatchLoopCommand(TKeyDocument& doc);
// "Tween": the picked keys (or the selected entry) set to blend (0: the key before, 1: the
// key after).
TCommandResult TweenCommand(TKeyDocument& doc, double blend);

// The KEY nodes the keys belong to, each once, in order.
std::vector<int> NodesOf(const std::vector<TKeyRef>& keys);

} // namespace vorlin
