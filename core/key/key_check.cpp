#include "key/key_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/u_3dos.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

std::string Num(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

std::string Hex(uint32_t v) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
    std::string digits(buf, r.ptr);
    for (char& c : digits)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return "0x" + digits;
}

// The short way from angle a to angle b, in -180..180.
double AngleDiff(double a, double b) {
    double d = std::fmod(b - a, 360.0);
    if (d > 180) d -= 360;
    if (d <= -180) d += 360;
    return d;
}

class Checker {
public:
    Checker(const TKEYFile& doc, std::vector<TFinding>& out) : doc_(doc), out_(out) {}

    void Add(TSeverity s, std::string message, int node = -1, int entry = -1, int marker = -1) {
        out_.push_back({s, std::move(message), marker, node, entry});
    }

    void Header() {
        const TKEYFile& d = doc_;
        if (d.Markers.Count() > kMaxMarkers)
            Add(TSeverity::Error, "There are " + std::to_string(d.Markers.Count()) +
                                      " markers: the game refuses a file with more than " +
                                      std::to_string(kMaxMarkers));
        if (d.FPS <= 0)
            Add(TSeverity::Error,
                "FPS is " + std::to_string(d.FPS) + ": the animation cannot be played");
        if (d.Frames <= 0)
            Add(TSeverity::Error,
                "FRAMES is " + std::to_string(d.Frames) + ": the animation has no frames");
        if (d.Joints < d.Nodes.Count())
            Add(TSeverity::Error, "JOINTS is " + std::to_string(d.Joints) + ", fewer than the " +
                                      std::to_string(d.Nodes.Count()) +
                                      " nodes: the game binds each node by its number, which "
                                      "must be a joint");
        for (int m = 0; m < d.Markers.Count(); ++m) {
            const double f = d.Markers[m].Frame;
            if (f < 0 || f > d.Frames)
                Add(TSeverity::Warning,
                    "Its frame " + Num(f) + " lies outside 0.." + std::to_string(d.Frames) +
                        ": the game never reaches it",
                    -1, -1, m);
        }
    }

    void Nodes() {
        std::unique_ptr<TKEYFile> fixed = doc_.Clone();
        fixed->RecalcAll();
        for (int n = 0; n < doc_.Nodes.Count(); ++n) {
            const TKEYNode& node = doc_.Nodes[n];
            if (node.MeshName.size() > kMaxMeshName)
                Add(TSeverity::Warning,
                    "Its mesh name is " + std::to_string(node.MeshName.size()) +
                        " characters long: the game keeps the first " +
                        std::to_string(kMaxMeshName),
                    n);
            const TKEYEntries& entries = node.Entries;
            if (entries.Empty()) {
                Add(TSeverity::Error, "It has no entries: the node cannot be posed", n);
                continue;
            }
            if (entries[0].Frame != 0)
                Add(TSeverity::Error,
                    "The first entry is at frame " + std::to_string(entries[0].Frame) +
                        ", not 0: the node cannot be posed before it",
                    n, 0);
            for (int i = 0; i < entries.Count(); ++i)
                Entry(n, i, fixed->Nodes[n].Entries[i]);
        }
    }

private:
    void Entry(int n, int i, const TKEYEntry& expected) {
        const TKEYEntries& entries = doc_.Nodes[n].Entries;
        const TKEYEntry& e = entries[i];
        if (i > 0) {
            const int32_t before = entries[i - 1].Frame;
            if (e.Frame < before)
                Add(TSeverity::Error,
                    "Frame " + std::to_string(e.Frame) + " comes after frame " +
                        std::to_string(before) + ": entries must be in increasing frame order",
                    n, i);
            else if (e.Frame == before)
                Add(TSeverity::Warning,
                    "Frame " + std::to_string(e.Frame) + " is also the frame of the entry before",
                    n, i);
        }
        if (e.Frame >= doc_.Frames && doc_.Frames > 0)
            Add(TSeverity::Warning,
                "Frame " + std::to_string(e.Frame) + " lies at or past FRAMES (" +
                    std::to_string(doc_.Frames) + "): the game never reaches it",
                n, i);

        const bool last = i == entries.Count() - 1;
        const bool hasNext = !last || doc_.Flags != 0;
        const TKEYEntry* next = hasNext ? &entries[last ? 0 : i + 1] : nullptr;
        double distance;
        if (next)
            distance =
                last ? double(doc_.Frames) - e.Frame + next->Frame : double(next->Frame) - e.Frame;
        else
            distance = double(doc_.Frames) - 1 - e.Frame; // the rates run on to the end
        // Stale rates: the pose they lead to misses the next entry by the jump.
        const double stored[6] = {e.DX, e.DY, e.DZ, e.DPitch, e.DYaw, e.DRoll};
        const double fresh[6] = {expected.DX,     expected.DY,   expected.DZ,
                                 expected.DPitch, expected.DYaw, expected.DRoll};
        double worst = 0, jump = 0;
        for (int k = 0; k < 6; ++k) {
            const double off = std::abs(stored[k] - fresh[k]);
            if (off > worst) worst = off;
            jump = std::max(jump, off * std::max(1.0, std::abs(distance)));
        }
        if (worst > 1e-8) { // more than the 8 decimals the file keeps
            std::string when;
            if (!next)
                when = "by the last frame, " + std::to_string(doc_.Frames - 1);
            else if (last)
                when = "as the loop comes back to frame " + std::to_string(next->Frame);
            else
                when = "at frame " + std::to_string(next->Frame);
            Add(TSeverity::Warning,
                "Its rates are stale: the pose jumps by " + Num(jump) + " " + when +
                    " (recalculate the rates)",
                n, i);
        }
        if (!next) return;
        // Flags that hide a change: the game leaves out what the flags do not mark.
        const double moved =
            std::max({std::abs(next->X - e.X), std::abs(next->Y - e.Y), std::abs(next->Z - e.Z)});
        const double turned = std::max({std::abs(AngleDiff(e.Pitch, next->Pitch)),
                                        std::abs(AngleDiff(e.Yaw, next->Yaw)),
                                        std::abs(AngleDiff(e.Roll, next->Roll))});
        if (!(e.Flags & 1) && moved > 1e-8)
            Add(TSeverity::Warning,
                "Its flags " + Hex(uint32_t(e.Flags)) +
                    " do not mark a change of position, but the position changes by " + Num(moved) +
                    " to the next entry: the game leaves that change out",
                n, i);
        if (!(e.Flags & 2) && turned > 1e-8)
            Add(TSeverity::Warning,
                "Its flags " + Hex(uint32_t(e.Flags)) +
                    " do not mark a change of orientation, but an angle changes by " + Num(turned) +
                    " degrees to the next entry: the game leaves that change out",
                n, i);
    }

    const TKEYFile& doc_;
    std::vector<TFinding>& out_;
};

} // namespace

std::vector<TFinding> CheckKeyAgainstModel(const TKEYFile& doc, const T3DO& model) {
    std::vector<TFinding> out;
    std::vector<char> used(size_t(model.HNodes.Count()), 0);
    for (int n = 0; n < doc.Nodes.Count(); ++n) {
        const std::string& name = doc.Nodes[n].MeshName;
        const int m = TKEYFile::FindModelNode(name, model, used);
        if (m < 0) {
            out.push_back({TSeverity::Warning,
                           "It matches no node of the model: the editor does not move it", -1, n,
                           -1});
            continue;
        }
        if (m != n) {
            std::string bound = n < model.HNodes.Count() ? "model node " + std::to_string(n) +
                                                               " (" + model.HNodes[n].Name + ")"
                                                         : "no model node";
            out.push_back({TSeverity::Warning,
                           "The editor poses model node " + std::to_string(m) + " (" +
                               model.HNodes[m].Name + ") with it, by name; the game binds it by " +
                               "its number to " + bound,
                           -1, n, -1});
        }
    }
    for (int m = 0; m < model.HNodes.Count(); ++m) {
        const T3DOHNode& h = model.HNodes[m];
        const bool mesh = h.Mesh >= 0 && h.Mesh < model.Meshes.Count() &&
                          model.Meshes[h.Mesh].Faces.Vertices.Count() > 0;
        if (mesh && !used[size_t(m)])
            out.push_back({TSeverity::Warning,
                           "Model node " + std::to_string(m) + " (" + h.Name +
                               ") shows a mesh that no node of the KEY moves",
                           -1, -1, -1});
    }
    return out;
}

std::vector<TFinding> CheckKey(const TKEYFile& doc, const T3DO* model) {
    std::vector<TFinding> out;
    Checker c(doc, out);
    c.Header();
    c.Nodes();
    if (model) {
        std::vector<TFinding> match = CheckKeyAgainstModel(doc, *model);
        out.insert(out.end(), match.begin(), match.end());
    }
    return out;
}

std::string WhereText(const TFinding& f, const TKEYFile& doc) {
    if (f.Marker >= 0) return "marker " + std::to_string(f.Marker);
    if (f.Node < 0) return "header";
    std::string s = "node " + std::to_string(f.Node);
    if (f.Node < doc.Nodes.Count()) s += " (" + doc.Nodes[f.Node].MeshName + ")";
    if (f.Entry >= 0) s += " entry " + std::to_string(f.Entry);
    return s;
}

const char* SeverityText(TSeverity severity) {
    return severity == TSeverity::Error ? "error" : "warning";
}

std::vector<std::string> FindingLines(const std::vector<TFinding>& findings, const TKEYFile& doc,
                                      size_t limit) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < findings.size() && i < limit; ++i)
        lines.push_back(WhereText(findings[i], doc) + ": " + findings[i].Message);
    if (findings.size() > limit)
        lines.push_back("... and " + std::to_string(findings.size() - limit) + " more");
    return lines;
}

} // namespace vorlin
