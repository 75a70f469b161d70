// JSON helpers of the command-line tool.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <string>
#include <vector>

namespace vorlin::cli {

// Names are bytes; they are shown as Latin-1 so that every byte maps to one character.
inline QJsonValue Str(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}
inline QJsonValue Int(long long v) {
    return QJsonValue(static_cast<qint64>(v));
}
inline QJsonValue Num(double v) {
    return QJsonValue(v);
}

QJsonArray StrArray(const std::vector<std::string>& items);
// Writes one document to standard output.
void Print(const QJsonObject& document);

} // namespace vorlin::cli
