#include "cli_json.h"

#include <QJsonDocument>
#include <cstdio>

namespace vorlin::cli {

QJsonArray StrArray(const std::vector<std::string>& items) {
    QJsonArray a;
    for (const std::string& s : items)
        a.append(Str(s));
    return a;
}

void Print(const QJsonObject& document) {
    QByteArray bytes = QJsonDocument(document).toJson(QJsonDocument::Indented);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace vorlin::cli
