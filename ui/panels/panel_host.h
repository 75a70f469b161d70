// What a panel under the 3D view asks of the window it sits in: the session it edits, the frame
// on show, undo steps, picking as the tree and the entry list pick, and bringing the window's
// other controls up to date after a change. The main window provides it; a panel holds its own
// widget and the commands that act through it.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace vorlin {

class TKeySession;

class TPanelHost {
public:
    virtual ~TPanelHost() = default;

    virtual TKeySession& EditSession() = 0;
    virtual int CurrentFrame() const = 0;
    // Shows a frame (within the animation), as the frame keys do.
    virtual void GoToFrame(int frame) = 0;
    // A press or drag that sets the frame, and its release: playback waits meanwhile.
    virtual void ScrubFrame(int frame) = 0;
    virtual void ScrubEnd() = 0;
    // Whether the document may change now: a document in edit mode, no drag under way.
    virtual bool CanEdit() const = 0;
    // Runs a change of the given nodes as one step that can be undone, named (as the Edit menu
    // names it: "Insert Key").
    virtual void RecordStep(const QString& name, const std::vector<int>& nodes,
                            const std::function<void()>& body) = 0;
    // A change that follows the mouse until its release: one step from its start to its end.
    // False when no change may start.
    virtual bool BeginDragStep(const std::vector<int>& nodes, const QString& name) = 0;
    virtual void EndDragStep() = 0;
    virtual bool Dragging() const = 0;
    // As a click on the tree's row, and on the entry list's row of the selected node.
    virtual void PickNode(int row) = 0;
    virtual void PickEntry(int entry) = 0;
    // After keys came, went, moved or changed value: the entry list, the view, and the frame on
    // show (or the frame given: a moved key's).
    virtual void KeysChanged(int frame = -1) = 0;
    // A word in the status bar (why a command did nothing, where a drag is).
    virtual void ShowStatus(const QString& text, int milliseconds = 5000) = 0;
    // The model node's name as the tree shows it.
    virtual QString NodeName(int row) const = 0;
    // The view and the panels drawn again.
    virtual void Redraw() = 0;
    // Runs a command: an error it raises is shown in a message box.
    virtual void RunCommand(const std::function<void()>& body) = 0;
};

} // namespace vorlin
