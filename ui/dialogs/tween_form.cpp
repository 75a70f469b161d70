#include "dialogs/tween_form.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace vorlin {

TTweenForm::TTweenForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TweenForm");
    setWindowTitle("Tween");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Previous key", this));
    TBTween = new QSlider(Qt::Horizontal, this);
    TBTween->setObjectName("TBTween");
    TBTween->setRange(0, 100);
    TBTween->setValue(50);
    TBTween->setPageStep(10);
    row->addWidget(TBTween, 1);
    row->addWidget(new QLabel("Next key", this));
    layout->addLayout(row);
    LBTween = new QLabel(this);
    LBTween->setObjectName("LBTween");
    LBTween->setAlignment(Qt::AlignCenter);
    layout->addWidget(LBTween);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("BNOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("BNCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(TBTween, &QSlider::valueChanged, this, [this] { Moved(); });
    resize(360, 110);
}

double TTweenForm::Blend() const {
    return TBTween->value() / 100.0;
}

void TTweenForm::Moved() {
    LBTween->setText(QString("%1%").arg(TBTween->value()));
    if (OnBlend) OnBlend(Blend());
}

int TTweenForm::exec() {
    TBTween->setValue(50);
    TBTween->setFocus();
    Moved();
    return QDialog::exec();
}

} // namespace vorlin
