#include "support/misc_utils.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

namespace vorlin {

int FindBlank(std::string_view text, int start) {
    int n = static_cast<int>(text.size());
    int i = start < 1 ? 1 : start;
    while (i <= n && !IsBlank(text[i - 1]))
        ++i;
    return i > n ? n + 1 : i;
}

int SkipBlanks(std::string_view text, int start) {
    int n = static_cast<int>(text.size());
    int i = start < 1 ? 1 : start;
    while (i <= n && IsBlank(text[i - 1]))
        ++i;
    return i > n ? n + 1 : i;
}

std::string GetNthWord(std::string_view text, int n) {
    int pos = 1;
    for (int k = 1; k <= n; ++k) {
        pos = SkipBlanks(text, pos);
        if (k < n) pos = FindBlank(text, pos);
    }
    if (pos > static_cast<int>(text.size())) return {};
    int end = FindBlank(text, pos);
    return UpperCase(text.substr(pos - 1, end - pos));
}

int GetWord(std::string_view text, int start, std::string& word) {
    if (text.empty()) {
        word.clear();
        return 1;
    }
    int from = SkipBlanks(text, start);
    int to = FindBlank(text, from);
    if (from > static_cast<int>(text.size()))
        word.clear();
    else
        word.assign(text.substr(from - 1, to - from));
    return to;
}

const char* GetWordP(const char* p, std::string& word) {
    while (IsBlank(*p))
        ++p;
    const char* start = p;
    while (*p != '\0' && !IsBlank(*p))
        ++p;
    word.assign(start, p);
    return p;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

IntSyntaxResult ReadIntSyntax(std::string_view text) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    auto fail = [&](size_t at, int64_t magnitude) {
        int64_t v = negative ? -magnitude : magnitude;
        return IntSyntaxResult{false, static_cast<int32_t>(static_cast<uint32_t>(v)),
                               static_cast<int>(at) + 1};
    };
    if (i < n && text[i] == '$') {
        ++i;
        if (i == n) return fail(i, 0);
        uint32_t pattern = 0;
        int digits = 0;
        for (; i < n; ++i) {
            int d = HexDigit(text[i]);
            if (d < 0 || digits == 8) return fail(i, static_cast<int32_t>(pattern));
            pattern = (pattern << 4) | static_cast<uint32_t>(d);
            ++digits;
        }
        int32_t v = static_cast<int32_t>(pattern);
        if (negative) v = static_cast<int32_t>(0u - pattern);
        return {true, v, 0};
    }
    if (i == n) return fail(i, 0);
    int64_t magnitude = 0;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < n; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return fail(i, magnitude);
        int64_t next = magnitude * 10 + (c - '0');
        if (next > limit) return fail(i, magnitude);
        magnitude = next;
    }
    return {true, static_cast<int32_t>(negative ? -magnitude : magnitude), 0};
}

namespace {

// Checks the float syntax and returns the span from_chars should read (sign dropped).
bool FloatSpan(std::string_view text, bool& negative, std::string_view& digits) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t start = i;
    size_t mantissaDigits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    digits = text.substr(start);
    return true;
}

template <typename F> bool ReadFloat(std::string_view text, F& value) {
    bool negative;
    std::string_view digits;
    value = 0;
    if (!FloatSpan(text, negative, digits)) return false;
    // from_chars takes "5." and ".5" but not a leading "+" or an exponent "+"; the latter it
    // reads as the end of the number, so give it a copy without that plus sign.
    char buf[512];
    std::string_view src = digits;
    if (digits.size() < sizeof buf) {
        size_t k = 0;
        for (size_t j = 0; j < digits.size(); ++j) {
            if (digits[j] == '+') continue;
            buf[k++] = digits[j];
        }
        src = std::string_view(buf, k);
    }
    F v{};
    auto [ptr, ec] = std::from_chars(src.data(), src.data() + src.size(), v);
    if (ec != std::errc() || ptr != src.data() + src.size()) {
        value = 0;
        return false;
    }
    value = negative ? -v : v;
    return true;
}

} // namespace

bool ReadFloatSyntax(std::string_view text, double& value) {
    return ReadFloat(text, value);
}
bool ReadFloatSyntax(std::string_view text, float& value) {
    return ReadFloat(text, value);
}

bool ValInt(std::string_view text, int32_t& value) {
    if (text.empty()) {
        value = 0;
        return true;
    }
    IntSyntaxResult r = ReadIntSyntax(text);
    value = r.value;
    return r.ok;
}

namespace {

// Hexadecimal digits go through the integer syntax as "$" + digits.
IntSyntaxResult ReadHexDigits(std::string_view digits) {
    char buf[kScanWordBuffer + 2];
    if (digits.size() > kScanWordBuffer) digits = digits.substr(0, kScanWordBuffer);
    buf[0] = '$';
    std::memcpy(buf + 1, digits.data(), digits.size());
    return ReadIntSyntax(std::string_view(buf, digits.size() + 1));
}

} // namespace

bool ValHex(std::string_view text, uint32_t& value) {
    if (text.empty()) {
        value = 0;
        return true;
    }
    std::string_view digits = text;
    if (text.size() > 2 && (text[1] == 'x' || text[1] == 'X')) digits = text.substr(2);
    IntSyntaxResult r = ReadHexDigits(digits);
    value = static_cast<uint32_t>(r.value);
    return r.ok;
}

bool ValSingle(std::string_view text, float& value) {
    if (text.empty()) {
        value = 0;
        return true;
    }
    return ReadFloatSyntax(text, value);
}

bool ValDouble(std::string_view text, double& value) {
    if (text.empty()) {
        value = 0;
        return true;
    }
    return ReadFloatSyntax(text, value);
}

namespace {

// A number into a target of another type; a real number outside an integer target's range
// (or not a number) is kept to the range rather than converted undefined.
template <typename P, typename T> P Converted(T v) {
    if constexpr (std::is_floating_point_v<T> && std::is_integral_v<P>) {
        if (std::isnan(v)) return 0;
        if (v <= static_cast<T>(std::numeric_limits<P>::min()))
            return std::numeric_limits<P>::min();
        if (v >= static_cast<T>(std::numeric_limits<P>::max()))
            return std::numeric_limits<P>::max();
    }
    return static_cast<P>(v);
}

template <typename T> void StoreNumber(const ScanTarget& target, T v) {
    std::visit(
        [v](auto* p) {
            using P = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<P, std::string>)
                *p = std::to_string(v);
            else
                *p = Converted<P>(v);
        },
        target);
}

bool ScanItem(char letter, std::string_view word, const ScanTarget& target) {
    switch (letter) {
    case 'd':
    case 'D': {
        IntSyntaxResult r = ReadIntSyntax(word);
        StoreNumber(target, r.value);
        return r.ok;
    }
    case 'x':
    case 'X': {
        std::string_view digits = word;
        if (word.size() >= 2 && (word[1] == 'x' || word[1] == 'X')) digits = word.substr(2);
        IntSyntaxResult r = ReadHexDigits(digits);
        StoreNumber(target, r.value);
        return r.ok;
    }
    case 'u':
    case 'U': {
        uint64_t v = 0;
        bool ok = !word.empty();
        for (char c : word) {
            if (c < '0' || c > '9' || v * 10 + (c - '0') > 0xFFFFFFFFull) {
                ok = false;
                break;
            }
            v = v * 10 + (c - '0');
        }
        StoreNumber(target, static_cast<uint32_t>(v));
        return ok;
    }
    case 'b':
    case 'B': {
        IntSyntaxResult r = ReadIntSyntax(word);
        StoreNumber(target, static_cast<uint8_t>(r.value & 0xFF));
        return r.ok;
    }
    case 'c':
    case 'C': {
        char c = word.empty() ? '\0' : word[0];
        if (auto* s = std::get_if<std::string*>(&target))
            (*s)->assign(1, c);
        else
            StoreNumber(target, c);
        return true;
    }
    case 'f':
    case 'F':
    case 'l':
    case 'L': {
        if (auto* f = std::get_if<float*>(&target)) return ReadFloatSyntax(word, **f);
        double v;
        bool ok = ReadFloatSyntax(word, v);
        StoreNumber(target, v);
        return ok;
    }
    case 's':
    case 'S':
        if (auto* s = std::get_if<std::string*>(&target)) (*s)->assign(word);
        return true;
    default:
        return false;
    }
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool SScanf(std::string_view line, std::string_view format,
            std::initializer_list<ScanTarget> targets) {
    // The line is read as a zero-terminated text: a zero byte ends it.
    if (size_t z = line.find('\0'); z != std::string_view::npos) line = line.substr(0, z);
    bool result = true;
    size_t in = 0;
    size_t fmt = 0;
    auto target = targets.begin();
    while (in < line.size() && target != targets.end()) {
        size_t pct = format.find('%', fmt);
        if (pct == std::string_view::npos || pct + 1 >= format.size()) break;
        char letter = format[pct + 1];
        std::string_view literal = TrimBlanks(format.substr(fmt, pct - fmt));
        fmt = pct + 2;
        if (!literal.empty()) {
            size_t found = line.find(literal, in);
            if (found == std::string_view::npos) {
                ++target;
                continue;
            }
            in = found + literal.size();
        }
        while (in < line.size() && IsBlank(line[in]))
            ++in;
        size_t start = in;
        while (in < line.size() && !IsBlank(line[in]))
            ++in;
        std::string_view word = line.substr(start, in - start);
        bool fits = word.size() <= static_cast<size_t>(kScanWordBuffer);
        if (!fits) word = word.substr(0, kScanWordBuffer);
        if (!ScanItem(letter, word, *target) || !fits) result = false;
        ++target;
    }
    return result;
}

bool SScanfP(const char* line, std::string_view format, std::initializer_list<ScanTarget> targets) {
    return SScanf(std::string_view(line), format, targets);
}

double NormalizeAngle(double angle) {
    if (angle == 360.0) return 0.0;
    if (angle > 360.0) return angle - 360.0;
    if (angle < 0.0) return angle + 360.0;
    return angle;
}

double AngleDiff(double a, double b) {
    double d = std::fmod(b - a, 360.0);
    if (d > 180) d -= 360;
    if (d <= -180) d += 360;
    return d;
}

double AngleRate(double d, double b, double a) {
    double diff = b - a;
    if (d == 0.0 || diff == 0.0) return 0.0;
    if (diff >= 180.0) return (diff - 360.0) / d;
    if (diff <= -180.0) return (diff + 360.0) / d;
    return diff / d;
}

double Round8(double value) {
    // Most values are small enough that value * 1e8 is within 6e-5 of the exact product: its
    // nearest whole number is then the printed text's eight decimals, unless the product is
    // too near a half to tell. That number over 1e8 is the double the text reads back as.
    if (std::abs(value) < 1e4) {
        const double scaled = value * 1e8;
        const int64_t whole = int64_t(scaled); // toward zero
        const double part = std::abs(scaled - double(whole));
        if (std::abs(part - 0.5) > 1e-3) {
            const int64_t k = part > 0.5 ? whole + (scaled < 0 ? -1 : 1) : whole;
            // The text of a small negative value reads back as -0.
            return k == 0 ? std::copysign(0.0, value) : double(k) / 1e8;
        }
    }
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 8);
    if (ec != std::errc()) return value;
    double back = value;
    std::from_chars(buf, end, back);
    return back;
}

std::string GeneralFloat(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, r.ptr);
}

namespace {

StderrMessageSink defaultSink;
MessageSink* currentSink = &defaultSink;
// A TKeptMessages of this thread, when one lives.
thread_local MessageSink* threadSink = nullptr;

} // namespace

std::string MessageLine(TMsgType kind, const std::string& text) {
    switch (kind) {
    case mtInfo:
        return "Info: " + text;
    case mtWarning:
        return "Warning: " + text;
    case mtError:
        return "Error: " + text;
    }
    return text;
}

void StderrMessageSink::Log(TMsgType kind, const std::string& text) {
    std::string line = MessageLine(kind, text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int StderrMessageSink::Ask(const std::string& text, const std::string& caption, unsigned flags) {
    std::string line = caption + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDOK;
    }
}

MessageSink* SetMessageSink(MessageSink* sink) {
    MessageSink* old = currentSink;
    currentSink = sink ? sink : &defaultSink;
    return old == &defaultSink ? nullptr : old;
}

MessageSink& CurrentMessageSink() {
    return threadSink ? *threadSink : *currentSink;
}

TKeptMessages::TKeptMessages() : before_(threadSink) {
    threadSink = this;
}

TKeptMessages::~TKeptMessages() {
    threadSink = before_;
}

void TKeptMessages::Log(TMsgType kind, const std::string& text) {
    if (kind != mtInfo) Kept.push_back(text);
}

int TKeptMessages::Ask(const std::string& text, const std::string& caption, unsigned flags) {
    return before_ ? before_->Ask(text, caption, flags) : currentSink->Ask(text, caption, flags);
}

void LogMessage(int kind, const std::string& text) {
    if (kind < mtInfo || kind > mtError) return;
    CurrentMessageSink().Log(static_cast<TMsgType>(kind), text);
}

int MsgBox(const std::string& text, const std::string& caption, unsigned flags) {
    return CurrentMessageSink().Ask(text, caption, flags);
}

std::string_view SignificantSpan(std::string_view raw) {
    size_t end = raw.find('#');
    if (end == std::string_view::npos) end = raw.size();
    size_t begin = 0;
    while (begin < end && static_cast<unsigned char>(raw[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(raw[end - 1]) <= ' ')
        --end;
    return raw.substr(begin, end - begin);
}

bool SignificantLine(std::string_view raw, std::string& line) {
    line.assign(SignificantSpan(raw));
    for (char& c : line)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return !line.empty();
}

std::string UpperCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string ShowControls(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            s += c;
        } else if (c == '\t') {
            s += "\\t";
        } else if (c == '\n') {
            s += "\\n";
        } else if (c == '\r') {
            s += "\\r";
        } else {
            static const char digits[] = "0123456789abcdef";
            s += "\\x";
            s += digits[u >> 4];
            s += digits[u & 15];
        }
    }
    return s;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

} // namespace vorlin
