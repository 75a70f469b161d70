#include "dialogs/import_motion_form.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/qt_strings.h"

namespace vorlin {

TImportMotionForm::TImportMotionForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TImportMotionForm");
    setWindowTitle("Import Motion");
    auto* layout = new QVBoxLayout(this);
    LBSource = new QLabel(this);
    LBSource->setObjectName("LBSource");
    LBSource->setWordWrap(true);
    layout->addWidget(LBSource);
    auto* intro = new QLabel("Each node turns as its bone turns, so that its limb points where "
                             "the bone's does. A node without a bone keeps its rest pose.",
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    LVMapping = new QTableWidget(0, 2, this);
    LVMapping->setObjectName("LVMapping");
    LVMapping->setHorizontalHeaderLabels({"Model node", "Moved by bone"});
    LVMapping->horizontalHeader()->setStretchLastSection(true);
    LVMapping->verticalHeader()->hide();
    LVMapping->setSelectionMode(QAbstractItemView::NoSelection);
    layout->addWidget(LVMapping, 1);
    LBUnmapped = new QLabel(this);
    LBUnmapped->setObjectName("LBUnmapped");
    LBUnmapped->setWordWrap(true);
    layout->addWidget(LBUnmapped);
    LBUnused = new QLabel(this);
    LBUnused->setObjectName("LBUnused");
    LBUnused->setWordWrap(true);
    layout->addWidget(LBUnused);

    auto* form = new QFormLayout;
    CBAnimation = new QComboBox(this);
    CBAnimation->setObjectName("CBAnimation");
    form->addRow("&Animation:", CBAnimation);
    EFps = new QDoubleSpinBox(this);
    EFps->setObjectName("EFps");
    EFps->setRange(1, 1000);
    EFps->setDecimals(2);
    form->addRow("&Frames a second:", EFps);
    CBRoot = new QComboBox(this);
    CBRoot->setObjectName("CBRoot");
    CBRoot->addItem("Keep its path", int(TRootMotion::Keep));
    CBRoot->addItem("In place (height kept)", int(TRootMotion::InPlace));
    CBRoot->addItem("None", int(TRootMotion::None));
    form->addRow("&Root motion:", CBRoot);
    ETolerance = new QDoubleSpinBox(this);
    ETolerance->setObjectName("ETolerance");
    ETolerance->setRange(0, 90);
    ETolerance->setDecimals(3);
    ETolerance->setValue(TTolerance{}.Angle);
    ETolerance->setSuffix(" degrees");
    form->addRow("&Tolerance:", ETolerance);
    EToleranceUnits = new QDoubleSpinBox(this);
    EToleranceUnits->setObjectName("EToleranceUnits");
    EToleranceUnits->setRange(0, 10);
    EToleranceUnits->setDecimals(4);
    EToleranceUnits->setSingleStep(0.001);
    EToleranceUnits->setValue(TTolerance{}.Position);
    EToleranceUnits->setSuffix(" units");
    form->addRow("", EToleranceUnits);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("BNOK");
    buttons->button(QDialogButtonBox::Ok)->setText("&Import");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("BNCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(460, 560);
}

void TImportMotionForm::ShowMapping(const QString& source, const std::vector<std::string>& nodes,
                                    const std::vector<std::string>& bones, const TBoneMap& map,
                                    const std::vector<std::string>& animations, int animation,
                                    double fps) {
    nodes_ = nodes;
    bones_ = bones;
    map_ = map;
    map_.Source.resize(nodes.size(), -1);
    LBSource->setText("From " + source + " (" + QString::number(bones.size()) + " bones)");
    CBAnimation->clear();
    for (const std::string& a : animations)
        CBAnimation->addItem(ToQ(a));
    CBAnimation->setCurrentIndex(animation);
    CBAnimation->setEnabled(animations.size() > 1);
    EFps->setValue(fps);
    LVMapping->setRowCount(int(nodes.size()));
    for (int n = 0; n < int(nodes.size()); ++n) {
        auto* name = new QTableWidgetItem(ToQ(nodes[size_t(n)]));
        name->setFlags(Qt::ItemIsEnabled);
        LVMapping->setItem(n, 0, name);
        auto* bone = new QComboBox(LVMapping);
        bone->setObjectName("CBBone" + QString::number(n));
        bone->addItem("(none: rest pose)", -1);
        for (int b = 0; b < int(bones.size()); ++b)
            bone->addItem(ToQ(bones[size_t(b)]), b);
        bone->setCurrentIndex(std::max(0, bone->findData(map_.Source[size_t(n)])));
        connect(bone, &QComboBox::currentIndexChanged, this, [this, n, bone] {
            map_.Source[size_t(n)] = bone->currentData().toInt();
            ShowUnused();
        });
        LVMapping->setCellWidget(n, 1, bone);
    }
    LVMapping->resizeColumnToContents(0);
    ShowUnused();
}

void TImportMotionForm::ShowUnused() {
    QStringList alone, unused;
    for (int n : map_.UnmappedNodes())
        alone << ToQ(nodes_[size_t(n)]);
    for (int b : map_.UnusedBones(int(bones_.size())))
        if (!IsEndSite(bones_[size_t(b)])) unused << ToQ(bones_[size_t(b)]);
    LBUnmapped->setText(alone.isEmpty() ? "Every node has a bone."
                                        : "At rest (no bone): " + alone.join(", "));
    LBUnused->setText(unused.isEmpty() ? "Every bone is used."
                                       : "Bones not used: " + unused.join(", "));
}

TImportOptions TImportMotionForm::EditedOptions() const {
    TImportOptions o;
    o.Mapping = map_;
    o.Retarget.Fps = EFps->value();
    o.Retarget.Root = TRootMotion(CBRoot->currentData().toInt());
    o.Tolerance.Angle = ETolerance->value();
    o.Tolerance.Position = EToleranceUnits->value();
    return o;
}

int TImportMotionForm::Animation() const {
    return CBAnimation->currentIndex();
}

} // namespace vorlin
