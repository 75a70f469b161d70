#include "interop/motion_import.h"

#include <cmath>

#include "model/u_3dos.h"
#include "support/FileOperations.h"
#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

std::vector<std::string> ModelNames(const T3DO& model, std::vector<int>* parents = nullptr) {
    std::vector<std::string> names;
    for (int n = 0; n < model.HNodes.Count(); ++n) {
        names.push_back(model.HNodes[n].Name);
        if (parents) parents->push_back(model.HNodes[n].Parent);
    }
    return names;
}

} // namespace

bool IsEndSite(const std::string& name) {
    return name.starts_with("EndSite_") || name.ends_with("_End") || name.ends_with("_end");
}

TBoneMap ImportMap(const T3DO& model, const TMotion& motion,
                   const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<int> parents;
    const std::vector<std::string> names = ModelNames(model, &parents);
    TBoneMap map = AutoMap(names, parents, motion.Names, motion.Parent);
    ApplyMapChanges(map, names, motion.Names, changes);
    return map;
}

TImportResult ImportMotion(const T3DO& model, const TMotion& motion,
                           const TImportOptions& options) {
    if (model.HNodes.Count() == 0) throw Error(model.FileName + " has no hierarchy nodes to move");
    TImportResult result;
    result.Map = options.Mapping ? *options.Mapping : ImportMap(model, motion, options.Map);
    result.Map.Source.resize(size_t(model.HNodes.Count()), -1);
    const TRetargeted moved = Retarget(model, motion, result.Map, options.Retarget);
    result.Key = BuildKey(model, moved.Poses, moved.Fps, options.Tolerance);
    TKEYFile& key = *result.Key;
    std::string name = PathName(motion.Animation.empty() ? motion.Path : motion.Animation);
    for (char& c : name)
        if (c == ' ' || c == '\t') c = '_';
    if (!SameText(PathExt(name), ".key")) name += ".key";
    key.Name = name;
    if (motion.FromKey) {
        key.Flags = motion.KeyFlags;
        key.KeyType = motion.KeyType;
        key.RecalcAll(); // a loop's last keys run on to frame 0
        const double first = options.Retarget.From * motion.Rate;
        for (const TKEYMarker& m : motion.Markers) {
            const double frame = (m.Frame - first) * moved.Fps / motion.Rate;
            if (frame < -1e-9 || frame > key.Frames - 1 + 1e-9) continue;
            key.Markers.Add(std::make_shared<TKEYMarker>(TKEYMarker{frame, m.MarkerType}));
        }
    }
    result.Frames = moved.Frames();
    result.Fps = moved.Fps;
    result.Scale = moved.Scale;
    for (int k = 0; k < key.Nodes.Count(); ++k)
        result.Keys += key.Nodes[k].Entries.Count();
    // Measured as the game will read the file: its numbers as written.
    const std::unique_ptr<TKEYFile> saved = TKEYFile::CreateFromText(key.ToText(), key.Name);
    result.Error = MeasureKey(*saved, moved.Poses);

    const std::vector<std::string> names = ModelNames(model);
    for (size_t n = 0; n < names.size(); ++n) {
        const int b = result.Map.Source[n];
        if (b >= 0)
            result.Pairs.push_back(names[n] + " <- " + motion.Names[size_t(b)]);
        else
            result.UnmappedNodes.push_back(names[n]);
    }
    for (int b : result.Map.UnusedBones(motion.Count()))
        if (!IsEndSite(motion.Names[size_t(b)]))
            result.UnusedBones.push_back(motion.Names[size_t(b)]);
    return result;
}

} // namespace vorlin
