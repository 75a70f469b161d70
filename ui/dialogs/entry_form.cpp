#include "dialogs/entry_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

#include "key/u_key.h"
#include "common/DialogSeams.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

struct FieldInfo {
    const char* name;
    const char* label;
    const char* message;
};
const FieldInfo kFields[12] = {
    {"EVX", "X :", "X Value is not a real number"},
    {"EVY", "Y :", "Y Value is not a real number"},
    {"EVZ", "Z :", "Z Value is not a real number"},
    {"EVPCH", "Pitch :", "Pitch Value is not a real number"},
    {"EVYAW", "Yaw :", "Yaw Value is not a real number"},
    {"EVROL", "Roll :", "Roll Value is not a real number"},
    {"EDX", "X :", "X differential is not a real number"},
    {"EDY", "Y :", "Y differential is not a real number"},
    {"EDZ", "Z :", "Z differential is not a real number"},
    {"EDPCH", "Pitch :", "Pitch differential is not a real number"},
    {"EDYAW", "Yaw :", "Yaw differential is not a real number"},
    {"EDROL", "Roll :", "Roll differential is not a real number"},
};

// The entry's twelve numbers in the fields' order.
std::array<double*, 12> Values(TKEYEntry& e) {
    return {&e.X,  &e.Y,  &e.Z,  &e.Pitch,  &e.Yaw,  &e.Roll,
            &e.DX, &e.DY, &e.DZ, &e.DPitch, &e.DYaw, &e.DRoll};
}

} // namespace

TEntryForm::TEntryForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("EntryForm");
    setWindowTitle("KEY Entry Edit Box");
    setModal(true);
    QGroupBox* groups[2] = {new QGroupBox("Values", this), new QGroupBox("Differentials", this)};
    for (int g = 0; g < 2; ++g) {
        auto* layout = new QGridLayout(groups[g]);
        for (int i = 0; i < 6; ++i) {
            const FieldInfo& info = kFields[g * 6 + i];
            auto* field = new QLineEdit(groups[g]);
            field->setObjectName(info.name);
            field->setMinimumWidth(110);
            layout->addWidget(new QLabel(info.label, groups[g]), i, 0);
            layout->addWidget(field, i, 1);
            fields_[size_t(g * 6 + i)] = field;
            if (g == 1) {
                auto* hint = new QLabel(groups[g]);
                hint->setObjectName(QString("Hint") + info.name);
                hint->setTextFormat(Qt::PlainText);
                layout->addWidget(hint, i, 2);
                hints_[size_t(i)] = hint;
            }
        }
    }
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BNOK");
    ok->setDefault(true);
    BNCancel = new QPushButton("Cancel", this);
    BNCancel->setObjectName("BNCancel");
    // Enter presses the focused button (Cancel, where the dialog starts); in a field, OK.
    BNCancel->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &TEntryForm::OkClick);
    connect(BNCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* grid = new QGridLayout(this);
    grid->addWidget(groups[0], 0, 0);
    grid->addWidget(groups[1], 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(BNCancel);
    grid->addLayout(buttons, 1, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void TEntryForm::ShowEntry(std::shared_ptr<TKEYEntry> entry, const TKEYEntry* implied) {
    entry_ = std::move(entry);
    const auto values = Values(*entry_);
    for (size_t i = 0; i < 12; ++i)
        fields_[i]->setText(ToQ(GeneralFloat(*values[i])));
    TKEYEntry next = implied ? *implied : *entry_;
    const auto wanted = Values(next);
    for (size_t i = 0; i < 6; ++i) {
        // More than the file's eight decimals apart: the next key implies another rate.
        const bool differs = std::abs(*values[6 + i] - *wanted[6 + i]) > 1e-8;
        hints_[i]->setText(differs ? "next key: " + ToQ(GeneralFloat(*wanted[6 + i])) : "");
    }
    BNCancel->setFocus();
}

void TEntryForm::OkClick() {
    // Every field is checked, in order, before any is stored.
    std::array<double, 12> typed{};
    for (size_t i = 0; i < 12; ++i)
        if (!ValDouble(FromQ(fields_[i]->text()), typed[i])) {
            ShowMessageBox(this, kFields[i].message, "Warning", MB_OK | MB_ICONWARNING);
            fields_[i]->setFocus();
            return;
        }
    const auto values = Values(*entry_);
    for (size_t i = 0; i < 12; ++i)
        *values[i] = typed[i];
    accept();
}

} // namespace vorlin
