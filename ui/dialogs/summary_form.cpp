#include "dialogs/summary_form.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include "edit/key_document.h"
#include "edit/retime.h"
#include "key/u_key.h"
#include "settings/GlobalVars.h"
#include "common/DialogSeams.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

struct Choice {
    const char* text;
    uint32_t value;
};
const Choice kFlags[] = {{"Run Once (0x0)", 0x0},
                         {"Unknown (0x1)", 0x1},
                         {"Looping (0x3)", 0x3},
                         {"Unknown (0x8)", 0x8},
                         {"Unknown (0xb)", 0xB}};
const Choice kTypes[] = {{"Unknown (0x4)", 0x4},
                         {"Low Priority (0xf)", 0xF},
                         {"Unknown (0x1d)", 0x1D},
                         {"Unknown (0x1f)", 0x1F},
                         {"Unknown (0x7d)", 0x7D},
                         {"Unknown (0x7f)", 0x7F},
                         {"High Priority (0xffff)", 0xFFFF}};

QLineEdit* Field(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(60);
    return e;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TSummaryForm::TSummaryForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("SummaryForm");
    setModal(true);

    SGFrame = new QTableWidget(this);
    SGFrame->setObjectName("SGFrame");
    SGFrame->horizontalHeader()->setDefaultSectionSize(30);
    SGFrame->horizontalHeader()->setMinimumSectionSize(20);
    SGFrame->verticalHeader()->setDefaultSectionSize(18);
    SGFrame->verticalHeader()->setFixedWidth(80);
    SGFrame->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SGFrame->setSelectionMode(QAbstractItemView::SingleSelection);
    SGFrame->setContextMenuPolicy(Qt::CustomContextMenu);
    SGFrame->setMinimumSize(420, 220);
    // The corner cell names the two headers.
    auto* cornerButton = SGFrame->findChild<QAbstractButton*>();
    auto* corner = new QLabel("Nodes \\ Entries",
                              cornerButton ? static_cast<QWidget*>(cornerButton) : SGFrame);
    corner->setObjectName("SGFrameCorner");
    corner->setAlignment(Qt::AlignCenter);
    if (cornerButton) {
        auto* cornerLayout = new QHBoxLayout(cornerButton);
        cornerLayout->setContentsMargins(0, 0, 0, 0);
        cornerLayout->addWidget(corner);
    }
    QFont small = corner->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    corner->setFont(small);

    STTime = new QLabel("Time = 0 sec", this);
    STTime->setObjectName("STTime");
    STTime->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    STTime->setAlignment(Qt::AlignCenter);

    auto* flags = new QGroupBox("Flags", this);
    CBFlags = new QComboBox(flags);
    CBFlags->setObjectName("CBFlags");
    for (const Choice& c : kFlags)
        CBFlags->addItem(c.text);
    (new QVBoxLayout(flags))->addWidget(CBFlags);

    auto* type = new QGroupBox("Type", this);
    CBType = new QComboBox(type);
    CBType->setObjectName("CBType");
    for (const Choice& c : kTypes)
        CBType->addItem(c.text);
    (new QVBoxLayout(type))->addWidget(CBType);

    auto* frames = new QGroupBox("Frames", this);
    auto* fl = new QGridLayout(frames);
    EBLast = Field(frames, "EBLast");
    EBFrameRate = Field(frames, "EBFrameRate");
    auto* bnGet = Button(frames, "BNGet", "&Get");
    fl->addWidget(new QLabel("Last :", frames), 0, 0);
    fl->addWidget(EBLast, 0, 1);
    fl->addWidget(bnGet, 0, 2);
    fl->addWidget(new QLabel("Rate :", frames), 1, 0);
    fl->addWidget(EBFrameRate, 1, 1);
    fl->addWidget(new QLabel("fps", frames), 1, 2);

    auto* gap = new QGroupBox("Change Entry Frame Gap", this);
    auto* gl = new QGridLayout(gap);
    EBGap = Field(gap, "EBGap");
    CBEntries = new QCheckBox("Add/Remove Entries", gap);
    CBEntries->setObjectName("CBEntries");
    auto* bnNodeGap = Button(gap, "BNNodeGap", "&Node");
    auto* bnKeyGap = Button(gap, "BNKeyGap", "&Key");
    gl->addWidget(new QLabel("New Gap :", gap), 0, 0);
    gl->addWidget(EBGap, 0, 1);
    gl->addWidget(CBEntries, 1, 0, 1, 2);
    gl->addWidget(bnNodeGap, 2, 0);
    gl->addWidget(bnKeyGap, 2, 1);

    auto* shift = new QGroupBox("Shift Frame Numbers", this);
    auto* sl = new QGridLayout(shift);
    EBShift = Field(shift, "EBShift");
    EBShift->setText("0");
    auto* bnNodeShift = Button(shift, "BNNodeShift", "Nod&e");
    auto* bnKeyShift = Button(shift, "BNKeyShift", "Ke&y");
    sl->addWidget(new QLabel("Shift By :", shift), 0, 0);
    sl->addWidget(EBShift, 0, 1);
    sl->addWidget(bnNodeShift, 1, 0);
    sl->addWidget(bnKeyShift, 1, 1);

    auto* ok = Button(this, "BNOk", "&OK");
    BNCancel = Button(this, "BNCancel", "&Cancel");

    PMGrid = new QMenu(this);
    PMGrid->setObjectName("PMGrid");
    QAction* apply = PMGrid->addAction("Apply Frame To &Entry");
    apply->setObjectName("ApplyFrameToEntry1");
    PMGrid->addSeparator();
    QAction* addEnding = PMGrid->addAction("&Add Ending Entries");
    addEnding->setObjectName("AddEndingEntries1");
    QAction* deleteEnding = PMGrid->addAction("&Delete Ending Entries");
    deleteEnding->setObjectName("DeleteEndingEntries1");

    auto* side = new QVBoxLayout;
    for (QGroupBox* w : {flags, type, frames, gap, shift})
        side->addWidget(w);
    side->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(BNCancel);
    auto* grid = new QGridLayout(this);
    grid->addWidget(SGFrame, 0, 0);
    grid->addWidget(STTime, 1, 0);
    grid->addLayout(side, 0, 1, 2, 1);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(CBFlags, &QComboBox::activated, this,
            [this](int i) { doc_->Flags = kFlags[size_t(i)].value; });
    connect(CBType, &QComboBox::activated, this,
            [this](int i) { doc_->KeyType = kTypes[size_t(i)].value; });
    connect(bnGet, &QPushButton::clicked, this, [this] { Operation([this] { GetClick(); }); });
    connect(bnNodeGap, &QPushButton::clicked, this,
            [this] { Operation([this] { NodeGapClick(); }); });
    connect(bnKeyGap, &QPushButton::clicked, this,
            [this] { Operation([this] { KeyGapClick(); }); });
    connect(bnNodeShift, &QPushButton::clicked, this,
            [this] { Operation([this] { NodeShiftClick(); }); });
    connect(bnKeyShift, &QPushButton::clicked, this,
            [this] { Operation([this] { KeyShiftClick(); }); });
    connect(apply, &QAction::triggered, this, [this] { Operation([this] { ApplyFrameClick(); }); });
    connect(addEnding, &QAction::triggered, this,
            [this] { Operation([this] { AddEndingClick(); }); });
    connect(deleteEnding, &QAction::triggered, this,
            [this] { Operation([this] { DeleteEndingClick(); }); });
    connect(ok, &QPushButton::clicked, this, [this] { Operation([this] { OkClick(); }); });
    connect(BNCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(SGFrame, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PMGrid->popup(SGFrame->viewport()->mapToGlobal(p)); });
    connect(SGFrame->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { FillVisibleColumns(); });
    connect(SGFrame, &QTableWidget::currentCellChanged, this, [this] { FillVisibleColumns(); });
    doc_ = std::make_unique<TKEYFile>();
}

TSummaryForm::~TSummaryForm() = default;

// ---------------------------------------------------------------------------------------------
// Binding and filling

void TSummaryForm::ShowSummary(const TKEYFile& doc) {
    doc_ = doc.Clone();
    setWindowTitle("KEY Summary - " + ToQ(doc_->Name));
    // The current cell stays from one opening to the next (kept inside the new grid).
    if (SGFrame->currentRow() < 0) SGFrame->setCurrentCell(0, 0);
    FillGrid();
    for (size_t i = 0; i < std::size(kFlags); ++i)
        if (kFlags[i].value == doc_->Flags) CBFlags->setCurrentIndex(int(i));
    for (size_t i = 0; i < std::size(kTypes); ++i)
        if (kTypes[i].value == doc_->KeyType) CBType->setCurrentIndex(int(i));
    EBLast->setText(QString::number(int64_t(doc_->Frames) - 1));
    EBFrameRate->setText(QString::number(doc_->FPS));
    ShowTime();
    EBGap->setText(QString::number(Settings.DEFAULT_FRAMEGAP));
    BNCancel->setFocus();
}

std::unique_ptr<TKEYFile> TSummaryForm::SummaryDocument() {
    auto doc = std::move(doc_);
    doc_ = std::make_unique<TKEYFile>();
    return doc;
}

QString TSummaryForm::CellText(int column, int row) const {
    if (column == 0 && row == 0) return "Nodes \\ Entries";
    if (row == 0) return column - 1 < SGFrame->columnCount() ? QString::number(column - 1) : "";
    if (column == 0) {
        auto* h = SGFrame->verticalHeaderItem(row - 1);
        return h ? h->text() : QString();
    }
    if (auto* item = SGFrame->item(row - 1, column - 1)) return item->text();
    // A column not filled yet shows the document's frame once it comes into view.
    const int node = row - 1, entry = column - 1;
    if (column - 1 < filledColumns_ || node >= doc_->Nodes.Count() ||
        entry >= doc_->Nodes[node].Entries.Count())
        return QString();
    return QString::number(doc_->Nodes[node].Entries[entry].Frame);
}

void TSummaryForm::FillColumns(int upTo) {
    upTo = std::min(upTo, SGFrame->columnCount());
    if (upTo <= filledColumns_) return;
    const QSignalBlocker block(SGFrame);
    for (int c = filledColumns_; c < upTo; ++c) {
        SGFrame->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::number(c)));
        for (int n = 0; n < doc_->Nodes.Count(); ++n) {
            const TKEYEntries& entries = doc_->Nodes[n].Entries;
            SGFrame->setItem(
                n, c,
                new QTableWidgetItem(c < entries.Count() ? QString::number(entries[c].Frame) : ""));
        }
    }
    filledColumns_ = upTo;
}

void TSummaryForm::FillVisibleColumns() {
    // The columns on screen and a screenful beyond, so that scrolling finds them filled.
    const int last = SGFrame->columnAt(SGFrame->viewport()->width() - 1);
    const int first = std::max(0, SGFrame->columnAt(0));
    const int shown = last < 0 ? SGFrame->columnCount() : last;
    FillColumns(std::max({shown + (shown - first) + 2, SGFrame->currentColumn() + 1, 64}));
}

void TSummaryForm::FillGrid() {
    const int row = SGFrame->currentRow();
    const int column = SGFrame->currentColumn();
    SGFrame->clear();
    int columns = 1;
    for (const auto& node : doc_->Nodes)
        columns = std::max(columns, node->Entries.Count());
    SGFrame->setRowCount(doc_->Nodes.Count());
    SGFrame->setColumnCount(columns);
    QStringList names;
    for (const auto& node : doc_->Nodes)
        names << ToQ(node->MeshName).toLower();
    SGFrame->setVerticalHeaderLabels(names);
    // Wide enough for the longest name in bold, as the current row shows it.
    QFont bold = SGFrame->verticalHeader()->font();
    bold.setBold(true);
    int wide = 0;
    for (const QString& name : names)
        wide = std::max(wide, QFontMetrics(bold).horizontalAdvance(name));
    // Fixed, not only at least: a minimum above the fixed 80 pixels left the header's width
    // and the grid's margin for it apart, and the header covered entry 0's column.
    SGFrame->verticalHeader()->setFixedWidth(std::max(80, wide + 16));
    // Cells are made as their columns come into view: a document of 100,000 entries a node
    // opens at once.
    filledColumns_ = 0;
    FillColumns(std::clamp(column + 1, 64, 64 + std::max(column, 0)));
    // The remembered cell again, or the nearest one that still exists.
    if (SGFrame->rowCount() > 0)
        SGFrame->setCurrentCell(std::clamp(row, 0, SGFrame->rowCount() - 1),
                                std::clamp(column, 0, columns - 1));
}

void TSummaryForm::ShowTime() {
    STTime->setText(ToQ(PlayTimeText(doc_->Frames, doc_->FPS)));
}

// ---------------------------------------------------------------------------------------------
// Checks

void TSummaryForm::Warn(const std::string& text, QWidget* focus) {
    ShowMessageBox(this, ToQ(text), "Warning", MB_OK | MB_ICONWARNING);
    if (focus) focus->setFocus();
}

void TSummaryForm::Operation(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
    }
}

int TSummaryForm::CurrentNode() const {
    return std::max(0, SGFrame->currentRow());
}

int TSummaryForm::CurrentEntry() const {
    return std::max(0, SGFrame->currentColumn());
}

bool TSummaryForm::CommitCell(int node, int entry) {
    TKEYEntries& entries = doc_->Nodes[node].Entries;
    std::optional<int32_t> previous;
    if (entry > 0) previous = entries[entry - 1].Frame;
    TFrameCheck c = CheckFrameCell(FromQ(CellText(entry + 1, node + 1)), previous);
    for (const std::string& problem : c.problems)
        Warn(problem, nullptr);
    if (!c.problems.empty()) {
        SGFrame->setCurrentCell(node, entry);
        SGFrame->setFocus();
        return false;
    }
    entries[entry].Frame = c.value;
    return true;
}

bool TSummaryForm::CommitRow(int node) {
    for (int i = 0; i < doc_->Nodes[node].Entries.Count(); ++i)
        if (!CommitCell(node, i)) return false;
    return true;
}

bool TSummaryForm::CheckLastFrameField(int32_t& last) {
    if (auto problem = CheckLastFrame(FromQ(EBLast->text()), last)) {
        Warn(*problem, EBLast);
        return false;
    }
    doc_->Frames = ClampFrame(int64_t(last) + 1);
    ShowTime();
    return true;
}

bool TSummaryForm::CheckFrameRateField() {
    // A rate left as shown keeps the document's own, fractional or not; a typed one is whole.
    if (EBFrameRate->text() == QString::number(doc_->FPS)) return true;
    int32_t fps;
    if (auto problem = CheckFrameRate(FromQ(EBFrameRate->text()), fps)) {
        Warn(*problem, EBFrameRate);
        return false;
    }
    doc_->FPS = fps;
    return true;
}

bool TSummaryForm::CheckGapField(int32_t& gap) {
    if (auto problem = CheckGap(FromQ(EBGap->text()), doc_->Frames, gap)) {
        Warn(*problem, EBGap);
        return false;
    }
    return true;
}

bool TSummaryForm::CheckShiftField(int32_t& shift) {
    if (auto problem = CheckShift(FromQ(EBShift->text()), shift)) {
        Warn(*problem, EBShift);
        return false;
    }
    return true;
}

bool TSummaryForm::TargetEntries(int32_t gap, int32_t& last, int& count) {
    if (!CheckLastFrameField(last)) return false;
    count = TargetCount(last, gap, doc_->Flags);
    if (count > kMaxEntriesPerNode) {
        Warn("That gap gives more than " + std::to_string(kMaxEntriesPerNode) +
                 " entries per node.",
             EBGap);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Operations

void TSummaryForm::NodeGapClick() {
    int32_t gap, last = 0;
    int count = 0;
    if (!CheckGapField(gap)) return;
    const int node = CurrentNode(), k = CurrentEntry();
    if (!CommitCell(node, k)) return;
    const bool fit = CBEntries->isChecked();
    if (fit) {
        if (!TargetEntries(gap, last, count)) return;
        FitNode(*doc_, node, count);
    }
    Respace(*doc_, node, k, gap);
    if (fit) doc_->Nodes[node].Entries.Last().Frame = last;
    FillGrid();
}

void TSummaryForm::KeyGapClick() {
    int32_t gap, last = 0;
    int count = 0;
    if (!CheckGapField(gap)) return;
    const int k = CurrentEntry();
    for (int n = 0; n < doc_->Nodes.Count(); ++n)
        if (!CommitCell(n, k)) return;
    const bool fit = CBEntries->isChecked();
    if (fit) {
        if (!TargetEntries(gap, last, count)) return;
        for (int n = 0; n < doc_->Nodes.Count(); ++n)
            FitNode(*doc_, n, count);
    }
    for (int n = 0; n < doc_->Nodes.Count(); ++n) {
        Respace(*doc_, n, k, gap);
        if (fit) doc_->Nodes[n].Entries.Last().Frame = last;
    }
    FillGrid();
}

void TSummaryForm::NodeShiftClick() {
    int32_t shift;
    if (!CheckShiftField(shift)) return;
    const int node = CurrentNode();
    if (!CommitRow(node)) return;
    ShiftRow(*doc_, node, CurrentEntry(), shift);
    FillGrid();
}

void TSummaryForm::KeyShiftClick() {
    int32_t shift;
    if (!CheckShiftField(shift)) return;
    const int k = CurrentEntry();
    for (int n = 0; n < doc_->Nodes.Count(); ++n) {
        if (!CommitRow(n)) return; // the nodes shifted already stay shifted
        ShiftRow(*doc_, n, k, shift);
    }
    FillGrid();
}

void TSummaryForm::ApplyFrameClick() {
    const int node = CurrentNode();
    if (!CommitRow(node)) return;
    const int k = CurrentEntry();
    ApplyFrameToEntry(*doc_, k, doc_->Nodes[node].Entries[k].Frame);
    FillGrid();
}

void TSummaryForm::GetClick() {
    for (int n = 0; n < doc_->Nodes.Count(); ++n)
        if (!CommitRow(n)) return;
    const int32_t highest = HighestFrame(*doc_);
    doc_->Frames = ClampFrame(int64_t(highest) + 1);
    EBLast->setText(QString::number(highest));
    ShowTime();
}

void TSummaryForm::AddEndingClick() {
    int32_t last;
    if (!CheckLastFrameField(last)) return;
    AddEndingEntries(*doc_);
    FillGrid();
}

void TSummaryForm::DeleteEndingClick() {
    int32_t last;
    if (!CheckLastFrameField(last)) return;
    DeleteEndingEntries(*doc_);
    FillGrid();
}

void TSummaryForm::OkClick() {
    for (int n = 0; n < doc_->Nodes.Count(); ++n)
        if (!CommitRow(n)) return;
    int32_t last;
    if (!CheckLastFrameField(last) || !CheckFrameRateField()) return;
    accept();
}

} // namespace vorlin
