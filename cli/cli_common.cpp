#include "cli_common.h"

#include <unistd.h>

namespace vorlin::cli {

CliSink* theSink = nullptr;
const TCommandInfo* theCommand = nullptr;

namespace {

bool WantsHelp(const QStringList& args) {
    for (const QString& a : args) {
        if (a == "--") return false; // what follows is an argument, whatever it says
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

// The usage, what the command does, and its options as Qt lists them.
std::string CommandHelp(const QCommandLineParser& parser) {
    std::string text =
        theCommand ? CommandUsage(*theCommand) + "\n" + theCommand->Does + "\n" : std::string();
    const QString qt = parser.helpText();
    const qsizetype options = qt.indexOf("Options:");
    if (options >= 0) text += "\n" + Bytes(qt.mid(options));
    return text;
}

} // namespace

// Parses the arguments after the command words; returns the positional ones.
QStringList Parse(QCommandLineParser& parser, const QStringList& args, int minPositional,
                  int maxPositional) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (WantsHelp(args)) {
        parser.addOption({{"h", "help"}, "this command's usage"});
        throw HelpAsked{CommandHelp(parser)};
    }
    // A negative number (a frame before zero) is an argument or an option's value, not an
    // option.
    QStringList list = args;
    for (int i = 0; i < list.size(); ++i)
        if (list[i].size() > 1 && list[i][0] == '-' && list[i][1].isDigit()) {
            if (i > 0 && list[i - 1].startsWith("--") && !list[i - 1].contains('=')) continue;
            list.insert(i, "--");
            break;
        }
    if (!parser.parse(QStringList{"vorlin-cli"} + list))
        throw UsageError{parser.errorText().toStdString()};
    QStringList pos = parser.positionalArguments();
    if (pos.size() < minPositional || pos.size() > maxPositional)
        throw UsageError{"wrong number of arguments"};
    return pos;
}

std::string Bytes(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

int ToInt(const QString& text, const char* what) {
    bool ok = false;
    int v = text.toInt(&ok);
    if (!ok) throw UsageError{std::string(what) + " must be an integer: " + text.toStdString()};
    return v;
}

bool ErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace vorlin::cli
