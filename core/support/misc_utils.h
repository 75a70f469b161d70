// Word and number parsing, the format-driven line reader, angle helpers and the message output.
//
// Characters are single bytes; a blank is a space or a horizontal tab and nothing else.
// Positions are 1-based character indexes; the end of a text is position length+1.
// Numbers are read without the C locale: "." is the decimal point whatever the user's locale.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vorlin {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Position of the first blank at or after start; length+1 if none.
int FindBlank(std::string_view text, int start);
// Position of the first non-blank at or after start; length+1 if none.
int SkipBlanks(std::string_view text, int start);
// The n-th word (1-based), upper-cased; empty if the text has fewer words.
std::string GetNthWord(std::string_view text, int n);
// Skips blanks from start and stores the word found there; returns the position just after it.
int GetWord(std::string_view text, int start, std::string& word);
// Skips blanks, stores the word, returns a pointer to the character that ended it.
const char* GetWordP(const char* p, std::string& word);

// Converters: each writes its target in every case and returns whether the text was a number.
// An empty text gives 0 and success.
bool ValInt(std::string_view text, int32_t& value);
bool ValHex(std::string_view text, uint32_t& value);
bool ValSingle(std::string_view text, float& value);
bool ValDouble(std::string_view text, double& value);

// Result of the integer syntax: optional leading spaces, optional sign, then decimal digits or
// "$" and up to eight hexadecimal digits. On failure, errorPos is the 1-based position of the
// character where reading stopped and value what was accumulated before it.
struct IntSyntaxResult {
    bool ok;
    int32_t value;
    int errorPos;
};
IntSyntaxResult ReadIntSyntax(std::string_view text);
// Float syntax: leading spaces, sign, digits, optional "." and digits, optional exponent.
// An empty text is a failure here; value is 0 on failure.
bool ReadFloatSyntax(std::string_view text, double& value);
bool ReadFloatSyntax(std::string_view text, float& value);

// Targets of SScanf, in the order of the format's items.
using ScanTarget =
    std::variant<int32_t*, uint32_t*, uint8_t*, char*, double*, float*, std::string*>;

// The format-driven line reader. The format is a run of items, each an optional literal and
// "%" with a conversion letter (d x u b c f l s). A literal is searched for, case-sensitively,
// anywhere in the rest of the line; when it is missing the item is skipped and its target left
// alone. Returns false when a word did not convert.
//
// Words are read through a buffer of 98 characters. A longer word is cut to its first 98
// characters, its target receives what those convert to, and the conversion counts as failed:
// no number or name longer than that occurs in the formats read, so such a word means a damaged
// line, and reporting it is safer than silently using a shortened value.
bool SScanf(std::string_view line, std::string_view format,
            std::initializer_list<ScanTarget> targets);
bool SScanfP(const char* line, std::string_view format, std::initializer_list<ScanTarget> targets);
constexpr int kScanWordBuffer = 98;

// 360 gives 0; above 360 subtracts 360 once; below 0 adds 360 once.
double NormalizeAngle(double angle);
// The short way from angle a to angle b, in (-180, 180].
double AngleDiff(double a, double b);
// Change per frame from angle a to angle b over distance d, the short way round.
double AngleRate(double d, double b, double a);
// Rounded to 8 decimals, as printing with "%15.8f" and reading back does.
double Round8(double value);
// The general floating-point form the dialogs show: the shortest text of up to 15 significant
// digits, "." as decimal point, whatever the locale (0.01, 6.73333333333333, 1e+20).
std::string GeneralFloat(double value);
inline int MinInt(int a, int b) {
    return a < b ? a : b;
}

// Message kinds of LogMessage.
enum TMsgType : int { mtInfo = 0, mtWarning = 1, mtError = 2 };

// Message box flags and results, with the values the program has always used.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_TYPEMASK = 0xF;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Where messages go. The program installs the message log window; the command-line tool and
// the tests install their own. The default writes lines to standard error.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Receives every message of a known kind.
    virtual void Log(TMsgType kind, const std::string& text) = 0;
    // A modal question; returns the IDxxx of the answer.
    virtual int Ask(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

class StderrMessageSink : public MessageSink {
public:
    void Log(TMsgType kind, const std::string& text) override;
    // Nobody can answer: takes the answer that changes nothing (Cancel, No, or OK).
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override;
};

// Installs the program's sink (nullptr restores the default) and returns the one it replaces.
MessageSink* SetMessageSink(MessageSink* sink);
// The sink this thread's messages go to: its own while a TKeptMessages lives on it, else the
// program's.
MessageSink& CurrentMessageSink();

// While it lives, keeps the warnings and errors given on this thread instead of showing them
// (questions still reach the sink before it): for reading a file only to look at it, or on a
// worker thread whose messages are reported with its results.
class TKeptMessages : public MessageSink {
public:
    TKeptMessages();
    ~TKeptMessages() override;
    TKeptMessages(const TKeptMessages&) = delete;
    TKeptMessages& operator=(const TKeptMessages&) = delete;
    void Log(TMsgType kind, const std::string& text) override;
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override;
    std::vector<std::string> Kept;

private:
    MessageSink* before_;
};

// "Info: ", "Warning: " or "Error: " + text; other kinds do nothing.
std::string MessageLine(TMsgType kind, const std::string& text);
void LogMessage(int kind, const std::string& text);
int MsgBox(const std::string& text, const std::string& caption, unsigned flags);

// The significant part of a line of the game's text formats: cut at the first "#", trimmed of
// blanks and control characters, upper-cased. False (and line empty) when nothing is left.
bool SignificantLine(std::string_view raw, std::string& line);
// The part of a line SignificantLine keeps, before upper-casing.
std::string_view SignificantSpan(std::string_view raw);

// ASCII upper case (only a to z change), as the readers of the game's formats use it.
std::string UpperCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);

// The text with its control characters written out ("\x1b", "\t", "\n", "\r"), for output
// that is one line a finding or must be XML: a byte from a file never moves a terminal's cursor
// or breaks a report. Other bytes stay as they are.
std::string ShowControls(std::string_view text);

} // namespace vorlin
