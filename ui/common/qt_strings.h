// Texts cross between the core (bytes) and Qt (Unicode) in the system's 8-bit encoding, the
// same one file names use, so a path survives the trip unchanged.
#pragma once

#include <QString>
#include <string>

namespace vorlin {

inline QString ToQ(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), qsizetype(s.size()));
}
inline std::string FromQ(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

} // namespace vorlin
