// Where a command's model finds its materials, and reading its files with their warnings: what
// render, export and import share.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <exception>
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/misc_utils.h"

namespace vorlin::cli {

// The options that say where resources are found.
struct TResourceOptions {
    QCommandLineOption Project{"project", "project folder", "DIR"};
    QCommandLineOption Jk{"jk", "the game's container", "GOB"};
    QCommandLineOption Mots{"mots", "the expansion's container", "GOO"};
    void AddTo(QCommandLineParser& parser) const { parser.addOptions({Project, Jk, Mots}); }
};

// A file named on the command line: from the current folder when it is there (the resource
// search starts from the model's folder instead), else the name as given (a container path).
std::string GivenPath(const QString& path);

// Resources found as the editor finds them: beside the model, then in the containers; a model
// taken from a container finds its materials in it, unless told otherwise.
void SetResourceSearch(const QCommandLineParser& parser, const TResourceOptions& options,
                       const std::string& modelPath);

// Reads with read(); an error becomes "Cannot read the WHAT PATH: why" (an I/O error already
// names its file). A reader's message may not say which file it is about, and the search's warning
// that a file is nowhere says again what the error says, so the warnings are passed on only when
// the file was read.
template <class Read> auto ReadReported(const char* what, const std::string& path, Read read) {
    std::vector<std::string> warnings;
    decltype(read()) result;
    {
        TKeptMessages kept;
        try {
            result = read();
        } catch (const IOError&) {
            throw; // it names the file and what happened
        } catch (const std::exception& e) {
            throw Error(std::string("Cannot read the ") + what + " " + path + ": " + e.what());
        }
        warnings = std::move(kept.Kept);
    }
    for (const std::string& w : warnings)
        LogMessage(mtWarning, w);
    return result;
}

} // namespace vorlin::cli
