// The editing document: what the editor works on (the model and the KEY), what the user has
// chosen in it (the selected node and entry, the picked keys and curve points), the frame on
// show and the mode, the file's name, stamp and saved state, and the history of changes as named
// steps. Every change goes through it and it tells its observers what changed, so that the
// panels, the view and the window bring themselves up to date from it alone. Qt-free: the
// commands over it (key_commands.h) are tested on the document without a window.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "edit/curves.h"
#include "edit/key_edit.h"
#include "edit/key_history.h"
#include "edit/timeline.h"
#include "key/u_key.h"
#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/file_stamp.h"

namespace vorlin {

// The most entries a node may get from New KEY or the KEY summary's re-spacing.
constexpr int kMaxEntriesPerNode = 100000;

// What mouse editing changes: the axis buttons x, y, z and the move/rotate pair.
enum class TAxis { None, X, Y, Z };
enum class TDragKind { Move, Rotate };

// What a change touched. Observers look at the kinds they show.
enum TChangeKind : unsigned {
    chKeys = 1u << 0,      // entries of some KEY nodes came, went, moved or changed (Nodes)
    chHeader = 1u << 1,    // FRAMES, FPS, flags, type, JOINTS
    chMarkers = 1u << 2,   // the markers
    chSelection = 1u << 3, // the selected node or entry
    chPicks = 1u << 4,     // the picked keys or curve points
    chFrame = 1u << 5,     // the frame on show
    chMode = 1u << 6,      // edit or play
    chModel = 1u << 7,     // another model
    chDocument = 1u << 8,  // another KEY document (or none)
    chHistory = 1u << 9,   // the steps to undo and redo, and whether the document is saved
    chFile = 1u << 10,     // the document's file: its name, its stamp
    chRange = 1u << 11,    // the preview range
};

struct TDocumentChange {
    unsigned What = 0;
    std::vector<int> Nodes; // the KEY nodes whose entries changed (with chKeys); empty: any
    bool Has(unsigned kinds) const { return (What & kinds) != 0; }
};

class TKeyDocument {
public:
    TKeyDocument() = default;
    TKeyDocument(const TKeyDocument&) = delete;
    TKeyDocument& operator=(const TKeyDocument&) = delete;

    // ---- what is edited (read freely; changed only inside steps, see Run and Begin) ----
    std::unique_ptr<T3DO> Model;
    std::unique_ptr<TKEYFile> KeyFile;
    // The entry Copy and Cut remember: a reference, read when pasting; it outlives its node
    // and its document.
    std::shared_ptr<TKEYEntry> CopiedEntry;
    // The keys the timeline copied (Ctrl+C), for pasting at the playhead.
    TKeyClipboard KeyClipboard;
    // The model's lowest vertex height in its rest pose (the floor the view draws).
    double FloorHeight = 0;
    // Auto Copy: a click on an entry carries the channels the options choose from the entry
    // selected before into it.
    bool AutoCopying = false;

    // ---- observers ----
    using TObserver = std::function<void(const TDocumentChange&)>;
    // Returns a number that Forget takes.
    int Observe(TObserver observer);
    void Forget(int id);
    // Tells every observer; inside a step, once at its end, all that the step did together.
    void Changed(unsigned what, const std::vector<int>& nodes = {});

    // ---- loading ----

    // Reads a model. When reading fails the error reaches the caller and the current model
    // stays. Otherwise the selected node becomes 0, and ProjectDir and FloorHeight follow the
    // new model. Returns the view's zoom for it (10 times its radius plus 3).
    double LoadModel(const std::string& name);
    // Reads a KEY document and makes it the document (SetKey); the current one stays when
    // opening fails.
    void LoadKey(const std::string& name);
    // The document New KEY builds for the loaded model from the defaults: one node per
    // hierarchy node, entries DEFAULT_FRAMEGAP apart with the last on the last frame, each at
    // the node's rest pose. Rates are not derived yet. Null without a model.
    std::unique_ptr<TKEYFile> BuildNewKey() const;
    // Where a document that replaces the one on show comes from: its file holds it (File), or
    // it has no file holding it yet (New, Recovered).
    enum class TOrigin { File, New, Recovered };
    // Makes doc the document: nothing to undo, entry 0 of the node, frame 0, edit mode, no
    // picks, the file's stamp remembered when it came from there.
    void SetKey(std::unique_ptr<TKEYFile> doc, TOrigin origin = TOrigin::File);

    // ---- the frame and the mode ----
    int Frame() const { return frame_; }
    // The last frame the document has (FRAMES - 1; 0 without frames).
    int LastFrame() const;
    // Shows a frame (kept within 0 .. LastFrame): the model is posed there.
    void SetFrame(int frame);
    // Poses the model at a frame without showing it (nothing without a model and a document).
    void Pose(int frame);
    bool Playing() const { return playing_; }
    void SetPlaying(bool playing);
    // While a dialog is open over the window or a press sets the frame, playback waits; the
    // mode stays. Holds nest.
    void Hold();
    void Release();
    bool Held() const { return held_ > 0; }
    // Whether a command may change the document now: one is loaded, in edit mode, and no change
    // that follows the mouse is under way.
    bool CanEdit() const { return KeyFile && !playing_ && !Editing(); }

    // ---- selection ----

    // The selected model node (its tree row; the KEY node whose NODE number it is drives it,
    // as the game binds it) and the selected entry of that KEY node.
    int SelectedNode() const { return node_; }
    int SelectedEntry() const { return entry_; }
    // The place in the document of the KEY node that drives the selected model node; -1 when
    // none does.
    int KeyNodeIndex() const;
    // That node; raises an error when no node drives the selected model node.
    TKEYNode& SelectedKeyNode() const;
    // Its selected entry; raises the node or the entry index error.
    TKEYEntry& SelectedKeyEntry() const;
    // Its entries; 0 when no node drives the selected model node.
    int EntryCount() const;
    // The selected entry's frame; -1 when no entry is selected.
    int SelectedKeyFrame() const;
    // Sets the selection as it is (an entry past the node's end becomes its last, -1 when it
    // has none); the picked keys go. Refused (false) while a change follows the mouse: it edits
    // the selection it began with.
    bool Select(int node, int entry);
    // A click on a tree row: that model node, and its entry that poses the frame on show (the
    // frame stays).
    bool PickNode(int row);
    // A click on an entry: that entry of the selected node, and its frame shown.
    bool PickEntry(int entry);

    // ---- picks ----

    // The keys picked besides the selected entry (Shift+click, a band), where they are now:
    // they are held by the entries themselves, so they follow their entries when others come,
    // go or move, and leave with them.
    std::vector<TKeyRef> PickedKeys() const;
    void SetPickedKeys(const std::vector<TKeyRef>& keys);
    // What a move or a delete of keys acts on: the picked keys, or else the selected entry.
    std::vector<TKeyRef> SelectedKeys() const;
    // The curve points picked on a KEY node: each node keeps its own (another node's picks
    // never show on it), and they too follow their entries.
    std::vector<TCurveKey> PickedPoints(int node) const;
    void SetPickedPoints(int node, const std::vector<TCurveKey>& points);
    // The markers picked on the timeline, by their place in the list: those still in it,
    // sorted. Picking keys or selecting an entry leaves them unpicked, so that Delete acts on
    // what was picked last.
    std::vector<int> PickedMarkers() const;
    void SetPickedMarkers(std::vector<int> markers);

    // ---- the preview range ----

    // The frames playback, Home and End keep to (the editor's, never the file's); none: the
    // whole animation. Kept within the frames the document has; another document has none.
    const std::optional<TFrameRange>& PreviewRange() const { return range_; }
    void SetPreviewRange(std::optional<TFrameRange> range);
    // The first and last frame playback runs through: the range's, or 0 and LastFrame.
    TFrameRange PlayRange() const;

    // ---- the file ----

    // The file's stamp as the edits began from it (read, saved, or what a recovery copy began
    // from); none for a document without a disk file.
    const std::optional<TFileStamp>& Stamp() const { return stamp_; }
    void SetStamp(std::optional<TFileStamp> stamp) { stamp_ = stamp; }
    // Takes the stamp of the document's file as it is now.
    void RememberStamp();
    // Whether the document differs from what its file holds: a new or recovered document, a
    // change since the save point, a file that is gone or changed since it was read, or a
    // version kept here over one another program wrote. One meaning for the title, the
    // question before the document goes and the recovery copy.
    bool Modified() const;
    // The part of it that is this editor's own: a document new or recovered, changed since the
    // save point, or kept here over another program's version.
    bool EditedHere() const { return KeyFile && (!onDisk_ || !history_.AtClean()); }
    // The document is what its file holds now (a save went through).
    void Saved();
    // Its file no longer holds it (the user kept this version over another program's, or a
    // Save As gave it a file it has not been written to).
    void LeftFile();

    // ---- steps ----

    const TKeyHistory& History() const { return history_; }
    // Runs body, which changes the given KEY nodes (and perhaps the header, the markers or the
    // nodes' list), as one step named name: it can be undone and redone, and the observers are
    // told once, at its end, of all it did. A step inside another is part of it. False (body
    // not run) when no document is loaded or a change that follows the mouse is under way.
    bool Run(const std::string& name, const std::vector<int>& nodes,
             const std::function<void()>& body);
    // A change that follows the mouse until its release: one step from Begin to Commit. Until
    // then, nothing else changes the document, the selection stays and undo waits. Rollback
    // puts every value the step changed back as it was, and the selection it began with. False
    // when no change may start.
    bool Begin(const std::string& name, const std::vector<int>& nodes);
    void Commit();
    void Rollback();
    // A change that follows the mouse is under way.
    bool Editing() const { return open_ != nullptr; }
    // The entry the change under way edits, chosen as it begins: another entry of the selected
    // node (Auto Key's key, made inside the change). The picked keys go, as with Select. False
    // outside such a change, or for an entry the node does not have.
    bool SelectInDrag(int entry);
    // Takes back the last step or makes it again: the selection it was made with (or left)
    // comes back, and the keys it changed are the ones picked, so that the next command acts on
    // all of them again. False when there is nothing to undo or redo, or while a change that
    // follows the mouse is under way.
    bool Undo();
    bool Redo();

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

private:
    // A pick: its entry, and the node it was on when picked (where it is looked for first).
    struct TPick {
        int Node;
        std::shared_ptr<TKEYEntry> Entry;
        int Channel = 0; // for a curve point
    };
    // Where each pick's entry is now ({-1, -1} for one whose entry left the document).
    std::vector<TKeyRef> Resolve(const std::vector<TPick>& picks) const;
    void Flush();
    std::unique_ptr<TKeyChange> StartChange(const std::vector<int>& nodes);
    // The change's step kept (when it changed anything), the observers told what it touched.
    void FinishChange(std::unique_ptr<TKeyChange> change, const std::string& name);
    void AfterHistory(const TKeyChange& change, int node, int entry);

    int node_ = 0;
    int entry_ = 0;
    int frame_ = 0;
    bool playing_ = false;
    int held_ = 0;
    std::vector<TPick> picked_;
    std::vector<TPick> points_;
    std::vector<int> markers_;
    std::optional<TFrameRange> range_;
    std::optional<TFileStamp> stamp_;
    bool onDisk_ = false;
    TKeyHistory history_;
    // The change that follows the mouse, under way, and its step's name.
    std::unique_ptr<TKeyChange> open_;
    std::string openName_;
    int running_ = 0;         // steps of Run under way, nested
    TDocumentChange pending_; // what to tell once the step under way ends
    bool pendingAll_ = false; // ... and whether it changed the entries of any node
    std::vector<std::pair<int, TObserver>> observers_;
    int nextObserver_ = 1;
};

} // namespace vorlin
