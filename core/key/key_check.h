// Checks a KEY document against the rules the game reads and plays it by, and against the
// model it animates: what the game refuses or plays wrongly (errors), and what is suspicious
// (warnings), each with where it is.
//
// A KEY node's number, as the game binds it to a model node, is its place in the document:
// that is the number the editor writes on its NODE line.
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
};

// The most markers the game's reader takes; a file with more is refused.
constexpr int kMaxMarkers = 8;
// The longest mesh name the game keeps.
constexpr size_t kMaxMeshName = 31;

// Every finding of the document alone, then (with a model) of the document against the model.
std::vector<TFinding> CheckKey(const TKEYFile& doc, const T3DO* model = nullptr);
// Only the findings of the document against the model: nodes that match no model node, model
// meshes no node moves, nodes matched by name to a model node of another number.
std::vector<TFinding> CheckKeyAgainstModel(const TKEYFile& doc, const T3DO& model);
// "header", "marker 2", "node 3 (TORSO)", "node 3 (TORSO) entry 5".
std::string WhereText(const TFinding& finding, const TKEYFile& doc);
const char* SeverityText(TSeverity severity);
// The lines the Messages window shows after a load: at most limit, then how many more.
std::vector<std::string> FindingLines(const std::vector<TFinding>& findings, const TKEYFile& doc,
                                      size_t limit = 20);

} // namespace vorlin
