#include "settings/u_options.h"

#include <QByteArray>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <charconv>
#include <cstring>
#include <string>

#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "support/errors.h"
#include "support/qt_strings.h"

namespace vorlin {

namespace {

const char* kOrganisation = "Brennick";
const char* kApplication = "Vorlin06";
const char* kLevelEditor = "Tolmar";

QString StorePath(const char* application) {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" +
           kOrganisation + "/" + application + ".conf";
}

QSettings OpenStore(const char* application) {
    return QSettings(StorePath(application), QSettings::IniFormat);
}

bool StoreExists(const QSettings& store) { return QFileInfo::exists(store.fileName()); }

// ---- reading: a value of another kind leaves the setting alone ----

bool IsText(const QVariant& v) { return v.typeId() == QMetaType::QString; }

void ReadString(QSettings& s, const char* name, std::string& target) {
    QVariant v = s.value(name);
    if (IsText(v)) target = FromQ(v.toString());
}

bool ReadInteger(QSettings& s, const char* name, int64_t& out) {
    QVariant v = s.value(name);
    if (!IsText(v)) return false;
    QByteArray text = v.toString().toLatin1().trimmed();
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.constData(), text.constData() + text.size(), value);
    // A 32-bit integer, taken either as signed or as unsigned.
    if (ec != std::errc() || end != text.constData() + text.size() || value < INT32_MIN ||
        value > int64_t(UINT32_MAX))
        return false;
    out = value;
    return true;
}

void ReadInt(QSettings& s, const char* name, int32_t& target) {
    int64_t v;
    if (ReadInteger(s, name, v)) target = static_cast<int32_t>(static_cast<uint32_t>(v));
}

void ReadColor(QSettings& s, const char* name, TColor& target) {
    int64_t v;
    if (ReadInteger(s, name, v)) target = static_cast<TColor>(v);
}

void ReadBool(QSettings& s, const char* name, bool& target) {
    int64_t v;
    if (ReadInteger(s, name, v)) target = v != 0;
}

// An 8-byte binary value holding a little-endian IEEE 754 double.
void ReadBinaryDouble(QSettings& s, const char* name, double& target) {
    QVariant v = s.value(name);
    if (v.typeId() != QMetaType::QByteArray) return;
    QByteArray bytes = v.toByteArray();
    if (bytes.size() != 8) return;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | static_cast<unsigned char>(bytes[i]);
    std::memcpy(&target, &bits, 8);
}

// ---- writing: each value reaches the file before the next is written ----

void Commit(QSettings& s, const char* name) {
    s.sync();
    if (s.status() != QSettings::NoError)
        throw Error(std::string("Failed to set data for '") + name + "'");
}

void WriteString(QSettings& s, const char* name, const std::string& value) {
    s.setValue(name, ToQ(value));
    Commit(s, name);
}

void WriteInt(QSettings& s, const char* name, int64_t value) {
    s.setValue(name, QString::number(value));
    Commit(s, name);
}

void WriteBool(QSettings& s, const char* name, bool value) { WriteInt(s, name, value ? 1 : 0); }

void WriteBinaryDouble(QSettings& s, const char* name, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    s.setValue(name, bytes);
    Commit(s, name);
}

std::string RecentName(const char* kind, int i) {
    return std::string("RECENT_") + kind + "_" + std::to_string(i + 1);
}

// The container below an install folder; a folder copied from elsewhere may spell the name in
// another case, so the existing file is preferred when there is one.
std::string ContainerUnder(const std::string& dir, const char* name) {
    std::string exact = dir + name;
    std::string found = FindDiskPath(exact);
    return found.empty() ? exact : found;
}

} // namespace

QString SettingsFilePath() { return StorePath(kApplication); }
QString LevelEditorFilePath() { return StorePath(kLevelEditor); }

void LoadSettings() {
    TSettings& g = Settings;
    {
        QSettings editor = OpenStore(kLevelEditor);
        if (StoreExists(editor)) {
            std::string jkDir, motsDir;
            ReadString(editor, "JKDIR", jkDir);
            ReadString(editor, "MOTSDIR", motsDir);
            g.JKGOB = ContainerUnder(jkDir, "Resource/res2.gob");
            g.MOTSGOB = ContainerUnder(motsDir, "Resource/jkmres.goo");
        }
    }
    QSettings s = OpenStore(kApplication);
    FirstRun = !StoreExists(s);
    if (FirstRun) return;
    ReadString(s, "JKGOB", g.JKGOB);
    ReadString(s, "MOTSGOB", g.MOTSGOB);
    ReadColor(s, "COLOR_BACKGROUND", g.COLOR_BACKGROUND);
    ReadColor(s, "COLOR_WIREFRAME", g.COLOR_WIREFRAME);
    ReadColor(s, "COLOR_SELECTED", g.COLOR_SELECTED);
    ReadColor(s, "COLOR_NODEPATH", g.COLOR_NODEPATH);
    ReadColor(s, "COLOR_XAXIS", g.COLOR_XAXIS);
    ReadColor(s, "COLOR_YAXIS", g.COLOR_YAXIS);
    ReadColor(s, "COLOR_ZAXIS", g.COLOR_ZAXIS);
    ReadColor(s, "COLOR_GRID", g.COLOR_GRID);
    ReadInt(s, "TV3DO_HEIGHT", g.TV3DO_HEIGHT);
    ReadInt(s, "SPLITTER_TOP", g.SPLITTER_TOP);
    ReadInt(s, "PLKEY_TOP", g.PLKEY_TOP);
    ReadInt(s, "DEFAULT_NUMFRAMES", g.DEFAULT_NUMFRAMES);
    ReadInt(s, "DEFAULT_FRAMERATE", g.DEFAULT_FRAMERATE);
    ReadInt(s, "DEFAULT_FRAMEGAP", g.DEFAULT_FRAMEGAP);
    ReadBinaryDouble(s, "MOVE_STEP", g.MOVE_STEP);
    ReadInt(s, "VORLIN_LEFT", g.VORLIN_LEFT);
    ReadInt(s, "VORLIN_TOP", g.VORLIN_TOP);
    ReadInt(s, "VORLIN_WIDTH", g.VORLIN_WIDTH);
    ReadInt(s, "VORLIN_HEIGHT", g.VORLIN_HEIGHT);
    ReadBool(s, "WINDOW_MAXIMIZED", g.WINDOW_MAXIMIZED);
    ReadBool(s, "SHOW_NODEPATH", g.SHOW_NODEPATH);
    ReadBool(s, "FOLLOW_NODEPATH", g.FOLLOW_NODEPATH);
    ReadBool(s, "SHOW_FLOOR", g.SHOW_FLOOR);
    ReadBool(s, "FLAGS_ONCE", g.FLAGS_ONCE);
    ReadBool(s, "AUTOCOPY_X", g.AUTOCOPY_X);
    ReadBool(s, "AUTOCOPY_Y", g.AUTOCOPY_Y);
    ReadBool(s, "AUTOCOPY_Z", g.AUTOCOPY_Z);
    ReadBool(s, "AUTOCOPY_PCH", g.AUTOCOPY_PCH);
    ReadBool(s, "AUTOCOPY_ROL", g.AUTOCOPY_ROL);
    ReadBool(s, "AUTOCOPY_YAW", g.AUTOCOPY_YAW);
    ReadBool(s, "AUTOCOPY_FWD", g.AUTOCOPY_FWD);
    for (int i = 0; i < kRecentCount; ++i)
        ReadString(s, RecentName("3DO", i).c_str(), g.RECENT_3DO[i]);
    for (int i = 0; i < kRecentCount; ++i)
        ReadString(s, RecentName("KEY", i).c_str(), g.RECENT_KEY[i]);
}

void SavePreferences() {
    const TSettings& g = Settings;
    QSettings s = OpenStore(kApplication);
    WriteString(s, "JKGOB", g.JKGOB);
    WriteString(s, "MOTSGOB", g.MOTSGOB);
    WriteInt(s, "COLOR_BACKGROUND", g.COLOR_BACKGROUND);
    WriteInt(s, "COLOR_WIREFRAME", g.COLOR_WIREFRAME);
    WriteInt(s, "COLOR_SELECTED", g.COLOR_SELECTED);
    WriteInt(s, "COLOR_NODEPATH", g.COLOR_NODEPATH);
    WriteInt(s, "COLOR_XAXIS", g.COLOR_XAXIS);
    WriteInt(s, "COLOR_YAXIS", g.COLOR_YAXIS);
    WriteInt(s, "COLOR_ZAXIS", g.COLOR_ZAXIS);
    WriteInt(s, "COLOR_GRID", g.COLOR_GRID);
    WriteInt(s, "DEFAULT_NUMFRAMES", g.DEFAULT_NUMFRAMES);
    WriteInt(s, "DEFAULT_FRAMEGAP", g.DEFAULT_FRAMEGAP);
    WriteInt(s, "DEFAULT_FRAMERATE", g.DEFAULT_FRAMERATE);
    WriteBinaryDouble(s, "MOVE_STEP", g.MOVE_STEP);
    WriteBool(s, "SHOW_NODEPATH", g.SHOW_NODEPATH);
    WriteBool(s, "FOLLOW_NODEPATH", g.FOLLOW_NODEPATH);
    WriteBool(s, "SHOW_FLOOR", g.SHOW_FLOOR);
    WriteBool(s, "FLAGS_ONCE", g.FLAGS_ONCE);
    WriteBool(s, "AUTOCOPY_X", g.AUTOCOPY_X);
    WriteBool(s, "AUTOCOPY_Y", g.AUTOCOPY_Y);
    WriteBool(s, "AUTOCOPY_Z", g.AUTOCOPY_Z);
    WriteBool(s, "AUTOCOPY_PCH", g.AUTOCOPY_PCH);
    WriteBool(s, "AUTOCOPY_ROL", g.AUTOCOPY_ROL);
    WriteBool(s, "AUTOCOPY_YAW", g.AUTOCOPY_YAW);
    WriteBool(s, "AUTOCOPY_FWD", g.AUTOCOPY_FWD);
    FirstRun = false;
}

void SaveExitSettings() {
    const TSettings& g = Settings;
    QSettings s = OpenStore(kApplication);
    if (!StoreExists(s)) return;
    WriteInt(s, "VORLIN_LEFT", g.VORLIN_LEFT);
    WriteInt(s, "VORLIN_TOP", g.VORLIN_TOP);
    WriteInt(s, "VORLIN_WIDTH", g.VORLIN_WIDTH);
    WriteInt(s, "VORLIN_HEIGHT", g.VORLIN_HEIGHT);
    WriteBool(s, "WINDOW_MAXIMIZED", g.WINDOW_MAXIMIZED);
    WriteInt(s, "TV3DO_HEIGHT", g.TV3DO_HEIGHT);
    WriteInt(s, "SPLITTER_TOP", g.SPLITTER_TOP);
    WriteInt(s, "PLKEY_TOP", g.PLKEY_TOP);
    for (int i = 0; i < kRecentCount; ++i)
        WriteString(s, RecentName("3DO", i).c_str(), g.RECENT_3DO[i]);
    for (int i = 0; i < kRecentCount; ++i)
        WriteString(s, RecentName("KEY", i).c_str(), g.RECENT_KEY[i]);
}

} // namespace vorlin
