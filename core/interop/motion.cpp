#include "interop/motion.h"

#include <cmath>

#include "model/u_3dos.h"
#include "support/errors.h"

namespace vorlin {

std::vector<TXform> ChainWorld(const std::vector<int>& parent, const std::vector<TXform>& local) {
    const int n = int(parent.size());
    std::vector<TXform> world(static_cast<size_t>(n));
    std::vector<char> done(static_cast<size_t>(n), 0);
    std::vector<int> chain;
    for (int b = 0; b < n; ++b) {
        // The bone and its ancestors not yet placed, placed from the top down.
        chain.clear();
        for (int a = b; a >= 0 && a < n && !done[size_t(a)] && int(chain.size()) <= n;
             a = parent[size_t(a)])
            chain.push_back(a);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const int a = *it, p = parent[size_t(a)];
            world[size_t(a)] = p >= 0 && p < n && done[size_t(p)]
                                   ? world[size_t(p)] * local[size_t(a)]
                                   : local[size_t(a)];
            done[size_t(a)] = 1;
        }
    }
    return world;
}

TKEYPose PoseAtFrame(const TKEYFile& doc, int node, double frame) {
    const double whole = std::floor(frame);
    const int at = whole >= INT32_MAX ? INT32_MAX : whole <= INT32_MIN ? INT32_MIN : int(whole);
    return TKEYFile::PoseFromEntry(doc.Nodes[node].Entries[doc.EntryForFrame(node, at)], frame);
}

std::optional<TVec3> MeshCentre(const T3DO& model, int j) {
    const T3DOHNode& h = model.HNodes[j];
    if (h.Mesh < 0 || h.Mesh >= model.Meshes.Count()) return std::nullopt;
    const TVertices& pool = model.Meshes[h.Mesh].Faces.Vertices;
    if (pool.Count() == 0) return std::nullopt;
    TVec3 sum;
    for (const TVertex* v : pool)
        sum = sum + TVec3{v->x, v->y, v->z};
    return (1.0 / pool.Count()) * sum + TVec3{h.PivotX, h.PivotY, h.PivotZ};
}

namespace {

class TKeyMotion : public TMotion {
public:
    TKeyMotion(const T3DO& model, const TKEYFile& doc) : doc_(doc.Clone()) {
        const int n = model.HNodes.Count();
        for (int j = 0; j < n; ++j) {
            const T3DOHNode& h = model.HNodes[j];
            Names.push_back(h.Name);
            Parent.push_back(h.Parent >= 0 && h.Parent < n ? h.Parent : -1);
            Rest.push_back({GameMatrix(h.Pitch, h.Yaw, h.Roll), {h.X, h.Y, h.Z}});
            const int k = doc.NodeOfJoint(j);
            const bool keyed = k >= 0 && !doc.Nodes[k].Entries.Empty();
            node_.push_back(keyed ? k : -1);
            Keyed.push_back(keyed);
            Tip.push_back(MeshCentre(model, j));
        }
        FromKey = true;
        KeyFlags = doc.Flags;
        KeyType = doc.KeyType;
        for (const auto& m : doc.Markers)
            Markers.push_back(*m);
        Rate = doc.FPS;
        Duration = doc.Frames > 1 ? (doc.Frames - 1) / doc.FPS : 0;
        Animation = doc.Name;
        Path = doc.FullName.empty() ? doc.Name : doc.FullName;
    }

    void Sample(double seconds, std::vector<TXform>& local) const override {
        local = Rest;
        const double frame = seconds * Rate;
        for (size_t j = 0; j < node_.size(); ++j) {
            if (node_[j] < 0) continue;
            const TKEYPose p = PoseAtFrame(*doc_, node_[j], frame);
            local[j] = {GameMatrix(p), {p.X, p.Y, p.Z}};
        }
    }

private:
    std::unique_ptr<TKEYFile> doc_;
    std::vector<int> node_;
};

} // namespace

std::unique_ptr<TMotion> KeyMotion(const T3DO& model, const TKEYFile& doc) {
    const std::string name = doc.FullName.empty() ? doc.Name : doc.FullName;
    if (!(doc.FPS > 0) || !std::isfinite(doc.FPS))
        throw Error(name + ": the KEY's FPS is not above 0, so it has no time to sample");
    if (doc.Frames < 1) throw Error(name + ": the KEY has no frames");
    if (model.HNodes.Count() == 0) throw Error(model.FileName + " has no hierarchy nodes to move");
    return std::make_unique<TKeyMotion>(model, doc);
}

} // namespace vorlin
