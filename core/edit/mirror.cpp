#include "edit/mirror.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "edit/key_edit.h"
#include "model/u_3dos.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

// The other side's letter in the case of the one it replaces.
char OtherSide(char c) {
    const char other = Lower(c) == 'l' ? 'r' : 'l';
    return std::isupper(static_cast<unsigned char>(c)) ? char(std::toupper(other)) : other;
}

bool IsSide(char c) {
    return Lower(c) == 'l' || Lower(c) == 'r';
}

// "left" <-> "right" at the first place either stands, in the case of its first letter.
std::string SwapWord(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    const size_t left = lower.find("left"), right = lower.find("right");
    if (left == std::string::npos && right == std::string::npos) return {};
    const bool isLeft = left != std::string::npos && (right == std::string::npos || left < right);
    const size_t at = isLeft ? left : right;
    std::string word = isLeft ? "right" : "left";
    if (std::isupper(static_cast<unsigned char>(name[at]))) {
        const bool allUpper = std::isupper(static_cast<unsigned char>(name[at + 1]));
        for (size_t i = 0; i < word.size(); ++i)
            if (i == 0 || allUpper)
                word[i] = char(std::toupper(static_cast<unsigned char>(word[i])));
    }
    return std::string(name.substr(0, at)) + word + std::string(name.substr(at + (isLeft ? 4 : 5)));
}

} // namespace

std::vector<std::string> SideSwapped(std::string_view name) {
    std::vector<std::string> out;
    auto add = [&](std::string s) {
        if (!s.empty() && std::find(out.begin(), out.end(), s) == out.end())
            out.push_back(std::move(s));
    };
    const size_t n = name.size();
    if (n > 2 && IsSide(name[0]) && name[1] == '_') {
        std::string s(name);
        s[0] = OtherSide(s[0]);
        add(s);
    }
    if (n > 2 && IsSide(name[n - 1]) && name[n - 2] == '_') {
        std::string s(name);
        s[n - 1] = OtherSide(s[n - 1]);
        add(s);
    }
    add(SwapWord(name));
    if (const size_t u = name.find('_');
        u != std::string_view::npos && u + 2 < n && IsSide(name[u + 1])) {
        std::string s(name);
        s[u + 1] = OtherSide(s[u + 1]);
        add(s);
    }
    return out;
}

void TMirrorPairs::Set(int a, int b) {
    for (int j : {a, b})
        if (const int old = Partner[size_t(j)]; old != j) Partner[size_t(old)] = old;
    Partner[size_t(a)] = b;
    Partner[size_t(b)] = a;
}

std::vector<int> TMirrorPairs::Unpaired() const {
    std::vector<int> out;
    for (size_t j = 0; j < Partner.size(); ++j)
        if (Partner[j] == int(j)) out.push_back(int(j));
    return out;
}

TMirrorPairs FindMirrorPairs(const std::vector<std::string>& names) {
    TMirrorPairs pairs;
    pairs.Partner.resize(names.size());
    for (size_t j = 0; j < names.size(); ++j)
        pairs.Partner[j] = int(j);
    for (size_t a = 0; a < names.size(); ++a) {
        if (pairs.Partner[a] != int(a) || names[a].empty()) continue;
        for (const std::string& other : SideSwapped(names[a])) {
            const auto b = std::find_if(names.begin(), names.end(),
                                        [&](const std::string& s) { return SameText(s, other); });
            const size_t k = size_t(b - names.begin());
            if (b != names.end() && k != a && pairs.Partner[k] == int(k)) {
                pairs.Set(int(a), int(k));
                break;
            }
        }
    }
    return pairs;
}

std::vector<std::string> JointNames(const TKEYFile& doc, const T3DO* model) {
    std::vector<std::string> names;
    if (model) {
        for (int j = 0; j < model->HNodes.Count(); ++j)
            names.push_back(model->HNodes[j].Name);
        return names;
    }
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const int32_t j = doc.Joint(k);
        if (j < 0 || j > 100000) continue; // a number the game refuses names nothing
        if (size_t(j) >= names.size()) names.resize(size_t(j) + 1);
        names[size_t(j)] = doc.Nodes[k].MeshName;
    }
    return names;
}

std::vector<std::string> AsymmetricPairs(const T3DO& model, const TMirrorPairs& pairs,
                                         double tolerance) {
    std::vector<std::string> out;
    const int n = std::min(model.HNodes.Count(), int(pairs.Partner.size()));
    for (int a = 0; a < n; ++a) {
        const int b = pairs.Partner[size_t(a)];
        if (b <= a || b >= n) continue;
        const T3DOHNode &p = model.HNodes[a], &q = model.HNodes[b];
        const double d[] = {p.X + q.X,           p.Y - q.Y,           p.Z - q.Z,
                            p.PivotX + q.PivotX, p.PivotY - q.PivotY, p.PivotZ - q.PivotZ};
        if (std::any_of(std::begin(d), std::end(d),
                        [&](double v) { return std::abs(v) > tolerance; }))
            out.push_back(p.Name + " / " + q.Name);
    }
    return out;
}

void MirrorEntry(TKEYEntry& e) {
    // Zero stays zero: a "-0.00" in the file and on screen would only puzzle.
    for (double* v : {&e.X, &e.DX, &e.Yaw, &e.DYaw, &e.Roll, &e.DRoll})
        *v = *v == 0 ? 0.0 : -*v;
}

std::vector<std::string> MirrorKey(TKEYFile& doc, const TMirrorPairs& pairs,
                                   const std::vector<std::string>& names) {
    // Every node's new entries come from the document as it was.
    std::vector<std::vector<TKEYEntry>> from(size_t(doc.Nodes.Count()));
    std::vector<std::string> alone;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const int32_t j = doc.Joint(k);
        int source = k;
        if (j >= 0 && size_t(j) < pairs.Partner.size()) {
            const int partner = pairs.Partner[size_t(j)];
            const int driver = partner == j ? -1 : doc.NodeOfJoint(partner);
            if (driver >= 0)
                source = driver;
            else if (size_t(j) < names.size() && !names[size_t(j)].empty())
                alone.push_back(names[size_t(j)]);
        }
        for (const auto& e : doc.Nodes[source].Entries)
            from[size_t(k)].push_back(*e);
    }
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        TKEYEntries& entries = doc.Nodes[k].Entries;
        entries.Clear();
        for (TKEYEntry e : from[size_t(k)]) {
            MirrorEntry(e);
            entries.Add() = e;
        }
    }
    return alone;
}

TKeyRef PasteMirrored(TKEYFile& doc, const TKEYEntry& copied, int from, const TMirrorPairs& pairs,
                      int32_t frame, const std::vector<TKEYPose>* rest) {
    const int partner =
        from >= 0 && size_t(from) < pairs.Partner.size() ? pairs.Partner[size_t(from)] : from;
    const int node = doc.NodeOfJoint(partner);
    if (node < 0) return {-1, -1};
    TKEYEntry pose = copied;
    if (rest && partner != from && from >= 0 && partner >= 0 && size_t(from) < rest->size() &&
        size_t(partner) < rest->size()) {
        // rest B + M (v - rest A) = M (M rest B + v - rest A): carried onto the mirrored rest
        // pose of the partner, then mirrored.
        const TKEYPose& b = (*rest)[size_t(partner)];
        CarryOver(pose, (*rest)[size_t(from)], {-b.X, b.Y, b.Z, b.Pitch, -b.Yaw, -b.Roll});
    }
    MirrorEntry(pose);
    const int at = doc.Nodes[node].Entries.Count() == 0 ? -1 : InsertKey(doc, node, frame);
    TKEYEntry* key;
    if (at < 0) { // a node without keys gets its first
        key = &doc.Nodes[node].Entries.Add();
        key->Frame = frame;
    } else {
        key = &doc.Nodes[node].Entries[at];
    }
    TakePose(*key, pose);
    const int index = at < 0 ? 0 : at;
    doc.UpdateEntry(node, index);
    return {node, index};
}

} // namespace vorlin
