#include "edit/onion.h"

#include <charconv>

#include "model/u_3dos.h"

namespace vorlin {

TOnionFrames OnionFrames(const TKEYFile& doc, int node, int32_t frame, int spread) {
    TOnionFrames out;
    auto inside = [&](int64_t f) { return f >= 0 && f < doc.Frames; };
    if (spread > 0) {
        if (inside(int64_t(frame) - spread)) out.Before = frame - spread;
        if (inside(int64_t(frame) + spread)) out.After = frame + spread;
        return out;
    }
    if (node < 0 || node >= doc.Nodes.Count()) return out;
    for (const auto& e : doc.Nodes[node].Entries) {
        if (e->Frame < frame && inside(e->Frame)) out.Before = e->Frame;
        if (e->Frame > frame && inside(e->Frame) && !out.After) out.After = e->Frame;
    }
    return out;
}

std::vector<float> SilhouetteTriangles(const T3DO& model) {
    std::vector<float> out;
    for (int n = 0; n < model.HNodes.Count(); ++n) {
        const int m = model.HNodes[n].Mesh;
        if (m < 0 || m >= model.Meshes.Count()) continue;
        for (const auto& face : model.Meshes[m].Faces)
            for (int k = 2; k < face->Vertices.Count(); ++k)
                for (int c : {0, k - 1, k}) {
                    const TVertex& v = face->Vertices[c];
                    out.insert(out.end(), {float(v.tx), float(v.ty), float(v.tz)});
                }
    }
    return out;
}

int OnionSpread(const std::string& setting) {
    int n = 0;
    const auto r = std::from_chars(setting.data(), setting.data() + setting.size(), n);
    if (r.ec != std::errc() || r.ptr != setting.data() + setting.size() || n < 1 || n > 100)
        return 0;
    return n;
}

} // namespace vorlin
