#include "dialogs/progress_form.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace vorlin {

TProgressForm::TProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("ProgressForm");
    setWindowTitle("3DO Loading Progress");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("ProgressBar");
    bar_->setFixedWidth(400);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TProgressForm::Start(int max) {
    bar_->setRange(0, max);
    bar_->setValue(0);
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    // Painted at once rather than through the event loop, which must not run timers (playback)
    // while the textures are half built.
    repaint();
}

void TProgressForm::StepIt() {
    bar_->setValue(bar_->value() + 1);
    bar_->repaint();
}

void TProgressForm::Finish() {
    hide();
}

std::function<void(int, int)> TProgressForm::Reporter(TProgressForm* form) {
    if (!form) return {};
    return [form](int done, int total) {
        if (done == 0)
            form->Start(total);
        else
            form->StepIt();
        if (done == total) form->Finish();
    };
}

} // namespace vorlin
