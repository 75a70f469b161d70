#include "app/data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vorlin {

namespace {

// The program's data folders, installed first: PREFIX/bin/vorlin reads PREFIX/share/vorlin;
// a program in the build tree (build/app/vorlin) reads the source tree's folders.
QStringList DataFolders(const char* installed, const char* source) {
    const QString bin = QCoreApplication::applicationDirPath();
    return {bin + "/../share/vorlin" + installed, bin + "/../../" + source, bin + "/../" + source};
}

QString FirstExisting(const QStringList& candidates) {
    for (const QString& c : candidates)
        if (QFileInfo::exists(c)) return QFileInfo(c).absoluteFilePath();
    return QString();
}

} // namespace

QString HelpPagePath() {
    QStringList candidates = {QDir::current().filePath(kHelpFile)};
    for (const QString& folder : DataFolders("", "docs"))
        candidates << folder + "/" + kHelpFile;
    return FirstExisting(candidates);
}

QString SampleDir() {
    QStringList candidates;
    for (const QString& folder : DataFolders("/sample", "data/sample"))
        candidates << folder + "/sample.gob";
    const QString gob = FirstExisting(candidates);
    return gob.isEmpty() ? QString() : QFileInfo(gob).absolutePath();
}

} // namespace vorlin
