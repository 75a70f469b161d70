#include "dialogs/markers_form.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <cmath>

#include "edit/markers.h"
#include "common/DialogSeams.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

TMarkersForm::TMarkersForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("MarkersForm");
    setWindowTitle("Edit Markers");
    setModal(true);

    MarkersGrid = new QTableWidget(this);
    MarkersGrid->setObjectName("MarkersGrid");
    MarkersGrid->setColumnCount(2);
    MarkersGrid->horizontalHeader()->hide();
    MarkersGrid->verticalHeader()->hide();
    MarkersGrid->horizontalHeader()->setDefaultSectionSize(92);
    MarkersGrid->verticalHeader()->setDefaultSectionSize(18);
    MarkersGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MarkersGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    MarkersGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    MarkersGrid->setFixedSize(2 * 92 + 2 * MarkersGrid->frameWidth() + 18, 200);

    LType = Label(this, "LType", "Type");
    CBType = new QComboBox(this);
    CBType->setObjectName("CBType");
    for (int t = 1; t <= kMarkerTypeCount; ++t)
        CBType->addItem(ToQ(MarkerTypeItem(t)));
    LFrame = Label(this, "LFrame", "Frame");
    FrameScroll = new QScrollBar(Qt::Horizontal, this);
    FrameScroll->setObjectName("FrameScroll");
    LCurrent = Label(this, "LCurrent", "Set marker to current frame");
    BNSet = Button(this, "BNSet", "&Set");
    LValue = Label(this, "LValue", "Value");
    EBValue = new QLineEdit(this);
    EBValue->setObjectName("EBValue");

    auto* bnNew = Button(this, "BNNewMarker", "&New");
    auto* bnInsert = Button(this, "BNInsertMarker", "&Insert");
    auto* bnDelete = Button(this, "BNDeleteMarker", "&Delete");
    auto* saber = Label(this, "Label1", "Make saber key");
    auto* bnSingle = Button(this, "BNSingle", "Single");
    auto* bnDouble = Button(this, "BNDouble", "Double");
    auto* ok = Button(this, "BNOk", "&OK");
    BNCancel = Button(this, "BNCancel", "&Cancel");

    auto* editor = new QGridLayout;
    editor->addWidget(LType, 0, 0);
    editor->addWidget(CBType, 0, 1, 1, 2);
    editor->addWidget(LFrame, 1, 0);
    editor->addWidget(FrameScroll, 1, 1, 1, 2);
    editor->addWidget(LCurrent, 2, 0, 1, 2);
    editor->addWidget(BNSet, 2, 2);
    editor->addWidget(LValue, 3, 0);
    editor->addWidget(EBValue, 3, 1, 1, 2);
    auto* list = new QHBoxLayout;
    for (QPushButton* b : {bnNew, bnInsert, bnDelete})
        list->addWidget(b);
    auto* saberRow = new QHBoxLayout;
    saberRow->addWidget(saber);
    saberRow->addWidget(bnSingle);
    saberRow->addWidget(bnDouble);
    auto* side = new QVBoxLayout;
    side->addLayout(editor);
    side->addStretch();
    side->addLayout(list);
    side->addLayout(saberRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(BNCancel);
    side->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(MarkersGrid);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(520);

    connect(MarkersGrid, &QTableWidget::cellClicked, this, [this] { ShowMarkerRows(); });
    connect(MarkersGrid, &QTableWidget::currentCellChanged, this, [this] { ShowMarkerRows(); });
    connect(CBType, &QComboBox::activated, this, &TMarkersForm::TypeChosen);
    connect(FrameScroll, &QScrollBar::valueChanged, this, &TMarkersForm::ScrollMoved);
    connect(BNSet, &QPushButton::clicked, this, &TMarkersForm::SetClick);
    // The value is checked on every leave of the field (not only after a change) and on OK.
    connect(EBValue, &QLineEdit::returnPressed, this, [this] { TakeValue(); });
    EBValue->installEventFilter(this);
    connect(bnNew, &QPushButton::clicked, this, [this] { Add(false); });
    connect(bnInsert, &QPushButton::clicked, this, [this] { Add(true); });
    connect(bnDelete, &QPushButton::clicked, this, &TMarkersForm::DeleteClick);
    connect(bnSingle, &QPushButton::clicked, this, [this] { Saber(false); });
    connect(bnDouble, &QPushButton::clicked, this, [this] { Saber(true); });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (TakeValue()) accept();
    });
    connect(BNCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TMarkersForm::ShowMarkers(const TKEYMarkers& markers, int frames, int current) {
    markers_.Clear();
    for (const auto& m : markers)
        markers_.Add(std::make_shared<TKEYMarker>(*m));
    maxFrame_ = frames > 0 ? frames - 1 : 0;
    current_ = current;
    MarkersGrid->setCurrentCell(0, 0);
    ShowMarkerRows();
}

void TMarkersForm::SelectMarker(int marker) {
    if (marker < 0 || marker >= markers_.Count()) return;
    MarkersGrid->setCurrentCell(marker, 0);
    ShowMarkerRows();
}

void TMarkersForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ShowMarkerRows();
    BNCancel->setFocus();
}

int TMarkersForm::Selected() const {
    const int row = MarkersGrid->currentRow();
    if (markers_.Empty()) return -1;
    return std::clamp(row, 0, markers_.Count() - 1);
}

TKEYMarker* TMarkersForm::SelectedMarker() const {
    const int i = Selected();
    return i < 0 ? nullptr : &markers_[i];
}

void TMarkersForm::PlaceFrame(int frame) {
    const QSignalBlocker block(FrameScroll);
    FrameScroll->setRange(std::min(0, frame), std::max(maxFrame_, frame));
    FrameScroll->setValue(frame);
}

void TMarkersForm::ShowMarkerRows() {
    const int selected = Selected();
    {
        const QSignalBlocker block(MarkersGrid);
        MarkersGrid->clearContents();
        MarkersGrid->setRowCount(std::max(1, markers_.Count()));
        for (int i = 0; i < markers_.Count(); ++i) {
            MarkersGrid->setItem(i, 0,
                                 new QTableWidgetItem(ToQ(MarkerGridName(markers_[i].MarkerType))));
            MarkersGrid->setItem(i, 1, new QTableWidgetItem(ToQ(MarkerNumberText(markers_[i]))));
        }
        if (selected >= 0) MarkersGrid->setCurrentCell(selected, 0);
    }
    const TKEYMarker* m = SelectedMarker();
    const bool frame = m && IsFrameMarker(m->MarkerType);
    for (QWidget* w : {static_cast<QWidget*>(LType), static_cast<QWidget*>(CBType)})
        w->setVisible(m != nullptr);
    for (QWidget* w : {static_cast<QWidget*>(LFrame), static_cast<QWidget*>(FrameScroll),
                       static_cast<QWidget*>(LCurrent), static_cast<QWidget*>(BNSet)})
        w->setVisible(frame);
    LValue->setVisible(m && !frame);
    EBValue->setVisible(m && !frame);
    if (!m) return;
    const int type = m->MarkerType;
    CBType->setCurrentIndex(type >= 1 && type <= kMarkerTypeCount ? type - 1 : -1);
    if (frame) {
        // Truncated toward zero, and kept within what a frame number can be.
        const double f = std::trunc(m->Frame);
        PlaceFrame(f > INT32_MAX ? INT32_MAX : f < INT32_MIN ? INT32_MIN : int(f));
    } else {
        EBValue->setText(ToQ(GeneralFloat(m->Frame)));
    }
}

void TMarkersForm::TypeChosen(int index) {
    TKEYMarker* m = SelectedMarker();
    if (!m) return;
    m->MarkerType = index + 1;
    m->Frame = 0;
    ShowMarkerRows();
}

void TMarkersForm::ScrollMoved(int position) {
    TKEYMarker* m = SelectedMarker();
    if (!m) return;
    m->Frame = position;
    if (QTableWidgetItem* cell = MarkersGrid->item(Selected(), 1))
        cell->setText(QString("Frame = %1").arg(position));
}

void TMarkersForm::SetClick() {
    TKEYMarker* m = SelectedMarker();
    if (!m) return;
    PlaceFrame(current_);
    m->Frame = current_;
    ShowMarkerRows();
}

bool TMarkersForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EBValue && event->type() == QEvent::FocusOut) TakeValue();
    return QDialog::eventFilter(watched, event);
}

bool TMarkersForm::TakeValue() {
    TKEYMarker* m = SelectedMarker();
    if (!m || EBValue->isHidden()) return true;
    if (checking_) return false;
    double value;
    if (!ValDouble(FromQ(EBValue->text()), value)) {
        checking_ = true;
        ShowMessageBox(this, "Marker value is not a real number", "Warning",
                       MB_OK | MB_ICONWARNING);
        EBValue->setFocus();
        checking_ = false;
        return false;
    }
    if (m->Frame != value) {
        m->Frame = value;
        ShowMarkerRows();
    }
    return true;
}

void TMarkersForm::Add(bool insert) {
    const TKEYMarker* m = SelectedMarker();
    auto added = std::make_shared<TKEYMarker>(m ? *m : TKEYMarker{0.0, 1});
    if (insert && m)
        markers_.Insert(Selected(), added);
    else
        markers_.Add(added);
    ShowMarkerRows();
}

void TMarkersForm::DeleteClick() {
    const int i = Selected();
    if (i < 0) return;
    markers_.Delete(i);
    ShowMarkerRows();
}

void TMarkersForm::Saber(bool twice) {
    markers_.Clear();
    for (const TKEYMarker& m : SaberMarkers(twice))
        markers_.Add(std::make_shared<TKEYMarker>(m));
    MarkersGrid->setCurrentCell(0, 0);
    ShowMarkerRows();
}

} // namespace vorlin
