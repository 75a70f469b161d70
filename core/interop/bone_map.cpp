#include "interop/bone_map.h"

#include <algorithm>
#include <cctype>

#include "edit/mirror.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

struct TPart {
    const char* Name;
    bool Sided;
    std::vector<std::string_view> Words; // in the order they are preferred
};

// The parts of a body and the words skeletons name them by. A word preferred earlier wins when
// a skeleton has several (CMU's LeftShoulder is its collar bone, LeftArm the upper arm; its
// LowerBack turns the whole back above the hips).
const std::vector<TPart>& Parts() {
    static const std::vector<TPart> parts = {
        {"hips", false, {"hips", "pelvis", "hip", "root", "cog"}},
        {"spine", false, {"lowerback", "spine", "torso", "chest", "abdomen", "waist", "back"}},
        {"neck", false, {"neck"}},
        {"head", false, {"head", "skull"}},
        {"clavicle", true, {"clavicle", "collar", "collarbone"}},
        {"upperarm", true, {"upperarm", "arm", "shoulder", "humerus"}},
        {"forearm", true, {"forearm", "lowerarm", "elbow"}},
        {"hand", true, {"hand", "wrist"}},
        {"thigh", true, {"thigh", "upleg", "upperleg", "hip", "femur"}},
        {"shin", true, {"shin", "leg", "calf", "knee", "lowerleg"}},
        {"foot", true, {"foot", "ankle"}},
        {"toe", true, {"toe", "toebase", "toes", "ball"}},
    };
    return parts;
}

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}
bool Alnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}
bool Upper(char c) {
    return std::isupper(static_cast<unsigned char>(c)) != 0;
}
bool Digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The name after a namespace ("mixamorig:Hips" -> "Hips").
std::string_view WithoutNamespace(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Words of a name, lower-cased: split at separators, where a small letter meets a capital, at
// the last capital of a run of capitals ("LHip" -> "l", "hip") and between letters and digits.
std::vector<std::string> Words(std::string_view name) {
    std::vector<std::string> words;
    std::string word;
    auto end = [&] {
        if (!word.empty()) words.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (!Alnum(c)) {
            end();
            continue;
        }
        if (!word.empty()) {
            const char p = name[i - 1];
            const bool next =
                i + 1 < name.size() && std::islower(static_cast<unsigned char>(name[i + 1]));
            if ((Upper(c) && !Upper(p) && !Digit(p)) || (Upper(c) && Upper(p) && next) ||
                Digit(c) != Digit(p))
                end();
        }
        word += Lower(c);
    }
    end();
    return words;
}

// The side a mirror pair's marker gives, and the name without it.
TSide MirrorSide(std::string_view name, std::string& rest) {
    const std::vector<std::string> swapped = SideSwapped(name);
    if (swapped.empty()) return TSide::None;
    const std::string& other = swapped.front();
    size_t at = 0;
    while (at < name.size() && at < other.size() && name[at] == other[at])
        ++at;
    if (at >= name.size()) return TSide::None;
    const TSide side = Lower(name[at]) == 'l' ? TSide::Left : TSide::Right;
    std::string lower(name.substr(at));
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    const size_t cut = lower.starts_with("left") ? 4 : lower.starts_with("right") ? 5 : 1;
    rest = std::string(name.substr(0, at)) + "_" + std::string(name.substr(at + cut));
    return side;
}

} // namespace

std::string BoneKey(std::string_view name) {
    std::string key;
    for (char c : WithoutNamespace(name))
        if (Alnum(c)) key += Lower(c);
    return key;
}

TBoneClass ClassifyBone(std::string_view full) {
    const std::string_view name = WithoutNamespace(full);
    TBoneClass out;
    std::string rest;
    out.Side = MirrorSide(name, rest);
    std::vector<std::string> words = Words(out.Side == TSide::None ? name : rest);
    if (out.Side == TSide::None) {
        // Markers the mirror does not pair by: "LHipJoint", "Bip01 L UpperArm", "arm.L".
        for (auto it = words.begin(); it != words.end(); ++it)
            if (*it == "l" || *it == "left" || *it == "r" || *it == "right") {
                out.Side = (*it)[0] == 'l' ? TSide::Left : TSide::Right;
                words.erase(it);
                break;
            }
    }
    std::string joined;
    std::vector<std::string> letters;
    for (const std::string& w : words) {
        if (Digit(w[0])) {
            if (out.Number == 0) out.Number = std::min(9999, std::stoi(w.substr(0, 4)));
            continue;
        }
        joined += w;
        letters.push_back(w);
    }
    const bool sided = out.Side != TSide::None;
    for (const TPart& part : Parts()) {
        if (part.Sided != sided) continue;
        for (size_t r = 0; r < part.Words.size(); ++r) {
            int score = 0;
            if (joined == part.Words[r])
                score = out.Number ? 2 : 3;
            else
                for (size_t i = 0; i < letters.size() && !score; ++i)
                    if (letters[i] == part.Words[r] ||
                        (i + 1 < letters.size() && letters[i] + letters[i + 1] == part.Words[r]))
                        score = 1;
            if (score > out.Score || (score == out.Score && score && int(r) < out.Rank)) {
                out.Part = part.Name;
                out.Score = score;
                out.Rank = int(r);
            }
        }
    }
    if (!out.Score) out.Side = sided ? out.Side : TSide::None;
    return out;
}

std::vector<int> TBoneMap::UnmappedNodes() const {
    std::vector<int> out;
    for (size_t n = 0; n < Source.size(); ++n)
        if (Source[n] < 0) out.push_back(int(n));
    return out;
}

std::vector<int> TBoneMap::UnusedBones(int boneCount) const {
    std::vector<int> out;
    for (int b = 0; b < boneCount; ++b)
        if (std::find(Source.begin(), Source.end(), b) == Source.end()) out.push_back(b);
    return out;
}

namespace {

// Depth below the root of each node; a broken chain (a cycle) ends where it repeats.
std::vector<int> Depths(const std::vector<int>& parents) {
    const int n = int(parents.size());
    std::vector<int> depth(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        int d = 0;
        for (int a = parents[size_t(i)]; a >= 0 && a < n && d <= n; a = parents[size_t(a)])
            ++d;
        depth[size_t(i)] = d;
    }
    return depth;
}

bool Below(const std::vector<int>& parents, int ancestor, int node) {
    const int n = int(parents.size());
    for (int a = parents[size_t(node)], steps = 0; a >= 0 && a < n && steps <= n;
         a = parents[size_t(a)], ++steps)
        if (a == ancestor) return true;
    return false;
}

} // namespace

TBoneMap AutoMap(const std::vector<std::string>& modelNames, const std::vector<int>& modelParents,
                 const std::vector<std::string>& sourceNames,
                 const std::vector<int>& sourceParents) {
    const int nm = int(modelNames.size()), ns = int(sourceNames.size());
    TBoneMap map;
    map.Source.assign(size_t(nm), -1);
    std::vector<char> used(static_cast<size_t>(ns), 0);
    for (int n = 0; n < nm; ++n) {
        const std::string key = BoneKey(modelNames[size_t(n)]);
        if (key.empty()) continue;
        for (int b = 0; b < ns; ++b)
            if (!used[size_t(b)] && BoneKey(sourceNames[size_t(b)]) == key) {
                map.Source[size_t(n)] = b;
                used[size_t(b)] = 1;
                break;
            }
    }
    std::vector<TBoneClass> classes;
    for (const std::string& s : sourceNames)
        classes.push_back(ClassifyBone(s));
    const std::vector<int> modelDepth = Depths(modelParents), sourceDepth = Depths(sourceParents);
    std::vector<int> order(static_cast<size_t>(nm));
    for (int n = 0; n < nm; ++n)
        order[size_t(n)] = n;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return modelDepth[size_t(a)] < modelDepth[size_t(b)]; });
    for (int n : order) {
        if (map.Source[size_t(n)] >= 0) continue;
        const TBoneClass want = ClassifyBone(modelNames[size_t(n)]);
        if (!want.Score) continue;
        // The bone of the nearest mapped ancestor: a good candidate lies below it.
        int above = -1;
        for (int a = modelParents[size_t(n)], steps = 0; a >= 0 && a < nm && steps <= nm;
             a = modelParents[size_t(a)], ++steps)
            if (map.Source[size_t(a)] >= 0) {
                above = map.Source[size_t(a)];
                break;
            }
        int best = -1;
        auto better = [&](int b, int c) {
            const TBoneClass &x = classes[size_t(b)], &y = classes[size_t(c)];
            const bool bx = above < 0 || Below(sourceParents, above, b);
            const bool by = above < 0 || Below(sourceParents, above, c);
            if (bx != by) return bx;
            if (x.Score != y.Score) return x.Score > y.Score;
            if (x.Rank != y.Rank) return x.Rank < y.Rank;
            if (x.Number != y.Number) return x.Number < y.Number;
            return sourceDepth[size_t(b)] < sourceDepth[size_t(c)];
        };
        for (int b = 0; b < ns; ++b) {
            const TBoneClass& c = classes[size_t(b)];
            if (used[size_t(b)] || !c.Score || c.Part != want.Part || c.Side != want.Side) continue;
            if (best < 0 || better(b, best)) best = b;
        }
        if (best >= 0) {
            map.Source[size_t(n)] = best;
            used[size_t(best)] = 1;
        }
    }
    return map;
}

namespace {

int FindName(const std::vector<std::string>& names, const std::string& name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return int(i);
    for (size_t i = 0; i < names.size(); ++i)
        if (SameText(names[i], name)) return int(i);
    return -1;
}

} // namespace

void ApplyMapChanges(TBoneMap& map, const std::vector<std::string>& modelNames,
                     const std::vector<std::string>& sourceNames,
                     const std::vector<std::pair<std::string, std::string>>& changes) {
    for (const auto& [node, bone] : changes) {
        const int n = FindName(modelNames, node);
        if (n < 0) throw Error("The model has no node " + node);
        int b = -1;
        if (!bone.empty()) {
            b = FindName(sourceNames, bone);
            if (b < 0) throw Error("The motion has no bone " + bone);
        }
        map.Source[size_t(n)] = b;
    }
}

} // namespace vorlin
