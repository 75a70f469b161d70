// The KEY document: a keyframe animation of the game's articulated models, its text format,
// and the editing operations that keep the per-frame rates of its entries consistent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/ObjectList.h"

namespace vorlin {

class T3DO;

// One keyframe: the node's position and orientation at Frame, and how fast each of the six
// values changes per frame on the way to the next entry.
class TKEYEntry {
public:
    int32_t Flags = 0; // 1 position changes, 2 orientation changes, 3 both, 0 neither
    int32_t Frame = 0;
    double X = 0, Y = 0, Z = 0;
    double Pitch = 0, Yaw = 0, Roll = 0;
    double DX = 0, DY = 0, DZ = 0;
    double DPitch = 0, DYaw = 0, DRoll = 0;
};

class TKEYMarker {
public:
    double Frame = 0; // a marker may sit between frames
    int32_t MarkerType = 0;
};

class TKEYEntries : public TObjectList<TKEYEntry> {
public:
    TKEYEntries() : TObjectList("KEY Entry Index is out of bounds: ") {}
};

class TKEYMarkers : public TObjectList<TKEYMarker> {
public:
    TKEYMarkers() : TObjectList("KEY Marker Index is out of bounds: ") {}
};

// The animation of one node of the model's hierarchy. The game binds it by its NODE number:
// node n drives the model's hierarchy node n; the mesh name is only a label.
class TKEYNode {
public:
    std::string MeshName;
    TKEYEntries Entries;
    // The NODE number as read or given; none for a node made without one, which is numbered
    // by its place in the document.
    std::optional<int32_t> NodeNumber;
};

class TKEYNodes : public TObjectList<TKEYNode> {
public:
    TKEYNodes() : TObjectList("KEY Node Index is out of bounds: ") {}
};

// The position and orientation of a node at one frame.
struct TKEYPose {
    double X = 0, Y = 0, Z = 0;
    double Pitch = 0, Yaw = 0, Roll = 0;
};

// A frame number computed in 64 bits, kept to the 32-bit range the format holds.
int32_t ClampFrame(int64_t frame);

// The header's values: listed here once, copied and compared as one.
struct TKEYHeader {
    int32_t Frames = 0;
    uint32_t Flags = 0;
    double FPS = 0; // the game reads a real number; whole values are written as integers
    uint32_t KeyType = 0xFFFF;
    int32_t Joints = 0;
    bool operator==(const TKEYHeader&) const = default;
};

class TKEYFile : public TKEYHeader {
public:
    // A new, empty document; FPS is the DEFAULT_FRAMERATE setting.
    TKEYFile();

    // Reads the KEY text at a disk or container path, or finds a bare name with the resource
    // search. Opening errors reach the caller; an error while reading becomes one warning and
    // the document keeps what was read. whole, when given, tells whether the text held a nodes
    // section and met every count it gave (NODES, ENTRIES, MARKERS): a file cut short does not.
    static std::unique_ptr<TKEYFile> CreateFromFile(const std::string& path, bool* whole = nullptr);
    // The same from the file's bytes, read before (path names the document).
    static std::unique_ptr<TKEYFile> CreateFromText(std::string text, const std::string& path,
                                                    bool* whole = nullptr);
    // A copy with entries, nodes and markers of its own.
    std::unique_ptr<TKEYFile> Clone() const;

    // The KEY text of the document. Raises the error CheckSavable names for a value or name
    // that would not read back as the same document.
    std::string ToText() const;
    // Writes the KEY text to a disk path. The old file is replaced only once everything was
    // written, so a failed save leaves it as it was.
    void SaveToFile(const std::string& path) const;
    // Raises an error naming the node and entry (or marker) of the first value whose text
    // would not read back (not finite, or too long for the reader), or the node whose mesh
    // name the game would not read as one word: a file is never written that reads back as
    // another document.
    void CheckSavable() const;

    // Rates of entry i towards its successor.
    void ComputeRates(int node, int i);
    // Entry i as ComputeRates would leave it (the document unchanged).
    TKEYEntry RecalculatedEntry(int node, int i) const;
    // Only the rates of that entry (its values and flags as they are).
    TKEYEntry RecalculatedRates(int node, int i) const;
    // ComputeRates of entry i and of its predecessor.
    void UpdateEntry(int node, int i);
    void RecalcAll();
    // Adds a copy of the node's last entry DEFAULT_FRAMEGAP frames later.
    void AppendEntry(int node);
    // Duplicates entry a's values into the slot after it; frame numbers stay in their slots.
    void InsertEntry(int node, int a);
    // True when the document differs from its file, or was never loaded. A number differs when
    // saving it would write another text than the file holds (a rate of 1/3 saved a moment ago
    // is the file's 0.33333333).
    bool IsModified() const;

    // The pose of a node at a frame, as the game works it out: the last entry at or before
    // the frame (entry 0 before the first entry), moved on by its position rates when its
    // flags have bit 1 and by its rotation rates when they have bit 2. A node without entries
    // raises "KEY Entry Index is out of bounds: -1".
    TKEYPose EvaluateNode(int node, int frame) const;
    // The entry EvaluateNode poses a frame from: the last at or before it, stopping at the
    // first entry after it (0 when none is at or before it). From a hint at or below the
    // answer for an earlier frame, it walks on from there, so frames in order cost one pass.
    int EntryForFrame(int node, int frame, int hint = 0) const;
    // The pose entry e gives at a frame, its rates applied as its flags say (a frame between
    // two whole ones continues the same straight lines).
    static TKEYPose PoseFromEntry(const TKEYEntry& e, double frame);
    // The joint (model hierarchy node) node k drives: its NODE number, or its place.
    int32_t Joint(int k) const;
    // The node that drives a joint: the last with that number, as the game's later nodes
    // replace earlier ones; -1 when none does.
    int NodeOfJoint(int joint) const;
    // Resets the model's pose and poses each model node from the KEY node bound to it by
    // number (a node without entries leaves it at rest), then places the vertices.
    void ApplyToModel(T3DO& model, int frame) const;

    std::string Name = "Untitled.key";
    std::string FullName;
    const TKEYHeader& Header() const { return *this; }
    void SetHeader(const TKEYHeader& h) { static_cast<TKEYHeader&>(*this) = h; }
    TKEYMarkers Markers;
    TKEYNodes Nodes;

private:
    bool Loops() const { return Flags != 0; }
    mutable std::vector<int> jointNode_; // kept between frames so posing allocates nothing
};

} // namespace vorlin
