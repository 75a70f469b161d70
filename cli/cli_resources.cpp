#include "cli_resources.h"

#include <QFileInfo>

#include "cli_common.h"
#include "edit/key_document.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"

namespace vorlin::cli {

std::string GivenPath(const QString& path) {
    return vorlin::GivenPath(Bytes(path));
}

void SetResourceSearch(const QCommandLineParser& parser, const TResourceOptions& options,
                       const std::string& modelPath) {
    ProjectDir = parser.isSet(options.Project) ? Bytes(parser.value(options.Project))
                                               : TKeyDocument::ProjectDirOf(modelPath);
    if (!ProjectDir.empty() && ProjectDir.back() != '/') ProjectDir += '/';
    if (parser.isSet(options.Jk)) Settings.JKGOB = Bytes(parser.value(options.Jk));
    if (parser.isSet(options.Mots)) Settings.MOTSGOB = Bytes(parser.value(options.Mots));
    if (IsContainerPath(modelPath) && !parser.isSet(options.Jk) && !parser.isSet(options.Mots))
        Settings.JKGOB = modelPath.substr(0, modelPath.find('>'));
}

} // namespace vorlin::cli
