// Re-timing a whole KEY document in bulk, as the KEY summary dialog does it: checking typed
// frame numbers, re-spacing entries at a gap, shifting them, aligning one entry index across
// nodes, and adding or removing the entries on the last frame. No widgets: the dialog reads
// its fields, calls these, and shows the messages they return.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

// The checks of a typed frame number, all of them, in order: the messages of those that fail
// (empty when the frame is good) and the value read. previous is the frame of the entry before
// (none for a node's first entry).
struct TFrameCheck {
    int32_t value = 0;
    std::vector<std::string> problems;
};
TFrameCheck CheckFrameCell(const std::string& text, std::optional<int32_t> previous);

// The whole-number checks of the summary's fields: the message of the first that fails, or
// nothing. The value read is stored in value either way.
std::optional<std::string> CheckLastFrame(const std::string& text, int32_t& value);
std::optional<std::string> CheckFrameRate(const std::string& text, int32_t& value);
std::optional<std::string> CheckGap(const std::string& text, int32_t frames, int32_t& value);
std::optional<std::string> CheckShift(const std::string& text, int32_t& value);

// Entries per node for re-spacing at gap with "Add/Remove Entries": one every gap frames up to
// the last frame, plus one on the last frame of a play-once animation when it falls between.
int TargetCount(int32_t lastFrame, int32_t gap, uint32_t flags);
// Deletes a node's last entries or appends entries (DEFAULT_FRAMEGAP apart) until it has
// count entries; a node keeps at least one.
void FitNode(TKEYFile& doc, int node, int count);
// Entries after entry k follow it gap frames apart.
void Respace(TKEYFile& doc, int node, int k, int32_t gap);
// Entries from k on move by shift frames (not below 0; a first entry stays at 0).
void ShiftRow(TKEYFile& doc, int node, int k, int32_t shift);
// The entry with index k of every node takes frame; raises the entry index error at the first
// node without one (the nodes before it are changed).
void ApplyFrameToEntry(TKEYFile& doc, int k, int32_t frame);
// The highest frame of any entry; 0 without entries.
int32_t HighestFrame(const TKEYFile& doc);
// Every node whose last entry lies before the last frame gets one more entry on it.
void AddEndingEntries(TKEYFile& doc);
// Every node whose last entry lies on the last frame loses it, unless it is the node's only
// entry: a node always keeps one.
void DeleteEndingEntries(TKEYFile& doc);
// Takes a re-timed copy of doc (with the same nodes) back into doc: its header, markers and
// entries. False (doc unchanged) when the copy's nodes are not doc's.
bool TakeRetimed(TKEYFile& doc, const TKEYFile& copy);
// "Time = 6.7333 sec": frames over the frame rate, in the general form cut to six characters.
std::string PlayTimeText(int32_t frames, double fps);

} // namespace vorlin
