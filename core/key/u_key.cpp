#include "key/u_key.h"

#include <charconv>
#include <cmath>

#include "model/u_3dos.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "support/Files.h"
#include "support/misc_utils.h"

namespace vorlin {

TKEYFile::TKEYFile() {
    FPS = Settings.DEFAULT_FRAMERATE;
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

// Hands out the significant lines of a KEY text: cut at "#", trimmed of blanks and control
// characters, upper-cased, tabs read as spaces (the game's sscanf does); empty ones and ";"
// comments skipped.
class SignificantLines {
public:
    explicit SignificantLines(TTextFile& text) : text_(text) {}

    bool Next(std::string& line) {
        while (!text_.Eof()) {
            text_.ReadLn(raw_);
            const std::string_view span = SignificantSpan(raw_);
            if (span.empty() || span[0] == ';') continue;
            line.resize(span.size());
            for (size_t i = 0; i < line.size(); ++i) {
                char c = span[i];
                if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
                if (c == '\t') c = ' ';
                line[i] = c;
            }
            return true;
        }
        return false;
    }

private:
    TTextFile& text_;
    std::string raw_;
};

// The name a "SECTION:" line gives ("SECTION: HEADER", or "SECTION:HEADER" as the game reads
// it too), or false when the line is not one.
bool SectionLine(const std::string& line, std::string& name) {
    constexpr std::string_view kSection = "SECTION:";
    if (line.compare(0, kSection.size(), kSection) != 0) return false;
    GetWord(line, int(kSection.size()) + 1, name);
    return true;
}

// The number of a count line ("NODES 3"); a line without a readable number counts as none.
int32_t ReadCount(const std::string& line, const char* format) {
    int32_t n = 0;
    SScanf(line, format, {&n});
    return n;
}

class KeyReader {
public:
    // keyed is set once the text shows something only a KEY has: a markers or nodes section,
    // or a header that gives one of the header's values (a model's text has a header section
    // too, but none of those values).
    KeyReader(TKEYFile& doc, TTextFile& text, bool& keyed)
        : doc_(doc), lines_(text), keyed_(keyed) {}

    void Run() {
        std::string name;
        bool named = false; // a section name is waiting to be read
        bool first = true;
        for (;;) {
            if (!named && !FindSection(name)) return;
            named = false;
            // The game reads the first section as the header whatever it is called ("SECTION:
            // HEADR"); only the names the editor knows keep their own meaning there.
            if (first && name != "MARKERS" && name != "KEYFRAME") name = "HEADER";
            first = false;
            if (name == "HEADER")
                named = ReadHeader(name);
            else if (name == "MARKERS") {
                keyed_ = true;
                if (!ReadMarkers()) return Cut();
            } else if (name == "KEYFRAME") {
                keyed_ = true;
                if (!ReadNodes()) return Cut();
                nodesRead_ = true;
            } else
                named = SkipSection(name);
        }
    }

    // The text held a nodes section and met every count it gave (NODES, ENTRIES, MARKERS).
    bool Whole() const { return nodesRead_ && !cut_; }

private:
    bool nodesRead_ = false;
    bool cut_ = false;
    void Cut() { cut_ = true; }

    bool FindSection(std::string& name) {
        while (lines_.Next(line_))
            if (SectionLine(line_, name)) return true;
        return false;
    }

    // Reads to the end of the section; true when a "SECTION:" line ended it.
    bool ReadHeader(std::string& next) {
        std::string key, value;
        while (lines_.Next(line_)) {
            if (line_ == "END") return false;
            if (SectionLine(line_, next)) return true;
            int pos = GetWord(line_, 1, key);
            GetWord(line_, pos, value);
            if (key == "FLAGS" || key == "TYPE" || key == "FRAMES" || key == "FPS" ||
                key == "JOINTS")
                keyed_ = true;
            if (key == "FLAGS")
                ValHex(value, doc_.Flags);
            else if (key == "TYPE")
                ValHex(value, doc_.KeyType);
            else if (key == "FRAMES")
                ValInt(value, doc_.Frames);
            else if (key == "FPS")
                ReadFPS(value);
            else if (key == "JOINTS")
                ValInt(value, doc_.Joints);
        }
        return false;
    }

    // The game reads a real number; a number that does not read whole keeps what its integer
    // part gives, as before.
    void ReadFPS(const std::string& value) {
        double fps = 0;
        if (ValDouble(value, fps) && std::isfinite(fps)) {
            doc_.FPS = fps;
            return;
        }
        int32_t whole = int32_t(doc_.FPS);
        ValInt(value, whole);
        doc_.FPS = whole;
    }

    bool SkipSection(std::string& next) {
        while (lines_.Next(line_)) {
            if (line_ == "END") return false;
            if (SectionLine(line_, next)) return true;
        }
        return false;
    }

    // The counted sections read a fixed number of lines; false when the text ended inside.
    bool ReadMarkers() {
        if (!lines_.Next(line_)) return false;
        int32_t n = ReadCount(line_, "MARKERS %d");
        for (int32_t k = 0; k < n; ++k) {
            if (!lines_.Next(line_)) return false;
            TKEYMarker& m = doc_.Markers.Add();
            SScanf(line_, "%f %d", {&m.Frame, &m.MarkerType});
        }
        return true;
    }

    bool ReadNodes() {
        if (!lines_.Next(line_)) return false;
        int32_t n = ReadCount(line_, "NODES %d");
        for (int32_t k = 0; k < n; ++k) {
            if (!lines_.Next(line_)) return false;
            TKEYNode& node = doc_.Nodes.Add();
            // The NODE number binds the node to its joint in the game: kept as read.
            std::string word, value;
            GetWord(line_, GetWord(line_, 1, word), value);
            int32_t number = 0;
            if (word == "NODE" && !value.empty() && ValInt(value, number)) node.NodeNumber = number;
            if (!lines_.Next(line_)) return false;
            SScanf(line_, "MESH NAME %s", {&node.MeshName});
            // A name is one word: a zero byte or a line break inside the line ends it, so
            // that what is written back is one line that reads as the same name.
            for (size_t c = 0; c < node.MeshName.size(); ++c)
                if (static_cast<unsigned char>(node.MeshName[c]) < 0x20) {
                    node.MeshName.resize(c);
                    break;
                }
            if (!lines_.Next(line_)) return false;
            int32_t m = ReadCount(line_, "ENTRIES %d");
            for (int32_t j = 0; j < m; ++j) {
                if (!lines_.Next(line_)) return false;
                TKEYEntry& e = node.Entries.Add();
                const bool more = lines_.Next(rates_);
                if (more && PlainEntry(line_, rates_, e)) continue;
                frame_.clear();
                SScanf(line_, "%s %s %x %f %f %f %f %f %f",
                       {&column_, &frame_, &e.Flags, &e.X, &e.Y, &e.Z, &e.Pitch, &e.Yaw, &e.Roll});
                e.Frame = EntryFrame(frame_);
                if (!more) return false;
                SScanf(rates_, "%f %f %f %f %f %f",
                       {&e.DX, &e.DY, &e.DZ, &e.DPitch, &e.DYaw, &e.DRoll});
            }
        }
        return true;
    }

    // The game reads an entry's frame as a real number: one that is whole (10.0, 1e1) is
    // kept exactly; otherwise the integer its digits begin with, which Check KEY reports.
    static int32_t EntryFrame(const std::string& text) {
        double real = 0;
        if (text.find_first_of(".E") != std::string::npos && ValDouble(text, real) &&
            real == std::trunc(real) && real >= INT32_MIN && real <= INT32_MAX)
            return int32_t(real);
        int32_t frame = 0;
        SScanf(text, "%d", {&frame});
        return frame;
    }

    // An entry's two lines as the writer makes them: nine and six words, plain decimal
    // numbers and hexadecimal flags of up to seven digits. Read without the general scanner,
    // to the values it would give; false (e untouched) for anything else.
    static bool PlainEntry(std::string_view first, std::string_view second, TKEYEntry& e) {
        std::string_view w[15];
        if (!Words(first, w, 9) || !Words(second, w + 9, 6)) return false;
        int32_t frame = 0;
        uint32_t flags = 0;
        double v[12];
        const std::string_view hex = w[2];
        if (!PlainDecimal(w[1], false) || hex.size() < 3 || hex.size() > 9 || hex[0] != '0' ||
            hex[1] != 'X' || w[1].size() > 10)
            return false;
        const auto f = std::from_chars(w[1].data(), w[1].data() + w[1].size(), frame);
        const auto h = std::from_chars(hex.data() + 2, hex.data() + hex.size(), flags, 16);
        if (f.ec != std::errc() || f.ptr != w[1].data() + w[1].size() || h.ec != std::errc() ||
            h.ptr != hex.data() + hex.size())
            return false;
        for (int k = 0; k < 12; ++k) {
            const std::string_view t = w[k < 6 ? 3 + k : 9 + k - 6];
            const auto r = std::from_chars(t.data(), t.data() + t.size(), v[k]);
            if (!PlainDecimal(t, true) || r.ec != std::errc() || r.ptr != t.data() + t.size())
                return false;
        }
        e.Frame = frame;
        e.Flags = int32_t(flags);
        e.X = v[0], e.Y = v[1], e.Z = v[2], e.Pitch = v[3], e.Yaw = v[4], e.Roll = v[5];
        e.DX = v[6], e.DY = v[7], e.DZ = v[8], e.DPitch = v[9], e.DYaw = v[10], e.DRoll = v[11];
        return true;
    }
    // Exactly n words between blanks.
    static bool Words(std::string_view s, std::string_view* out, int n) {
        size_t i = 0;
        for (int k = 0; k < n; ++k) {
            while (i < s.size() && IsBlank(s[i]))
                ++i;
            const size_t start = i;
            while (i < s.size() && !IsBlank(s[i]))
                ++i;
            if (i == start) return false;
            out[k] = s.substr(start, i - start);
        }
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        return i == s.size();
    }
    // "-12" or, with a point allowed, "-12.5" (digits on both sides).
    static bool PlainDecimal(std::string_view t, bool point) {
        size_t i = t.size() > 1 && t[0] == '-' ? 1 : 0;
        const size_t digits = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        if (i == digits) return false;
        if (i < t.size() && point && t[i] == '.') {
            const size_t decimals = ++i;
            while (i < t.size() && t[i] >= '0' && t[i] <= '9')
                ++i;
            if (i == decimals) return false;
        }
        return i == t.size();
    }

    TKEYFile& doc_;
    SignificantLines lines_;
    bool& keyed_;
    std::string line_;
    std::string rates_;
    std::string column_;
    std::string frame_;
};

} // namespace

namespace {

std::unique_ptr<TKEYFile> ReadKey(std::unique_ptr<TFile> file, const std::string& path,
                                  bool* whole) {
    auto doc = std::make_unique<TKEYFile>();
    // The file really read: a bare name found by the search, or a disk name matched without
    // regard to case, is saved back where it came from, not under the name as given.
    doc->FullName = file->GetFullName();
    doc->Name = PathName(path);
    if (whole) *whole = false;
    bool keyed = false;
    try {
        TTextFile text(std::move(file));
        KeyReader reader(*doc, text, keyed);
        reader.Run();
        if (whole) *whole = reader.Whole();
    } catch (const std::exception& e) {
        if (!keyed) throw;               // nothing of a KEY was read: the error is the whole story
        LogMessage(mtWarning, e.what()); // the document keeps what was read before it
    }
    // Random bytes, an empty file or another program's ".key" would open as an empty
    // document that Save then writes over the file.
    if (!keyed)
        throw Error(PathName(path) +
                    " is not a KEY animation: it has none of a KEY's sections (HEADER with its "
                    "values, MARKERS, KEYFRAME)");
    return doc;
}

} // namespace

std::unique_ptr<TKEYFile> TKEYFile::CreateFromFile(const std::string& path, bool* whole) {
    return ReadKey(PathDir(path).empty() ? FindResource(path) : OpenFile(path), path, whole);
}

std::unique_ptr<TKEYFile> TKEYFile::CreateFromText(std::string text, const std::string& path,
                                                   bool* whole) {
    return ReadKey(std::make_unique<TMemoryFile>(std::move(text), path), path, whole);
}

std::unique_ptr<TKEYFile> TKEYFile::Clone() const {
    auto copy = std::make_unique<TKEYFile>();
    copy->Name = Name;
    copy->FullName = FullName;
    copy->SetHeader(Header());
    for (const auto& m : Markers)
        copy->Markers.Add(std::make_shared<TKEYMarker>(*m));
    for (const auto& n : Nodes) {
        TKEYNode& node = copy->Nodes.Add();
        node.MeshName = n->MeshName;
        node.NodeNumber = n->NodeNumber;
        for (const auto& e : n->Entries)
            node.Entries.Add(std::make_shared<TKEYEntry>(*e));
    }
    return copy;
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

// A number as the file writes it: fixed-point with `precision` decimals, "." as the point.
// The text lives in buf; an empty view when it does not fit (it always does for finite values).
struct FixedText {
    char buf[400];
    std::string_view Of(double v, int precision) {
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
        return r.ec == std::errc() ? std::string_view(buf, size_t(r.ptr - buf))
                                   : std::string_view();
    }
};

class KeyWriter {
public:
    std::string out;

    void Text(std::string_view s) { out += s; }
    void Line(std::string_view s = {}) {
        out += s;
        out += "\r\n";
    }
    void Pad(size_t width, size_t length) {
        if (length < width) out.append(width - length, ' ');
    }
    void Int(long long v, size_t width = 0, bool left = false) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        Field(std::string_view(buf, size_t(r.ptr - buf)), width, left);
    }
    // Upper-case hexadecimal after "0x", at least four digits.
    struct HexText {
        char buf[16];
        size_t size;
        std::string_view View() const { return {buf, size}; }
    };
    static HexText HexOf(uint32_t v) {
        HexText t;
        char digits[8];
        auto r = std::to_chars(digits, digits + sizeof digits, v, 16);
        size_t n = size_t(r.ptr - digits);
        t.buf[0] = '0';
        t.buf[1] = 'x';
        size_t k = 2;
        for (size_t pad = n; pad < 4; ++pad)
            t.buf[k++] = '0';
        for (size_t i = 0; i < n; ++i) {
            const char c = digits[i];
            t.buf[k++] = c >= 'a' && c <= 'f' ? char(c - 'a' + 'A') : c;
        }
        t.size = k;
        return t;
    }
    static std::string Hex(uint32_t v) { return std::string(HexOf(v).View()); }
    // printf's "%W.Pf" (or "%-W.Pf") without the C locale.
    void Fixed(double v, int precision, size_t width, bool left = false) {
        FixedText text;
        Field(text.Of(v, precision), width, left);
    }
    void Field(std::string_view s, size_t width, bool left = false) {
        if (!left) Pad(width, s.size());
        out += s;
        if (left) Pad(width, s.size());
    }
};

} // namespace

namespace {

std::string ValueText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

const char* const kValueNames[12] = {"X",  "Y",  "Z",  "Pitch",  "Yaw",  "Roll",
                                     "DX", "DY", "DZ", "DPitch", "DYaw", "DRoll"};

// Whether a value's fixed-point text reads back: finite, and no longer than the reader's word.
bool Readable(double v, std::string_view text) {
    return std::isfinite(v) && !text.empty() && text.size() <= size_t(kScanWordBuffer);
}

// The game reads a mesh name as one word: an empty one fails its load, a blank inside ends
// the name early (and the rest of the line fails the next read).
void CheckMeshName(const TKEYNode& node, int n) {
    if (node.MeshName.empty())
        throw Error("Cannot save node " + std::to_string(n) +
                    ": its mesh name is empty, and the game refuses a node without one");
    if (node.MeshName.find_first_of(std::string_view(" \t\n\v\f\r\0", 7)) != std::string::npos)
        throw Error("Cannot save node " + std::to_string(n) + " (" + node.MeshName +
                    "): its mesh name holds a blank, where the game's reading of the name ends");
}

// The game keeps a node in the joint table at its NODE number: a number outside 0..JOINTS-1
// makes it write outside that table.
void CheckJoint(const TKEYFile& doc, int n) {
    const int32_t joint = doc.Joint(n);
    if (joint >= 0 && joint < doc.Joints) return;
    throw Error("Cannot save node " + std::to_string(n) + " (" + doc.Nodes[n].MeshName +
                "): its NODE number " + std::to_string(joint) + " is outside the " +
                std::to_string(std::max(doc.Joints, 0)) +
                " joints of JOINTS, and the game would write outside its joint table. Raise "
                "JOINTS in the KEY Summary.");
}

// The FPS as written: a whole number as an integer (the text every stock file has), another
// in its shortest form that reads back.
std::string FPSText(double fps) {
    char buf[64];
    std::to_chars_result r;
    if (fps == std::trunc(fps) && std::abs(fps) < 9.2e18)
        r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(fps));
    else
        r = std::to_chars(buf, buf + sizeof buf, fps);
    return std::string(buf, r.ptr);
}

// The KEY text of a document. With check, the first value or name that would not read back
// raises the error that names it, as each is written (one pass: a save formats each value
// once).
std::string WriteKey(const TKEYFile& doc, bool check) {
    KeyWriter w;
    size_t entries = 0;
    for (const auto& node : doc.Nodes)
        entries += size_t(node->Entries.Count());
    // An entry takes two lines of about 100 characters each.
    w.out.reserve(1024 + size_t(doc.Markers.Count()) * 32 + size_t(doc.Nodes.Count()) * 320 +
                  entries * 208);
    w.Line("# KEYFRAME " + doc.Name + " created by Vorlin " VORLIN_VERSION);
    w.Line();
    w.Line("###############");
    w.Line("SECTION: HEADER");
    w.Line();
    w.Line("FLAGS  " + KeyWriter::Hex(doc.Flags));
    w.Line("TYPE   " + KeyWriter::Hex(doc.KeyType));
    w.Text("FRAMES ");
    w.Int(doc.Frames);
    w.Line();
    if (check && !std::isfinite(doc.FPS))
        throw Error("Cannot save: its FPS " + ValueText(doc.FPS) + " is not a number");
    w.Line("FPS    " + FPSText(doc.FPS));
    w.Text("JOINTS ");
    w.Int(doc.Joints);
    w.Line();
    w.Line();
    w.Line();
    FixedText text;
    if (doc.Markers.Count() > 0) {
        w.Line("###############");
        w.Line("SECTION: MARKERS");
        w.Line();
        w.Text("MARKERS ");
        w.Int(doc.Markers.Count());
        w.Line();
        w.Line();
        int m = 0;
        for (const auto& marker : doc.Markers) {
            const std::string_view frame = text.Of(marker->Frame, 6);
            if (check && !Readable(marker->Frame, frame))
                throw Error("Cannot save marker " + std::to_string(m) + ": its frame " +
                            ValueText(marker->Frame) + " cannot be written as a number");
            w.Field(frame, 9, true);
            w.Text(" ");
            w.Int(marker->MarkerType);
            w.Line();
            ++m;
        }
        w.Line();
        w.Line();
    }
    w.Line("###############");
    w.Line("SECTION: KEYFRAME NODES");
    w.Line();
    w.Text("NODES ");
    w.Int(doc.Nodes.Count());
    w.Line();
    w.Line();
    for (int n = 0; n < doc.Nodes.Count(); ++n) {
        const TKEYNode& node = doc.Nodes[n];
        if (check) {
            CheckMeshName(node, n);
            CheckJoint(doc, n);
        }
        w.Text("NODE ");
        w.Int(doc.Joint(n));
        w.Line();
        w.Line("MESH NAME " + node.MeshName);
        w.Text("ENTRIES ");
        w.Int(node.Entries.Count());
        w.Line();
        w.Line();
        w.Line("# num:   frame:   flags:           x:           y:           z:           p:  "
               "         y:           r:");
        w.Line("#                                 dx:          dy:          dz:          dp:  "
               "        dy:          dr:");
        int k = 0;
        for (const auto& e : node.Entries) {
            char num[16];
            auto r = std::to_chars(num, num + sizeof num - 1, k);
            *r.ptr++ = ':';
            w.Field(std::string_view(num, size_t(r.ptr - num)), 5);
            w.Text(" ");
            w.Int(e->Frame, 8);
            w.Text(" ");
            w.Field(KeyWriter::HexOf(static_cast<uint32_t>(e->Flags)).View(), 8);
            const double values[12] = {e->X,  e->Y,  e->Z,  e->Pitch,  e->Yaw,  e->Roll,
                                       e->DX, e->DY, e->DZ, e->DPitch, e->DYaw, e->DRoll};
            for (int v = 0; v < 12; ++v) {
                const std::string_view t = text.Of(values[v], 8);
                if (check && !Readable(values[v], t))
                    throw Error("Cannot save entry " + std::to_string(k) + " of node " +
                                std::to_string(n) + " (" + node.MeshName + "): its " +
                                kValueNames[v] + " " + ValueText(values[v]) +
                                " cannot be written as a number that reads back");
                if (v == 6) {
                    w.Line();
                    w.Field(t, 36);
                } else {
                    w.Text(" ");
                    w.Field(t, 12);
                }
            }
            w.Line();
            ++k;
        }
        w.Line();
    }
    return std::move(w.out);
}

} // namespace

std::string TKEYFile::ToText() const {
    return WriteKey(*this, false);
}

void TKEYFile::CheckSavable() const {
    (void)WriteKey(*this, true);
}

void TKEYFile::SaveToFile(const std::string& path) const {
    if (IsContainerPath(path))
        throw Error("Cannot write file inside container: " + path.substr(path.find('>') + 1));
    ReplaceFileContents(path, WriteKey(*this, true));
}

namespace {

// Whether a value of the document is what the file holds: the same number, or one the file's
// text form cannot tell apart from it (saving it again would write the same text).
bool SameWritten(double mine, double file, int precision) {
    if (mine == file) return true;
    FixedText a, b;
    const std::string_view ta = a.Of(mine, precision);
    return !ta.empty() && ta == b.Of(file, precision);
}

} // namespace

bool TKEYFile::IsModified() const {
    if (FullName.empty()) return true;
    std::unique_ptr<TKEYFile> disk = CreateFromFile(FullName);
    const TKEYFile& f = *disk;
    if (Name != f.Name || FullName != f.FullName || Header() != f.Header() ||
        Nodes.Count() != f.Nodes.Count() || Markers.Count() != f.Markers.Count())
        return true;
    for (int i = 0; i < Markers.Count(); ++i)
        if (!SameWritten(Markers[i].Frame, f.Markers[i].Frame, 6) ||
            Markers[i].MarkerType != f.Markers[i].MarkerType)
            return true;
    for (int n = 0; n < Nodes.Count(); ++n) {
        const TKEYNode& a = Nodes[n];
        const TKEYNode& b = f.Nodes[n];
        if (a.MeshName != b.MeshName || Joint(n) != f.Joint(n) ||
            a.Entries.Count() != b.Entries.Count())
            return true;
        for (int i = 0; i < a.Entries.Count(); ++i) {
            const TKEYEntry& x = a.Entries[i];
            const TKEYEntry& y = b.Entries[i];
            if (x.Flags != y.Flags || x.Frame != y.Frame) return true;
            const double mine[12] = {x.X,  x.Y,  x.Z,  x.Pitch,  x.Yaw,  x.Roll,
                                     x.DX, x.DY, x.DZ, x.DPitch, x.DYaw, x.DRoll};
            const double file[12] = {y.X,  y.Y,  y.Z,  y.Pitch,  y.Yaw,  y.Roll,
                                     y.DX, y.DY, y.DZ, y.DPitch, y.DYaw, y.DRoll};
            for (int k = 0; k < 12; ++k)
                if (!SameWritten(mine[k], file[k], 8)) return true;
        }
    }
    return false;
}

} // namespace vorlin
