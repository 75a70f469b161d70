// What the command-line tool's commands share: parsing their arguments, the message sink that
// collects warnings for the "warnings" arrays, the commands themselves.
#pragma once

#include <QCommandLineParser>
#include <QJsonObject>
#include <QStringList>
#include <string>
#include <vector>

#include "support/misc_utils.h"

namespace vorlin {
struct TFinding;
}

namespace vorlin::cli {

// A mistake in the command line: the message and where to read the usage, status 2.
struct UsageError {
    std::string message;
};

// A command's --help: the text to print, status 0.
struct HelpAsked {
    std::string Text;
};

// A command of the tool: its words ("key dump"), its arguments for the usage (a line break
// continues them), what it does, and the function that takes the arguments after its words and
// returns the exit status.
struct TCommandInfo {
    const char* Words;
    const char* Usage;
    const char* Does;
    int (*Run)(const QStringList& args);
};
// The command being run: its help and its usage errors name it.
extern const TCommandInfo* theCommand;
// "usage: vorlin-cli render MODEL [KEY] ...", a line or more.
std::string CommandUsage(const TCommandInfo& command);

// The command stopped at a signal (Ctrl+C, a kill) and cleaned up: the message, and the status
// 128 + the signal's number, as for a program the signal ended.
struct Interrupted {
    int Signal;
    std::string Message;
};

// Standard error for warnings, and a record of them for the "warnings" arrays.
class CliSink : public MessageSink {
public:
    void Log(TMsgType kind, const std::string& text) override {
        if (kind == mtWarning) warnings.push_back(text); // JSON escapes what it must
        stderrSink_.Log(kind, ShowControls(text));
    }
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override {
        return stderrSink_.Ask(text, caption, flags);
    }
    std::vector<std::string> warnings;

private:
    StderrMessageSink stderrSink_;
};

extern CliSink* theSink;

// Parses the arguments after the command words; returns the positional ones. --help or -h
// raises HelpAsked with the command's usage, what it does and its options.
QStringList Parse(QCommandLineParser& parser, const QStringList& args, int minPositional,
                  int maxPositional);
std::string Bytes(const QString& s);
int ToInt(const QString& text, const char* what);
// A finding as key check prints it: severity, where (line, marker, node, entry), message.
QJsonObject FindingJson(const TFinding& finding);
// Whether standard error is a terminal (progress lines go there only then).
bool ErrorIsTerminal();

// The commands: each takes the arguments after its words and returns the exit status.
int KeyDump(const QStringList& args);
int KeySave(const QStringList& args);
int KeyMirror(const QStringList& args);
int KeyCheck(const QStringList& args);
int KeyCurves(const QStringList& args);
int ContainerList(const QStringList& args);
int Cat(const QStringList& args);
int Find(const QStringList& args);
int ModelDump(const QStringList& args);
int Pose(const QStringList& args);
int Texture(const QStringList& args);
int Render(const QStringList& args);
int CheckMod(const QStringList& args);
int Export(const QStringList& args);
int Import(const QStringList& args);

} // namespace vorlin::cli
