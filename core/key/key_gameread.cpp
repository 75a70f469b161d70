// The game's loader of KEY texts, as far as a check needs it: it reads the file a line at a
// time into a buffer of 1024 bytes, lower-cases each line, skips lines that begin with "#",
// ";" or a line end, and reads each of the others with one sscanf pattern in a fixed order,
// refusing the whole file at the first line that does not match. Nothing after the last node
// is read.
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

#include "key/key_check.h"
#include "support/FileOperations.h"
#include "support/Files.h"
#include "support/misc_utils.h"

namespace vorlin {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// sscanf's conversions over one line, for the patterns the loader uses.
class Scan {
public:
    explicit Scan(std::string_view line) : p_(line.data()), end_(line.data() + line.size()) {}

    void Blanks() {
        while (p_ < end_ && IsSpace(*p_))
            ++p_;
    }
    // A literal of the pattern, after the blanks a pattern's space stands for.
    bool Lit(std::string_view word) {
        Blanks();
        if (size_t(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word)
            return false;
        p_ += word.size();
        return true;
    }
    // A literal that must follow at once (the colon after an entry's number).
    bool Char(char c) {
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }
    // %d and %x.
    bool Int(long long& value, int base = 10) {
        Blanks();
        const char* q = p_;
        bool minus = false;
        if (q < end_ && (*q == '+' || *q == '-')) minus = *q++ == '-';
        if (base == 16 && end_ - q > 2 && q[0] == '0' && (q[1] == 'x' || q[1] == 'X') &&
            std::isxdigit(static_cast<unsigned char>(q[2])))
            q += 2;
        unsigned long long v = 0;
        auto r = std::from_chars(q, end_, v, base);
        if (r.ec == std::errc::invalid_argument) return false;
        value = minus ? -static_cast<long long>(v) : static_cast<long long>(v);
        p_ = r.ptr;
        return true;
    }
    // %f, as strtod reads it: a sign, decimal or hexadecimal digits with an exponent, inf, nan.
    bool Real(double& value) {
        Blanks();
        const char* q = p_;
        bool minus = false;
        if (q < end_ && (*q == '+' || *q == '-')) minus = *q++ == '-';
        for (std::string_view word : {"infinity", "inf", "nan"})
            if (size_t(end_ - q) >= word.size() && std::string_view(q, word.size()) == word) {
                value = word == "nan" ? NAN : (minus ? -INFINITY : INFINITY);
                p_ = q + word.size();
                return true;
            }
        std::from_chars_result r;
        if (end_ - q > 2 && q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
            r = std::from_chars(q + 2, end_, value, std::chars_format::hex);
            if (r.ec == std::errc::invalid_argument) { // "0x" alone reads as 0
                value = 0;
                r.ptr = q + 1;
                r.ec = {};
            }
        } else {
            r = std::from_chars(q, end_, value);
        }
        if (r.ec == std::errc::invalid_argument) return false;
        if (minus) value = -value;
        p_ = r.ptr;
        return true;
    }
    // %s: the next word; false when the line holds none.
    bool Word(std::string_view& word) {
        Blanks();
        const char* q = p_;
        while (p_ < end_ && !IsSpace(*p_))
            ++p_;
        word = std::string_view(q, size_t(p_ - q));
        return !word.empty();
    }

private:
    const char* p_;
    const char* end_;
};

std::string Quote(std::string_view s) {
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return "\"" + std::string(s.substr(0, 60)) + (s.size() > 60 ? "...\"" : "\"");
}

// The loader's lines: cut as its buffer cuts them, lower-cased, the skipped ones passed over.
class GameLines {
public:
    GameLines(std::string_view text, std::vector<TFinding>& out) : text_(text), out_(out) {}

    // The next line the loader reads, with its number; false at the end of the file. A line
    // that ends with a backslash is joined with the next one (comment lines between skipped).
    bool Next(std::string& line, int& number) {
        std::string_view piece;
        for (;;) {
            if (!Piece(piece)) return false;
            const char first = piece[0];
            if (first == '#' || first == ';' || first == '\r' || first == '\n') continue;
            break;
        }
        number = lineNo_;
        line.assign(piece);
        while (line.size() >= 2 && line.ends_with("\\\n") && pos_ < text_.size()) {
            const int from = lineNo_;
            line.resize(line.size() - 2);
            bool more;
            while ((more = Piece(piece)) && (piece[0] == '#' || piece[0] == ';')) {
            }
            if (!more) break; // only comments followed
            TFinding& f =
                Add(TSeverity::Warning,
                    "This line ends with a backslash, which makes the game read line " +
                        std::to_string(lineNo_) + " as part of it; the editor reads them apart",
                    -1, -1, from);
            f.OnLoad = true;
            line.append(piece);
        }
        const size_t nul = line.find('\0');
        if (nul != std::string::npos) {
            Add(TSeverity::Warning,
                "This line holds a NUL byte: the game and the editor read it only up to there", -1,
                -1, number);
            line.resize(nul);
        }
        for (char& c : line)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return true;
    }

    // What one fgets hands over: up to the line feed, or 1023 bytes; false at the end.
    bool Piece(std::string_view& piece) {
        if (pos_ >= text_.size()) return false;
        if (!pieceLeft_) {
            ++lineNo_;
            const size_t lf = text_.find('\n', pos_);
            const size_t end = lf == std::string_view::npos ? text_.size() : lf;
            if (end - pos_ > kMaxGameLine)
                Add(TSeverity::Error, "This line is " + std::to_string(end - pos_) +
                                          " bytes long: the game reads its first " +
                                          std::to_string(kMaxGameLine) +
                                          " bytes as one line and the rest as another");
        }
        size_t n = std::min(text_.size() - pos_, kMaxGameLine + 1);
        const size_t lf = text_.substr(pos_, n).find('\n');
        if (lf != std::string_view::npos) n = lf + 1;
        piece = text_.substr(pos_, n);
        pos_ += n;
        pieceLeft_ = piece.back() != '\n' && pos_ < text_.size();
        return true;
    }
    int LastLine() const { return lineNo_; }

    TFinding& Add(TSeverity s, std::string message, int node = -1, int entry = -1, int line = 0) {
        out_.push_back({s, std::move(message), -1, node, entry, line ? line : lineNo_, false});
        return out_.back();
    }

private:
    std::string_view text_;
    std::vector<TFinding>& out_;
    size_t pos_ = 0;
    int lineNo_ = 0;
    bool pieceLeft_ = false; // the rest of a line longer than the buffer comes next
};

// Thrown where the loader gives up: the finding is already made.
struct Refused {};

class GameReader {
public:
    GameReader(std::string_view text, std::vector<TFinding>& out) : lines_(text, out) {}

    void Run() {
        try {
            Read();
        } catch (const Refused&) {
        }
    }

private:
    void Read() {
        std::string_view word;
        Expect("SECTION: HEADER", [&](Scan& s) { return s.Lit("section:") && s.Word(word); });
        if (word != "header")
            Add(TSeverity::Warning, "The first section is named " + Quote(word) +
                                        ": the game reads the header here whatever its name; "
                                        "call it SECTION: HEADER");
        long long flags = 0, frames = 0, type = 0, joints = 0;
        double fps = 0;
        Expect("FLAGS n", [&](Scan& s) { return s.Lit("flags") && s.Int(flags); });
        if (flags == 0 && line_.find("0x") != std::string::npos &&
            line_.find_first_of("123456789abcdef", line_.find("0x") + 2) != std::string::npos)
            Add(TSeverity::Warning,
                "FLAGS is written in hexadecimal, which the game reads as 0 (it does not use "
                "FLAGS; the editor loops the animation on it)");
        Expect("TYPE 0xhex", [&](Scan& s) { return s.Lit("type") && s.Int(type, 16); });
        Expect("FRAMES n", [&](Scan& s) { return s.Lit("frames") && s.Int(frames); });
        Expect("FPS n", [&](Scan& s) { return s.Lit("fps") && s.Real(fps); });
        Expect("JOINTS n", [&](Scan& s) { return s.Lit("joints") && s.Int(joints); });
        Expect("SECTION: ...", [&](Scan& s) { return s.Lit("section:") && s.Word(word); });
        if (word == "markers") {
            long long markers = 0;
            Expect("MARKERS n", [&](Scan& s) { return s.Lit("markers") && s.Int(markers); });
            if (markers > kMaxMarkers)
                Refuse("MARKERS " + std::to_string(markers) +
                       ": the game refuses a file with more than " + std::to_string(kMaxMarkers));
            for (long long m = 0; m < markers; ++m) {
                double frame = 0;
                long long kind = 0;
                Expect("frame type", [&](Scan& s) { return s.Real(frame) && s.Int(kind); });
            }
            Expect("SECTION: KEYFRAME NODES",
                   [&](Scan& s) { return s.Lit("section:") && s.Word(word); });
        }
        if (word != "keyframe")
            Add(TSeverity::Warning, "This section is named " + Quote(word) +
                                        ": the game reads the nodes here whatever its name, the "
                                        "editor only in SECTION: KEYFRAME NODES")
                .OnLoad = true;
        long long nodes = 0;
        Expect("NODES n", [&](Scan& s) { return s.Lit("nodes") && s.Int(nodes); });
        if (nodes < 0 || nodes > joints)
            Add(TSeverity::Error,
                "NODES " + std::to_string(nodes) +
                    (nodes < 0 ? " is negative"
                               : " is more than JOINTS " + std::to_string(joints)) +
                    ": the game's joint table has no room for them");
        std::set<long long> numbers;
        for (int k = 0; k < nodes; ++k) {
            node_ = k;
            long long number = 0;
            Expect("NODE n", [&](Scan& s) { return s.Lit("node") && s.Int(number); });
            if (number < 0 || number >= joints)
                Add(TSeverity::Error, "NODE " + std::to_string(number) + " is outside the " +
                                          std::to_string(std::max(joints, 0LL)) +
                                          " joints of JOINTS: the game writes outside its "
                                          "joint table");
            else if (!numbers.insert(number).second)
                Add(TSeverity::Error, "NODE " + std::to_string(number) +
                                          " comes again: the game drops the earlier node of "
                                          "that number");
            Expect("MESH NAME name",
                   [&](Scan& s) { return s.Lit("mesh") && s.Lit("name") && s.Word(word); });
            if (word.size() > kMaxMeshName)
                Add(TSeverity::Error, "The mesh name is " + std::to_string(word.size()) +
                                          " characters long: it overflows the game's buffer of " +
                                          std::to_string(kMaxMeshName) + " and a line end");
            long long entries = 0;
            Expect("ENTRIES n", [&](Scan& s) { return s.Lit("entries") && s.Int(entries); });
            for (long long i = 0; i < entries; ++i) {
                entry_ = int(i);
                double frame = 0;
                Expect("n: frame flags x y z pitch yaw roll", [&](Scan& s) {
                    long long num = 0, flags = 0;
                    double v = 0;
                    if (!s.Int(num) || !s.Char(':') || !s.Real(frame) || !s.Int(flags, 16))
                        return false;
                    for (int c = 0; c < 6; ++c)
                        if (!s.Real(v)) return false;
                    return true;
                });
                if (frame != std::trunc(frame) || std::abs(frame) > 2147483647.0)
                    Add(TSeverity::Warning, "Its frame " + Number(frame) +
                                                " is a real number to the game; the editor "
                                                "keeps a whole frame")
                        .OnLoad = true;
                Expect("dx dy dz dpitch dyaw droll", [&](Scan& s) {
                    double v = 0;
                    for (int c = 0; c < 6; ++c)
                        if (!s.Real(v)) return false;
                    return true;
                });
            }
            entry_ = -1;
        }
        node_ = -1;
        // The loader stops here; whatever follows is the editor's alone.
        while (lines_.Next(line_, lineNo_)) {
            Scan blank(line_);
            std::string_view w;
            if (!blank.Word(w)) continue;
            Add(TSeverity::Warning, "This line and the rest come after the last node: the "
                                    "game never reads them")
                .OnLoad = true;
            return;
        }
    }

    static std::string Number(double v) {
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, r.ptr);
    }

    TFinding& Add(TSeverity s, std::string message) {
        TFinding& f = lines_.Add(s, std::move(message), node_, entry_, lineNo_);
        if (s == TSeverity::Error) f.OnLoad = true;
        return f;
    }
    [[noreturn]] void Refuse(std::string message) {
        Add(TSeverity::Error, std::move(message));
        throw Refused{};
    }

    // The next line must match the pattern, or the game refuses the file.
    template <typename Match> void Expect(const char* what, Match match) {
        if (!lines_.Next(line_, lineNo_)) {
            lineNo_ = lines_.LastLine();
            Refuse(std::string("The file ends where the game expects a line \"") + what +
                   "\": it refuses the file");
        }
        Scan scan(line_);
        if (match(scan)) return;
        Scan blank(line_);
        std::string_view w;
        std::string why;
        if (!blank.Word(w))
            why = "This line holds only blanks, which the game does not skip";
        else if (w[0] == '#' || w[0] == ';')
            why = "This comment is indented, and the game skips only comments that begin the line";
        else if (std::string_view(what) == "MESH NAME name" &&
                 line_.find("name") != std::string::npos)
            why = "The mesh name is missing";
        else if (line_.find(',') != std::string::npos)
            why = "This line " + Quote(line_) +
                  " separates numbers with commas, which the "
                  "game does not read";
        else
            why = "The game cannot read " + Quote(line_);
        Refuse(why + (why.rfind("The game", 0) == 0 ? ": it" : ": the game") +
               " refuses the file here (it expects \"" + what + "\")");
    }

    GameLines lines_;
    std::string line_;
    int lineNo_ = 0;
    int node_ = -1, entry_ = -1;
};

} // namespace

std::vector<TFinding> CheckKeyText(std::string_view text) {
    std::vector<TFinding> out;
    GameReader(text, out).Run();
    return out;
}

std::unique_ptr<TKEYFile> LoadKeyReported(const std::string& path) {
    std::unique_ptr<TKEYFile> doc = TKEYFile::CreateFromFile(path);
    std::vector<TFinding> load;
    for (TFinding& f : CheckKeyText(ReadKeyText(path)))
        if (f.OnLoad) load.push_back(std::move(f));
    for (const std::string& line : FindingLines(load, *doc, 10))
        LogMessage(mtWarning, doc->Name + " " + line);
    return doc;
}

std::string ReadKeyText(const std::string& path) {
    std::unique_ptr<TFile> file = PathDir(path).empty() ? FindResource(path) : OpenFile(path);
    std::string text = ReadRest(*file);
    file->Close();
    return text;
}

} // namespace vorlin
