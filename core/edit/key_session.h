// What the editor is working on, apart from its windows: the model, the KEY document, the
// entry remembered for pasting, the selection, and every rule of loading, creating and
// editing entries. The main window calls these and then refreshes its controls; tests reach
// the rules without a window.
//
// The session is the only writer of the shared working state (SelectedNode, SelectedEntry,
// FloorHeight, ProjectDir).
#pragma once

#include <array>
#include <memory>
#include <string>

#include "edit/key_edit.h"
#include "edit/timeline.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"

namespace vorlin {

// The most entries a node may get from New KEY or the KEY summary's re-spacing.
constexpr int kMaxEntriesPerNode = 100000;

// What mouse editing changes: the axis buttons x, y, z and the move/rotate pair.
enum class TAxis { None, X, Y, Z };
enum class TDragKind { Move, Rotate };

class TKeySession {
public:
    std::unique_ptr<T3DO> Model;
    std::unique_ptr<TKEYFile> KeyFile;
    // The entry Copy and Cut remember: a reference, read when pasting; it outlives its node
    // and its document.
    std::shared_ptr<TKEYEntry> CopiedEntry;
    // The keys the timeline copied (Ctrl+C), for pasting at the playhead.
    TKeyClipboard KeyClipboard;

    // ---- loading ----

    // Reads a model. When reading fails the error reaches the caller and the current model
    // stays. Otherwise the selected node becomes 0 and ProjectDir and FloorHeight follow the
    // new model. Returns the view's zoom for it (10 times its radius plus 3).
    double LoadModel(const std::string& name);
    // Reads a KEY document; the current one stays when opening fails.
    void LoadKey(const std::string& name);
    // The document New KEY builds for the loaded model from the defaults: one node per
    // hierarchy node, entries DEFAULT_FRAMEGAP apart with the last on the last frame, each at
    // the node's rest pose. Rates are not derived yet. Null without a model.
    std::unique_ptr<TKEYFile> BuildNewKey() const;
    // Makes doc the document; the selected entry becomes 0.
    void SetKey(std::unique_ptr<TKEYFile> doc);

    // Poses the model at a frame (nothing without both a model and a document).
    void Pose(int frame);

    // ---- selection ----

    // The place in the document of the KEY node that drives the selected model node (its
    // NODE number is the tree row, as the game binds it); -1 when none does.
    int KeyNodeIndex() const;
    // That node; raises an error when no node drives the selected model node.
    TKEYNode& SelectedKeyNode() const;
    // Its selected entry; raises the node or the entry index error.
    TKEYEntry& SelectedKeyEntry() const;
    // Its entries; 0 when no node drives the selected model node.
    int EntryCount() const;
    void SelectNode(int row);
    void SelectEntry(int index);
    // Keys picked on the timeline besides the selected entry (Shift+click, a band); emptied
    // when another node or entry is selected.
    std::vector<TKeyRef> MarkedKeys;
    // The selected entry's frame; -1 when no entry is selected.
    int SelectedKeyFrame() const;
    // What a move or a delete of keys acts on: the marked keys, or else the selected entry.
    std::vector<TKeyRef> SelectedKeys() const;
    // After the entry list was refilled with count rows: a selection past the end moves to the
    // last row (-1 when there is none).
    void ClampSelection(int count);

    // ---- entry commands (each raises the index errors of the document) ----

    // Auto Copy after a list click: the channels the AUTOCOPY_ settings choose go from entry
    // source into the selected entry, and with AUTOCOPY_FWD into every later one. The "Roll"
    // option carries yaw and the "Yaw" option carries roll. Rates are derived again for every
    // entry that changed, and for the entry before each.
    void AutoCopy(int source);
    void CopyEntry();
    // Remembers the selected entry, then deletes it (unless it is the node's only entry).
    void CutEntry();
    // The remembered entry's position and orientation go into the selected entry; false when
    // nothing is remembered.
    bool PasteEntry();
    // Appends an entry to the selected node; when no node drives the selected model node, adds
    // one (AddKeyNode).
    void AddEntry(int frame);
    // A KEY node for the selected model node: its number, its name, one entry at frame at the
    // node's rest pose; JOINTS (and FRAMES) grow to hold it. The entry is selected.
    void AddKeyNode(int frame);
    void InsertEntry();
    // Removes the selected entry; false (nothing changed) when the node has one entry or none.
    bool DeleteEntry();
    // One step of mouse editing: dx pixels along the chosen axis; moves by MOVE_STEP units per
    // pixel, or rotates one degree per pixel (wrapped into 0 to 360). Returns the entry's frame.
    int DragEntry(TAxis axis, TDragKind kind, int dx);

    // ---- rules without state ----

    // The project folder of a model's path: its folder, or that folder's parent when it is
    // called 3do (ignoring case); empty for a model inside a container.
    static std::string ProjectDirOf(const std::string& modelPath);
    // The path a recent list keeps: paths with a folder part become absolute (for a container
    // path, its container part), so they can be opened again from anywhere. A bare resource
    // name stays as it is: it is searched for, not opened where it stands.
    static std::string AbsolutePath(const std::string& path);
    // Enters a path into a recent list: an equal path (exact comparison) moves to the top, a
    // new one enters at the top and the oldest drops out.
    static void AddRecent(std::array<std::string, kRecentCount>& list, const std::string& path);
};

} // namespace vorlin
