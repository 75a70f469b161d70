#include "edit/model_match.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/FileOperations.h"
#include "support/Files.h"
#include "support/misc_utils.h"

namespace fs = std::filesystem;

namespace vorlin {

namespace {

bool HasExt(std::string_view path, std::string_view ext) {
    return SameText(PathExt(path), ext);
}

// The first bytes of a file (at most limit); empty when it cannot be opened.
std::string Head(const std::string& path, size_t limit) {
    try {
        std::unique_ptr<TFile> file = OpenFile(path);
        std::string bytes(size_t(std::min<int64_t>(file->FileSize(), int64_t(limit))), '\0');
        bytes.resize(size_t(
            std::max<int64_t>(ReadAvailable(*file, bytes.data(), int64_t(bytes.size())), 0)));
        file->Close();
        return bytes;
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace

TFileKind DetectFileKind(const std::string& path) {
    if (HasExt(path, ".key")) return TFileKind::Key;
    if (HasExt(path, ".3do")) return TFileKind::Model;
    if (HasExt(path, ".cmp")) return TFileKind::ColourMap;
    const std::string head = UpperCase(Head(path, 8192));
    if (head.starts_with("CMP ")) return TFileKind::ColourMap;
    for (const char* model :
         {"SECTION: MODELRESOURCE", "SECTION: GEOMETRYDEF", "SECTION: HIERARCHYDEF"})
        if (head.find(model) != std::string::npos) return TFileKind::Model;
    if (head.starts_with("# KEYFRAME") || head.find("SECTION: KEYFRAME") != std::string::npos ||
        (head.find("SECTION: HEADER") != std::string::npos &&
         head.find("FRAMES") != std::string::npos))
        return TFileKind::Key;
    return TFileKind::Unknown;
}

std::vector<std::string> ModelNodeNames(const std::string& path) {
    std::vector<std::string> names;
    try {
        TTextFile text(OpenFile(path));
        std::string raw, line;
        bool inHierarchy = false;
        int64_t left = -1; // node lines still to come
        while (!text.Eof()) {
            text.ReadLn(raw);
            if (!SignificantLine(raw, line)) continue;
            if (GetNthWord(line, 1) == "SECTION:") {
                if (left >= 0) break;
                inHierarchy = GetNthWord(line, 2) == "HIERARCHYDEF";
                continue;
            }
            if (!inHierarchy) continue;
            if (left < 0) {
                int32_t n = 0;
                if (GetNthWord(line, 1) == "HIERARCHY" && ValInt(GetNthWord(line, 3), n))
                    left = std::max(n, 0);
                continue;
            }
            if (left-- == 0) break;
            // "0: flags type mesh parent child sibling children x y z pitch yaw roll px py pz
            // name": the name is the 18th word.
            names.push_back(GetNthWord(line, 18));
        }
    } catch (const std::exception&) {
        return {};
    }
    return names;
}

int ModelMatchScore(const TKEYFile& doc, const std::vector<std::string>& names) {
    int score = 0;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        const int32_t joint = doc.Joint(k);
        if (joint >= 0 && size_t(joint) < names.size() &&
            SameText(names[size_t(joint)], doc.Nodes[k].MeshName))
            ++score;
    }
    return score;
}

namespace {

// The 3DO files of a disk folder, sorted.
void DiskModels(const std::string& dir, std::vector<std::string>& out) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->is_regular_file(ec) && HasExt(it->path().filename().string(), ".3do"))
            found.push_back(it->path().string());
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

// The 3DO files stored in a container, as container paths, sorted.
void ContainerModels(const std::string& container, std::vector<std::string>& out) {
    std::vector<std::string> found;
    try {
        TContainerFile& c = OpenCachedContainer(container);
        (void)c.ListFiles(); // brings the listing up to date with the file on disk
        for (const TFileItem& item : c.FileList)
            if (HasExt(item.name, ".3do")) found.push_back(container + ">" + item.name);
    } catch (const std::exception&) {
        return; // a container that cannot be opened offers nothing
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

} // namespace

std::vector<std::string> ModelCandidates(const std::string& keyPath,
                                         const std::vector<std::string>& containers) {
    std::vector<std::string> out;
    if (IsContainerPath(keyPath)) {
        ContainerModels(keyPath.substr(0, keyPath.find('>')), out);
    } else {
        const fs::path dir = fs::absolute(fs::path(keyPath)).parent_path();
        DiskModels(dir.string(), out);
        if (dir.has_parent_path() && dir.parent_path() != dir)
            DiskModels(dir.parent_path().string(), out);
    }
    for (const std::string& c : containers)
        if (!c.empty()) ContainerModels(c, out);
    std::set<std::string> seen;
    std::erase_if(out, [&](const std::string& p) { return !seen.insert(p).second; });
    return out;
}

std::optional<TModelMatch> BestModel(const TKEYFile& doc, const std::vector<TModelNames>& models) {
    std::optional<TModelMatch> best;
    bool bestFits = false;
    for (const TModelNames& model : models) {
        const int score = ModelMatchScore(doc, model.Names);
        const bool fits = int64_t(model.Names.size()) == doc.Joints;
        if (score == 0) continue;
        if (!best || score > best->Score || (score == best->Score && fits && !bestFits)) {
            best = TModelMatch{model.Path, score, doc.Nodes.Count()};
            bestFits = fits;
        }
    }
    if (best && best->Score * 2 < best->Nodes) return std::nullopt;
    return best;
}

std::optional<TModelMatch> BestModel(const TKEYFile& doc,
                                     const std::vector<std::string>& candidates) {
    std::vector<TModelNames> models;
    for (const std::string& path : candidates)
        models.push_back({path, ModelNodeNames(path)});
    return BestModel(doc, models);
}

TModelChoice ChooseModel(const std::string& keyPath, const std::vector<std::string>& pairs,
                         const std::vector<std::string>& containers) {
    TModelChoice choice;
    const std::string remembered = RememberedModel(pairs, keyPath);
    if (!remembered.empty() &&
        (IsContainerPath(remembered) ? ContainerHas(remembered.substr(0, remembered.find('>')),
                                                    remembered.substr(remembered.find('>') + 1))
                                     : DiskFileExists(remembered))) {
        choice.By = TModelChoice::Remembered;
        choice.Path = remembered;
        return choice;
    }
    TKeptMessages quiet; // the KEY's own load reports its warnings
    // A KEY that cannot be read raises its error here: no model is asked for it first.
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(keyPath);
    if (auto best = BestModel(*doc, ModelCandidates(keyPath, containers))) {
        choice.By = TModelChoice::Matched;
        choice.Path = best->Path;
        choice.Score = best->Score;
        choice.Nodes = best->Nodes;
    }
    return choice;
}

std::string RememberedModel(const std::vector<std::string>& pairs, const std::string& key) {
    for (const std::string& pair : pairs) {
        const size_t tab = pair.find('\t');
        if (tab != std::string::npos && pair.compare(0, tab, key) == 0) return pair.substr(tab + 1);
    }
    return {};
}

void RememberModel(std::vector<std::string>& pairs, const std::string& key,
                   const std::string& model, size_t limit) {
    std::erase_if(pairs, [&](const std::string& pair) {
        return pair.find('\t') == key.size() && pair.compare(0, key.size(), key) == 0;
    });
    pairs.insert(pairs.begin(), key + "\t" + model);
    if (pairs.size() > limit) pairs.resize(limit);
}

} // namespace vorlin
