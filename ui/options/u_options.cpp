#include "options/u_options.h"

#include "edit/onion.h"

#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <charconv>
#include <cstring>
#include <string>

#include "common/DialogSeams.h"
#include "common/qt_strings.h"
#include "settings/GlobalVars.h"
#include "support/FileOperations.h"
#include "support/errors.h"
#include "support/misc_utils.h"

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

bool StoreExists(const QSettings& store) {
    return QFileInfo::exists(store.fileName());
}

// ---- reading: a value of another kind leaves the setting alone ----

bool IsText(const QVariant& v) {
    return v.typeId() == QMetaType::QString;
}

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

void WriteBool(QSettings& s, const char* name, bool value) {
    WriteInt(s, name, value ? 1 : 0);
}

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

QString SettingsFilePath() {
    return StorePath(kApplication);
}
QString LevelEditorFilePath() {
    return StorePath(kLevelEditor);
}

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
    ReadBool(s, "TIMELINE_VISIBLE", g.TIMELINE_VISIBLE);
    ReadBool(s, "AUTO_KEY", g.AUTO_KEY);
    ReadInt(s, "TIMELINE_HEIGHT", g.TIMELINE_HEIGHT);
    ReadBool(s, "CURVES_VISIBLE", g.CURVES_VISIBLE);
    ReadInt(s, "CURVES_CHANNELS", g.CURVES_CHANNELS);
    ReadInt(s, "CURVES_PLOT", g.CURVES_PLOT);
    ReadInt(s, "DEFAULT_NUMFRAMES", g.DEFAULT_NUMFRAMES);
    ReadInt(s, "DEFAULT_FRAMERATE", g.DEFAULT_FRAMERATE);
    ReadInt(s, "DEFAULT_FRAMEGAP", g.DEFAULT_FRAMEGAP);
    ReadBinaryDouble(s, "MOVE_STEP", g.MOVE_STEP);
    ReadInt(s, "AUTOSAVE_SECONDS", g.AUTOSAVE_SECONDS);
    ReadInt(s, "VORLIN_LEFT", g.VORLIN_LEFT);
    ReadInt(s, "VORLIN_TOP", g.VORLIN_TOP);
    ReadInt(s, "VORLIN_WIDTH", g.VORLIN_WIDTH);
    ReadInt(s, "VORLIN_HEIGHT", g.VORLIN_HEIGHT);
    ReadBool(s, "WINDOW_MAXIMIZED", g.WINDOW_MAXIMIZED);
    ReadBool(s, "SHOW_NODEPATH", g.SHOW_NODEPATH);
    ReadBool(s, "FOLLOW_NODEPATH", g.FOLLOW_NODEPATH);
    ReadBool(s, "SHOW_FLOOR", g.SHOW_FLOOR);
    ReadBool(s, "ORBIT_SELECTION", g.ORBIT_SELECTION);
    ReadBool(s, "ONION_SKIN", g.ONION_SKIN);
    ReadString(s, "ONION_FRAMES", g.ONION_FRAMES);
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
    g.KEY_MODELS.clear();
    for (int i = 0; i < kKeyModelCount; ++i) {
        std::string pair;
        ReadString(s, ("KEY_MODEL_" + std::to_string(i + 1)).c_str(), pair);
        if (pair.find('\t') != std::string::npos) g.KEY_MODELS.push_back(pair);
    }
    ReadInt(s, "MARKER_TYPE", g.MARKER_TYPE);
    g.PREVIEW_RANGES.clear();
    for (int i = 0; i < kPreviewRangeCount; ++i) {
        std::string range;
        ReadString(s, ("PREVIEW_RANGE_" + std::to_string(i + 1)).c_str(), range);
        if (range.find('\t') != std::string::npos) g.PREVIEW_RANGES.push_back(range);
    }
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
    WriteInt(s, "AUTOSAVE_SECONDS", g.AUTOSAVE_SECONDS);
    WriteBool(s, "SHOW_NODEPATH", g.SHOW_NODEPATH);
    WriteBool(s, "FOLLOW_NODEPATH", g.FOLLOW_NODEPATH);
    WriteBool(s, "SHOW_FLOOR", g.SHOW_FLOOR);
    WriteBool(s, "ORBIT_SELECTION", g.ORBIT_SELECTION);
    WriteBool(s, "ONION_SKIN", g.ONION_SKIN);
    WriteString(s, "ONION_FRAMES", g.ONION_FRAMES);
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
    WriteBool(s, "TIMELINE_VISIBLE", g.TIMELINE_VISIBLE);
    WriteBool(s, "AUTO_KEY", g.AUTO_KEY);
    WriteInt(s, "TIMELINE_HEIGHT", g.TIMELINE_HEIGHT);
    WriteBool(s, "CURVES_VISIBLE", g.CURVES_VISIBLE);
    WriteInt(s, "CURVES_CHANNELS", g.CURVES_CHANNELS);
    WriteInt(s, "CURVES_PLOT", g.CURVES_PLOT);
    for (int i = 0; i < kRecentCount; ++i)
        WriteString(s, RecentName("3DO", i).c_str(), g.RECENT_3DO[i]);
    for (int i = 0; i < kRecentCount; ++i)
        WriteString(s, RecentName("KEY", i).c_str(), g.RECENT_KEY[i]);
    for (int i = 0; i < kKeyModelCount; ++i)
        WriteString(s, ("KEY_MODEL_" + std::to_string(i + 1)).c_str(),
                    size_t(i) < g.KEY_MODELS.size() ? g.KEY_MODELS[size_t(i)] : std::string());
    WriteInt(s, "MARKER_TYPE", g.MARKER_TYPE);
    for (int i = 0; i < kPreviewRangeCount; ++i)
        WriteString(s, ("PREVIEW_RANGE_" + std::to_string(i + 1)).c_str(),
                    size_t(i) < g.PREVIEW_RANGES.size() ? g.PREVIEW_RANGES[size_t(i)]
                                                        : std::string());
}

// ---------------------------------------------------------------------------------------------
// The Options dialog

QColor ToQColor(TColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TColor FromQColor(const QColor& c) {
    return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16;
}

namespace {

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

// The shortest text that reads back as the same number, as the general format writes it.
QString General(double v) {
    return QString::number(v, 'g', 15);
}

} // namespace

TOptions::TOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("Options");
    setWindowTitle("Options");
    setModal(true);

    auto* containers = new QGroupBox("Game Containers", this);
    auto* cl = new QGridLayout(containers);
    EBJKGOB = Field(containers, "EBJKGOB");
    EBMOTSGOB = Field(containers, "EBMOTSGOB");
    EBJKGOB->setMinimumWidth(260);
    auto* bnJK = new QPushButton("<<", containers);
    bnJK->setObjectName("BNJK");
    auto* bnMOTS = new QPushButton("<<", containers);
    bnMOTS->setObjectName("BNMOTS");
    for (QPushButton* b : {bnJK, bnMOTS}) {
        b->setFixedWidth(30);
        b->setAutoDefault(false); // Enter in a field confirms the dialog, it opens no picker
    }
    cl->addWidget(new QLabel("Res2.gob :", containers), 0, 0);
    cl->addWidget(EBJKGOB, 0, 1);
    cl->addWidget(bnJK, 0, 2);
    cl->addWidget(new QLabel("Jkmres.goo :", containers), 1, 0);
    cl->addWidget(EBMOTSGOB, 1, 1);
    cl->addWidget(bnMOTS, 1, 2);
    connect(bnJK, &QPushButton::clicked, this, [this] { Browse(EBJKGOB, "GOB Files (*.gob)"); });
    connect(bnMOTS, &QPushButton::clicked, this,
            [this] { Browse(EBMOTSGOB, "GOO Files (*.goo)"); });

    auto* colors = new QGroupBox("Colors", this);
    auto* colorLayout = new QGridLayout(colors);
    PColor = new QFrame(colors);
    PColor->setObjectName("PColor");
    PColor->setFrameShape(QFrame::Box);
    PColor->setFixedSize(40, 40);
    PColor->setAutoFillBackground(true);
    LBColor = new QListWidget(colors);
    LBColor->setObjectName("LBColor");
    LBColor->addItems({"Background", "Mesh Wireframe", "Selected Mesh", "Node Path", "X-Axis",
                       "Y-Axis", "Z-Axis", "Grid"});
    LBColor->setFixedHeight(120);
    auto* bnEdit = new QPushButton("&Edit", colors);
    bnEdit->setObjectName("BNEdit");
    bnEdit->setAutoDefault(false);
    colorLayout->addWidget(PColor, 0, 0, Qt::AlignTop);
    colorLayout->addWidget(LBColor, 0, 1, 2, 1);
    colorLayout->addWidget(bnEdit, 1, 0, Qt::AlignBottom);
    connect(LBColor, &QListWidget::currentRowChanged, this, &TOptions::ShowSwatch);
    connect(bnEdit, &QPushButton::clicked, this, &TOptions::EditColour);

    auto* defaults = new QGroupBox("Defaults", this);
    auto* dl = new QGridLayout(defaults);
    EBNOF = Field(defaults, "EBNOF");
    EBFPS = Field(defaults, "EBFPS");
    EBFBE = Field(defaults, "EBFBE");
    EBSTEP = Field(defaults, "EBSTEP");
    EBAUTOSAVE = Field(defaults, "EBAUTOSAVE");
    dl->addWidget(new QLabel("Highest Frame :", defaults), 0, 0);
    dl->addWidget(EBNOF, 0, 1);
    dl->addWidget(new QLabel("Frame Rate :", defaults), 1, 0);
    dl->addWidget(EBFPS, 1, 1);
    dl->addWidget(new QLabel("fps", defaults), 1, 2);
    dl->addWidget(new QLabel("Entry Frame Gap :", defaults), 2, 0);
    dl->addWidget(EBFBE, 2, 1);
    dl->addWidget(new QLabel("Node Move Step :", defaults), 3, 0);
    dl->addWidget(EBSTEP, 3, 1);
    dl->addWidget(new QLabel("units", defaults), 3, 2);
    dl->addWidget(new QLabel("Autosave After :", defaults), 4, 0);
    dl->addWidget(EBAUTOSAVE, 4, 1);
    dl->addWidget(new QLabel("s (0: off)", defaults), 4, 2);
    EBAUTOSAVE->setToolTip("Seconds without a change before unsaved work is copied to a "
                           "recovery file; 0 turns autosave off");

    auto* flags = new QGroupBox("New Key Flags", this);
    flags->setObjectName("RGFlags");
    auto* fl = new QVBoxLayout(flags);
    runOnce_ = new QRadioButton("Run Once", flags);
    looping_ = new QRadioButton("Looping", flags);
    fl->addWidget(runOnce_);
    fl->addWidget(looping_);

    auto* copy = new QGroupBox("Auto Copy", this);
    auto* al = new QGridLayout(copy);
    const char* names[7] = {"CBX", "CBY", "CBZ", "CBPCH", "CBROL", "CBYAW", "CBFWD"};
    const char* captions[7] = {"X", "Y", "Z", "Pitch", "Roll", "Yaw", "Forward"};
    for (int i = 0; i < 7; ++i) {
        autoCopy_[size_t(i)] = Check(copy, names[i], captions[i]);
        al->addWidget(autoCopy_[size_t(i)], i % 4, i / 4);
    }

    auto* display = new QGroupBox("Display", this);
    auto* vl = new QVBoxLayout(display);
    CBShowPath = Check(display, "CBShowPath", "Show Path");
    CBFollowPath = Check(display, "CBFollowPath", "Follow Path");
    CBShowFloor = Check(display, "CBShowFloor", "Show Floor");
    CBOrbitSelection = Check(display, "CBOrbitSelection", "Orbit around selection");
    CBOrbitSelection->setToolTip("A right drag in the 3D view turns the camera about the "
                                 "selected node's pivot");
    for (QCheckBox* c : {CBShowPath, CBFollowPath, CBShowFloor, CBOrbitSelection})
        vl->addWidget(c);
    // Onion skins show the keys around the frame, or frames at a fixed distance.
    auto* onion = new QHBoxLayout;
    auto* onionLabel = new QLabel("Onion skin &frames:", display);
    CBOnionFrames = new QComboBox(display);
    CBOnionFrames->setObjectName("CBOnionFrames");
    CBOnionFrames->setEditable(true);
    CBOnionFrames->addItems({"keys", "1", "2", "5", "10"});
    CBOnionFrames->setToolTip("View > Onion Skin shows the selected node's keys before and "
                              "after the frame (keys), or the poses that many frames away");
    onionLabel->setBuddy(CBOnionFrames);
    onion->addWidget(onionLabel);
    onion->addWidget(CBOnionFrames);
    vl->addLayout(onion);

    auto* ok = new QPushButton("&OK", this);
    ok->setObjectName("BNOK");
    BNCancel = new QPushButton("&Cancel", this);
    BNCancel->setObjectName("BNCancel");
    connect(ok, &QPushButton::clicked, this, &TOptions::OkClick);
    connect(BNCancel, &QPushButton::clicked, this, &TOptions::CancelClick);
    ok->setDefault(true);
    BNCancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(containers, 0, 0, 1, 3);
    grid->addWidget(colors, 1, 0, 2, 1);
    grid->addWidget(defaults, 1, 1, 1, 2);
    grid->addWidget(flags, 2, 1);
    grid->addWidget(display, 2, 2);
    grid->addWidget(copy, 3, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(BNCancel);
    grid->addLayout(buttons, 3, 1, 1, 2, Qt::AlignBottom);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void TOptions::Fill() {
    const TSettings& g = Settings;
    EBJKGOB->setText(ToQ(g.JKGOB));
    EBMOTSGOB->setText(ToQ(g.MOTSGOB));
    EBNOF->setText(QString::number(g.DEFAULT_NUMFRAMES));
    EBFPS->setText(QString::number(g.DEFAULT_FRAMERATE));
    EBFBE->setText(QString::number(g.DEFAULT_FRAMEGAP));
    EBSTEP->setText(General(g.MOVE_STEP));
    EBAUTOSAVE->setText(QString::number(g.AUTOSAVE_SECONDS));
    for (size_t i = 0; i < colours_.size(); ++i)
        colours_[i] = *ColourSettings()[i];
    LBColor->setCurrentRow(0);
    ShowSwatch();
    CBShowPath->setChecked(g.SHOW_NODEPATH);
    CBFollowPath->setChecked(g.FOLLOW_NODEPATH);
    CBShowFloor->setChecked(g.SHOW_FLOOR);
    CBOrbitSelection->setChecked(g.ORBIT_SELECTION);
    CBOnionFrames->setCurrentText(ToQ(g.ONION_FRAMES));
    const bool copy[7] = {g.AUTOCOPY_X,   g.AUTOCOPY_Y,   g.AUTOCOPY_Z,  g.AUTOCOPY_PCH,
                          g.AUTOCOPY_ROL, g.AUTOCOPY_YAW, g.AUTOCOPY_FWD};
    for (size_t i = 0; i < 7; ++i)
        autoCopy_[i]->setChecked(copy[i]);
    (g.FLAGS_ONCE ? runOnce_ : looping_)->setChecked(true);
}

void TOptions::ShowSwatch() {
    int row = LBColor->currentRow();
    if (row < 0 || row >= 8) return;
    QPalette pal = PColor->palette();
    pal.setColor(QPalette::Window, ToQColor(colours_[size_t(row)]));
    PColor->setPalette(pal);
}

void TOptions::EditColour() {
    int row = LBColor->currentRow();
    if (row < 0 || row >= 8) return;
    if (auto c = AskColor(this, ToQColor(colours_[size_t(row)]))) {
        colours_[size_t(row)] = FromQColor(*c);
        ShowSwatch();
    }
}

void TOptions::Browse(QLineEdit* field, const QString& filter) {
    FileDialogRequest request;
    request.caption = "Open";
    request.initialPath = field->text();
    request.filter = filter;
    if (auto path = AskFileName(this, request)) field->setText(*path);
}

bool TOptions::ShowOptions() {
    Fill();
    BNCancel->setFocus();
    if (exec() != QDialog::Accepted) return false;
    SavePreferences();
    return true;
}

bool TOptions::CheckNumber(QLineEdit* field, bool isFloat, const char* message) {
    std::string text = FromQ(field->text());
    bool ok;
    if (isFloat) {
        double d;
        ok = ValDouble(text, d);
    } else {
        int32_t i;
        ok = ValInt(text, i);
    }
    // An empty field is not a number: taking it as 0 would silently change the setting.
    if (ok && !text.empty()) return true;
    ShowMessageBox(this, message, "Warning", MB_OK | MB_ICONWARNING);
    field->setFocus();
    return false;
}

void TOptions::OkClick() {
    for (QLineEdit* path : {EBJKGOB, EBMOTSGOB}) {
        if (path->text().isEmpty() || QFileInfo(path->text()).isFile()) continue;
        if (ShowMessageBox(this, path->text() + " does no exist, continue?", "Options Warning",
                           MB_YESNO | MB_ICONWARNING) != IDYES)
            return;
    }
    if (!CheckNumber(EBNOF, false, "Number of frames is not a valid number") ||
        !CheckNumber(EBFPS, false, "Frames per second is not a valid number") ||
        !CheckNumber(EBFBE, false, "Frames between entries is not a valid number") ||
        !CheckNumber(EBSTEP, true, "Move step is not a valid number") ||
        !CheckNumber(EBAUTOSAVE, false, "Autosave seconds is not a valid number"))
        return;
    // Entries a gap of 0 apart would share a frame, which the game plays as one key.
    if (int32_t gap = 0; ValInt(FromQ(EBFBE->text()), gap) && gap < 1) {
        ShowMessageBox(this, "Frames between entries must be at least 1", "Warning",
                       MB_OK | MB_ICONWARNING);
        EBFBE->setFocus();
        return;
    }
    TSettings& g = Settings;
    g.JKGOB = FromQ(EBJKGOB->text());
    g.MOTSGOB = FromQ(EBMOTSGOB->text());
    ValInt(FromQ(EBNOF->text()), g.DEFAULT_NUMFRAMES);
    ValInt(FromQ(EBFPS->text()), g.DEFAULT_FRAMERATE);
    ValInt(FromQ(EBFBE->text()), g.DEFAULT_FRAMEGAP);
    ValDouble(FromQ(EBSTEP->text()), g.MOVE_STEP);
    ValInt(FromQ(EBAUTOSAVE->text()), g.AUTOSAVE_SECONDS);
    g.AUTOSAVE_SECONDS = std::max(g.AUTOSAVE_SECONDS, 0);
    for (size_t i = 0; i < colours_.size(); ++i)
        *ColourSettings()[i] = colours_[i];
    g.SHOW_NODEPATH = CBShowPath->isChecked();
    g.FOLLOW_NODEPATH = CBFollowPath->isChecked();
    g.SHOW_FLOOR = CBShowFloor->isChecked();
    g.ORBIT_SELECTION = CBOrbitSelection->isChecked();
    // What is not a number of frames from 1 to 100 is the keys.
    const std::string onion = FromQ(CBOnionFrames->currentText().trimmed());
    g.ONION_FRAMES = OnionSpread(onion) > 0 ? onion : "keys";
    g.FLAGS_ONCE = runOnce_->isChecked();
    bool* copy[7] = {&g.AUTOCOPY_X,   &g.AUTOCOPY_Y,   &g.AUTOCOPY_Z,  &g.AUTOCOPY_PCH,
                     &g.AUTOCOPY_ROL, &g.AUTOCOPY_YAW, &g.AUTOCOPY_FWD};
    for (size_t i = 0; i < 7; ++i)
        *copy[i] = autoCopy_[i]->isChecked();
    accept();
}

void TOptions::CancelClick() {
    if (FirstRun) {
        terminateRequested_ = true;
        QCoreApplication::quit();
    }
    reject();
}

} // namespace vorlin
