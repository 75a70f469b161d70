#include "cli_common.h"

#include <unistd.h>

namespace vorlin::cli {

CliSink* theSink = nullptr;

// Parses the arguments after the command words; returns the positional ones.
QStringList Parse(QCommandLineParser& parser, const QStringList& args, int minPositional,
                  int maxPositional) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
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
