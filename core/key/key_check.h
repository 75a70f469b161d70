// Checks a KEY against the rules the game reads and plays it by, and against the model it
// animates: what the game refuses, corrupts its memory on or plays wrongly (errors), and what
// is suspicious (warnings), each with where it is. A KEY's text is checked as the game's own
// loader reads it, line by line; a document as the editor holds it.
//
// The game binds a KEY node to the model's hierarchy node whose index is its NODE number.
#pragma once

#include <string>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

class T3DO;

enum class TSeverity { Warning, Error };

struct TFinding {
    TSeverity Severity = TSeverity::Warning;
    std::string Message;
    // Where: a marker, or a node and perhaps one of its entries; all -1 for the header.
    int Marker = -1;
    int Node = -1;
    int Entry = -1;
    // The line of the file (from 1), for the findings of the text; 0 for the document's.
    int Line = 0;
    // Reported when the file is loaded: the game refuses it, or the editor keeps less than
    // the game reads.
    bool OnLoad = false;
};

// The most markers the game's reader takes; a file with more is refused.
constexpr int kMaxMarkers = 8;
// The longest mesh name the game keeps.
constexpr size_t kMaxMeshName = 31;

// The longest line the game reads as one (its buffer holds 1022 bytes and the line end).
constexpr size_t kMaxGameLine = 1022;

// The findings of the text as the game's loader reads it: where it refuses the file (it stops
// there), where it corrupts its memory, and where it reads something the editor does not keep.
std::vector<TFinding> CheckKeyText(std::string_view text);
// Every finding of the document, then (with a model) of the document against the model. With
// the document's text, the text's findings come first and stand for the rules of the file's
// structure (marker count, NODES and JOINTS, NODE numbers, mesh names), which then carry
// their line numbers.
std::vector<TFinding> CheckKey(const TKEYFile& doc, const T3DO* model = nullptr,
                               const std::string* text = nullptr);
// Only the findings of the document against the model: nodes whose number is outside the
// model, nodes whose mesh name is not that of the model node they drive, model meshes no node
// moves.
std::vector<TFinding> CheckKeyAgainstModel(const TKEYFile& doc, const T3DO& model);
// A node whose pose at the end of the animation (frame FRAMES, where a loop wraps round to
// frame 0: its last key run on by its rates) differs from its pose at frame 0 by more than the
// tolerances: the channel that differs most (by its share of the tolerance), with both values.
struct TLoopSeam {
    int Node = -1;
    const char* Channel = "";
    double First = 0, Last = 0;
};
// Positions within 1e-3, angles within 0.1 degree (taken round the circle).
std::vector<TLoopSeam> LoopSeams(const TKEYFile& doc);

// The bytes of a KEY at a disk or container path (a bare name is searched for).
std::string ReadKeyText(const std::string& path);
// Reads the KEY at a path as CreateFromFile does, then checks its text as the game reads it:
// what the user must know at once (the game refuses the file or corrupts its memory, or the
// editor keeps less than the game reads) goes to the message log, a line each.
std::unique_ptr<TKEYFile> LoadKeyReported(const std::string& path);
// "header", "marker 2", "node 3 (TORSO)", "node 3 (TORSO) entry 5", "line 12", "line 40,
// node 3 (TORSO) entry 5".
std::string WhereText(const TFinding& finding, const TKEYFile& doc);
const char* SeverityText(TSeverity severity);
// The lines the Messages window shows after a load: at most limit, then how many more.
std::vector<std::string> FindingLines(const std::vector<TFinding>& findings, const TKEYFile& doc,
                                      size_t limit = 20);

} // namespace vorlin
