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

// How far the position and the orientation change from one entry to the next.
double Moved(const TKEYEntry& e, const TKEYEntry& next) {
    return std::max({std::abs(next.X - e.X), std::abs(next.Y - e.Y), std::abs(next.Z - e.Z)});
}
double Turned(const TKEYEntry& e, const TKEYEntry& next) {
    return std::max({std::abs(AngleDiff(e.Pitch, next.Pitch)), std::abs(AngleDiff(e.Yaw, next.Yaw)),
                     std::abs(AngleDiff(e.Roll, next.Roll))});
}

class Checker {
public:
    // fileRules: the rules of the file's structure are checked on the document (no text).
    Checker(const TKEYFile& doc, std::vector<TFinding>& out, bool fileRules)
        : doc_(doc), out_(out), fileRules_(fileRules) {}

    void Add(TSeverity s, std::string message, int node = -1, int entry = -1, int marker = -1) {
        out_.push_back({s, std::move(message), marker, node, entry});
    }

    void Header() {
        const TKEYFile& d = doc_;
        if (fileRules_ && d.Markers.Count() > kMaxMarkers)
            Add(TSeverity::Error, "There are " + std::to_string(d.Markers.Count()) +
                                      " markers: the game refuses a file with more than " +
                                      std::to_string(kMaxMarkers));
        if (d.FPS <= 0)
            Add(TSeverity::Error, "FPS is " + Num(d.FPS) + ": the animation cannot be played");
        if (d.Frames <= 0)
            Add(TSeverity::Error,
                "FRAMES is " + std::to_string(d.Frames) + ": the animation has no frames");
        if (fileRules_ && d.Joints < d.Nodes.Count())
            Add(TSeverity::Error, "JOINTS is " + std::to_string(d.Joints) + ", fewer than the " +
                                      std::to_string(d.Nodes.Count()) +
                                      " nodes: the game's joint table has no room for them");
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
            if (fileRules_) FileRules(n);
            const TKEYEntries& entries = node.Entries;
            if (entries.Empty()) {
                Add(TSeverity::Warning, "It has no entries: the game leaves its joint at rest", n);
                continue;
            }
            if (entries[0].Frame > 0)
                Add(TSeverity::Warning,
                    "The first entry is at frame " + std::to_string(entries[0].Frame) +
                        ": the game poses frames 0 to " + std::to_string(entries[0].Frame - 1) +
                        " from it, carried back by its rates",
                    n, 0);
            for (int i = 0; i < entries.Count(); ++i)
                Entry(n, i, fixed->Nodes[n].Entries[i]);
        }
    }

private:
    // What the game's loader checks of a node as it reads the file: its number and its name.
    void FileRules(int n) {
        const TKEYNode& node = doc_.Nodes[n];
        const int32_t number = doc_.Joint(n);
        if (number < 0 || number >= doc_.Joints)
            Add(TSeverity::Error,
                "NODE " + std::to_string(number) + " is outside the " +
                    std::to_string(std::max(doc_.Joints, 0)) +
                    " joints of JOINTS: the game writes outside its joint table",
                n);
        else if (doc_.NodeOfJoint(number) != n)
            Add(TSeverity::Error,
                "NODE " + std::to_string(number) +
                    " comes again later: the game drops this node for the later one",
                n);
        if (node.MeshName.empty())
            Add(TSeverity::Error, "Its mesh name is empty: the game refuses the file", n);
        else if (node.MeshName.find_first_of(" \t\r\n\v\f") != std::string::npos)
            Add(TSeverity::Error,
                "Its mesh name holds a blank: the game reads the name only up to it", n);
        else if (node.MeshName.size() > kMaxMeshName)
            Add(TSeverity::Error,
                "Its mesh name is " + std::to_string(node.MeshName.size()) +
                    " characters long: it overflows the game's buffer of " +
                    std::to_string(kMaxMeshName) + " and a line end",
                n);
    }

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
            if (!(e.Flags & (k < 3 ? 1 : 2))) continue; // rates the game does not apply
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
        // Rates the flags do not mark: the game does not apply them.
        const bool movedByRates = e.DX != 0 || e.DY != 0 || e.DZ != 0;
        const bool turnedByRates = e.DPitch != 0 || e.DYaw != 0 || e.DRoll != 0;
        if (!(e.Flags & 1) && movedByRates && !(next && Moved(e, *next) > 1e-8))
            Add(TSeverity::Warning,
                "Its flags " + Hex(uint32_t(e.Flags)) +
                    " do not mark its position rates: the game ignores these rates",
                n, i);
        if (!(e.Flags & 2) && turnedByRates && !(next && Turned(e, *next) > 1e-8))
            Add(TSeverity::Warning,
                "Its flags " + Hex(uint32_t(e.Flags)) +
                    " do not mark its rotation rates: the game ignores these rates",
                n, i);
        if (!next) return;
        // Flags that hide a change: the game leaves out what the flags do not mark.
        const double moved = Moved(e, *next);
        const double turned = Turned(e, *next);
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
    bool fileRules_;
};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

} // namespace

std::vector<TFinding> CheckKeyAgainstModel(const TKEYFile& doc, const T3DO& model) {
    std::vector<TFinding> out;
    const int joints = model.HNodes.Count();
    for (int n = 0; n < doc.Nodes.Count(); ++n) {
        const std::string& name = doc.Nodes[n].MeshName;
        const int32_t j = doc.Joint(n);
        if (j < 0 || j >= joints) {
            out.push_back({TSeverity::Warning,
                           "NODE " + std::to_string(j) +
                               " drives no node of the model, which has " + std::to_string(joints) +
                               ": nothing moves with it",
                           -1, n, -1});
            continue;
        }
        if (!SameText(name, model.HNodes[j].Name))
            out.push_back({TSeverity::Warning,
                           "NODE " + std::to_string(j) + " '" + Lower(name) +
                               "' drives model node " + std::to_string(j) + " '" +
                               Lower(model.HNodes[j].Name) + "' in the game",
                           -1, n, -1});
    }
    for (int m = 0; m < joints; ++m) {
        const T3DOHNode& h = model.HNodes[m];
        const bool mesh = h.Mesh >= 0 && h.Mesh < model.Meshes.Count() &&
                          model.Meshes[h.Mesh].Faces.Vertices.Count() > 0;
        if (mesh && doc.NodeOfJoint(m) < 0)
            out.push_back({TSeverity::Warning,
                           "Model node " + std::to_string(m) + " (" + h.Name +
                               ") shows a mesh that no node of the KEY moves",
                           -1, -1, -1});
    }
    return out;
}

std::vector<TFinding> CheckKey(const TKEYFile& doc, const T3DO* model, const std::string* text) {
    std::vector<TFinding> out;
    if (text) out = CheckKeyText(*text);
    Checker c(doc, out, text == nullptr);
    c.Header();
    c.Nodes();
    if (doc.Flags != 0) // the editor plays it as a loop, as the game does a looping one
        for (const TLoopSeam& s : LoopSeams(doc)) {
            TFinding f;
            f.Node = s.Node;
            f.Message = std::string("The loop does not close: ") + s.Channel + " runs to " +
                        Num(s.Last) + " at the end, but is " + Num(s.First) +
                        " at frame 0, so the animation jumps once a cycle (Edit > Match Loop)";
            out.push_back(f);
        }
    if (model) {
        std::vector<TFinding> match = CheckKeyAgainstModel(doc, *model);
        out.insert(out.end(), match.begin(), match.end());
    }
    return out;
}

std::vector<TLoopSeam> LoopSeams(const TKEYFile& doc) {
    std::vector<TLoopSeam> seams;
    if (doc.Frames <= 0) return seams;
    for (int k = 0; k < doc.Nodes.Count(); ++k) {
        if (doc.Nodes[k].Entries.Count() == 0) continue;
        const TKEYPose a = doc.EvaluateNode(k, 0), b = doc.EvaluateNode(k, doc.Frames);
        const struct {
            const char* name;
            double first, last, share;
        } channels[] = {
            {"x", a.X, b.X, std::abs(b.X - a.X) / 1e-3},
            {"y", a.Y, b.Y, std::abs(b.Y - a.Y) / 1e-3},
            {"z", a.Z, b.Z, std::abs(b.Z - a.Z) / 1e-3},
            {"pitch", a.Pitch, b.Pitch, std::abs(AngleDiff(a.Pitch, b.Pitch)) / 0.1},
            {"yaw", a.Yaw, b.Yaw, std::abs(AngleDiff(a.Yaw, b.Yaw)) / 0.1},
            {"roll", a.Roll, b.Roll, std::abs(AngleDiff(a.Roll, b.Roll)) / 0.1},
        };
        const auto worst =
            std::max_element(std::begin(channels), std::end(channels),
                             [](const auto& p, const auto& q) { return p.share < q.share; });
        if (worst->share > 1) seams.push_back({k, worst->name, worst->first, worst->last});
    }
    return seams;
}

std::string WhereText(const TFinding& f, const TKEYFile& doc) {
    const std::string line = f.Line > 0 ? "line " + std::to_string(f.Line) : "";
    if (f.Marker >= 0) return "marker " + std::to_string(f.Marker);
    if (f.Node < 0) return f.Line > 0 ? line : "header";
    std::string s = (f.Line > 0 ? line + ", " : "") + "node " + std::to_string(f.Node);
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
