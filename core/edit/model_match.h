// What a file given to the editor is, and which model a KEY animation belongs to: a KEY names
// the meshes it moves, and the game binds node n to the model's hierarchy node n, so the model
// whose node n is called what node n of the KEY names is the one it was made for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "key/u_key.h"

namespace vorlin {

enum class TFileKind { Unknown, Key, Model, ColourMap };

// By the extension (.key, .3do, .cmp), else by the first bytes of the text: a KEY's
// "# KEYFRAME" or its sections, a model's sections. Unknown for a file that cannot be read.
// Never raises.
TFileKind DetectFileKind(const std::string& path);

// The names of a model's hierarchy nodes, in order (upper case), read without the model's
// geometry and without a word to the message log; empty when there are none or the file
// cannot be read.
std::vector<std::string> ModelNodeNames(const std::string& path);

// How many of the KEY's nodes drive, by their NODE number, a model node of their mesh name.
int ModelMatchScore(const TKEYFile& doc, const std::vector<std::string>& names);

struct TModelMatch {
    std::string Path;
    int Score = 0; // nodes bound to a model node of their name
    int Nodes = 0; // the KEY's nodes
};

// Where a KEY's model may be: the 3DO files in the KEY's folder and in the folder above it
// (the game keeps KEYs in 3do/key and models in 3do), or every 3DO of the container a KEY is
// in; then every 3DO of the given containers. In that order, each place sorted, each path
// once.
std::vector<std::string> ModelCandidates(const std::string& keyPath,
                                         const std::vector<std::string>& containers);

// The candidate that binds most of the KEY's nodes by name (at a tie, the one with as many
// nodes as the KEY has joints, then the earlier); none when no candidate binds at least half
// of them.
std::optional<TModelMatch> BestModel(const TKEYFile& doc,
                                     const std::vector<std::string>& candidates);
// The same over candidates whose node names were read before (for many KEYs at once).
struct TModelNames {
    std::string Path;
    std::vector<std::string> Names;
};
std::optional<TModelMatch> BestModel(const TKEYFile& doc, const std::vector<TModelNames>& models);

// The model a KEY opened on its own is shown with: the one it was last used with (from the
// remembered pairs, when that file is still there), else the best of its candidates (the given
// containers among them). The KEY is read without a word to the message log; one that cannot
// be read raises its error.
struct TModelChoice {
    enum How { None, Remembered, Matched } By = None;
    std::string Path;
    int Score = 0, Nodes = 0; // for a match
};
TModelChoice ChooseModel(const std::string& keyPath, const std::vector<std::string>& pairs,
                         const std::vector<std::string>& containers);

// The model a KEY was last used with, from a list of "KEY path<TAB>model path" pairs, most
// recent first; empty when the KEY is not in it.
std::string RememberedModel(const std::vector<std::string>& pairs, const std::string& key);
// Enters a pair at the top of the list (replacing the KEY's older pair); the oldest drops out
// beyond limit.
void RememberModel(std::vector<std::string>& pairs, const std::string& key,
                   const std::string& model, size_t limit);

} // namespace vorlin
