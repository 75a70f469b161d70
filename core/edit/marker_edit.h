// Markers and columns of keys edited on the timeline: which marker is under the pointer, how
// picked markers move, the keys a column or a pair of markers stands for, and the commands that
// add, delete, retype and move markers, each one step to undo.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "edit/key_commands.h"
#include "edit/timeline.h"
#include "key/u_key.h"

namespace vorlin {

// The marker nearest to x within radius pixels; the later of two at one place (drawn on top)
// wins. None when there is none.
std::optional<int> MarkerAt(const TKEYMarkers& markers, const TTimelineLayout& layout, double x,
                            double radius = 5);
// Where a marker at frame goes in the list: after every marker at or before it, so that a list
// in frame order stays in frame order.
int MarkerPlace(const TKEYMarkers& markers, double frame);
// The frame of the key nearest to frame (any node); none without keys.
std::optional<int32_t> NearestKeyFrame(const TKEYFile& doc, double frame);

// A move of markers by whole frames, together, each kept within 0 .. FRAMES-1 (the move is cut
// to what all of them can do). A marker between frames keeps its fraction.
class TMarkerMove {
public:
    // Markers not in the list are left out.
    TMarkerMove(const TKEYFile& doc, std::vector<int> markers);
    int Clamp(int delta) const;
    // Puts every marker delta frames (cut by Clamp) from where it was; returns the frames moved.
    int Apply(TKEYFile& doc, int delta) const;
    bool Empty() const { return markers_.empty(); }
    const std::vector<int>& Markers() const { return markers_; }

private:
    std::vector<int> markers_;
    std::vector<double> from_;
    int lo_ = 0, hi_ = 0;
};

// K: every key on a frame where one of keys is.
std::vector<TKeyRef> KeysOnFramesOf(const TKEYFile& doc, const std::vector<TKeyRef>& keys);
// Every key from frame a to frame b, both in, either order.
std::vector<TKeyRef> KeysBetween(const TKEYFile& doc, double a, double b);

// The preview range kept for a KEY file in a list of "path<TAB>first<TAB>last", most recent
// first; none when the list has none for it (or holds no numbers there).
std::optional<TFrameRange> StoredPreviewRange(const std::vector<std::string>& list,
                                              const std::string& path);
// Keeps a file's range at the top of the list (none: takes it out); at most `most` are kept.
void StorePreviewRange(std::vector<std::string>& list, const std::string& path,
                       const std::optional<TFrameRange>& range, size_t most);
// A type's name as the timeline's menu lists it ("Left walking footstep").
std::string MarkerTypeName(int type);
// A marker type M may give: 1 to 15 (type 16 has no name), else 1.
int MarkerTypeToAdd(int type);

// The words when a ninth marker is refused.
std::string MarkerLimitText();

// "Add Marker": a marker of type at frame, picked; refused past the game's limit.
TCommandResult AddMarkerCommand(TKeyDocument& doc, double frame, int type);
// "Delete Markers" ("Delete Marker" for one): the picked markers.
TCommandResult DeleteMarkersCommand(TKeyDocument& doc);
// "Change Marker Type": the marker takes type (nothing when it has it).
TCommandResult SetMarkerTypeCommand(TKeyDocument& doc, int marker, int type);
// Ctrl+K: every key between the two picked markers picked (no step: nothing changes).
TCommandResult PickBetweenMarkersCommand(TKeyDocument& doc);

} // namespace vorlin
