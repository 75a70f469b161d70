#include "common/U_msgForm.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>

#include "common/DialogSeams.h"
#include "common/qt_strings.h"

namespace vorlin {

TMsgForm::TMsgForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MsgForm");
    setWindowTitle("Messages");
    // A log left open must not keep the program running after its main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(435, 300);

    msgs_ = new QPlainTextEdit(this);
    msgs_->setObjectName("msgs");
    msgs_->setReadOnly(true);
    msgs_->setLineWrapMode(QPlainTextEdit::WidgetWidth); // a long message stays readable
    msgs_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(msgs_);

    QMenu* menu = menuBar()->addMenu("&Messages");
    menu->setObjectName("Messages1");
    // Clear and Close both begin with C: each menu letter is used once.
    QAction* clear = menu->addAction("Cl&ear");
    clear->setObjectName("Clear1");
    connect(clear, &QAction::triggered, this, &TMsgForm::Clear);
    QAction* close = menu->addAction("&Close");
    close->setObjectName("Close1");
    connect(close, &QAction::triggered, this, &QWidget::hide);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
}

void TMsgForm::AddMessage(const QString& text) {
    if (lines_.size() >= kMaxLines) lines_.removeLast();
    lines_.prepend(text);
    msgs_->setPlainText(lines_.join('\n'));
}

void TMsgForm::Clear() {
    lines_.clear();
    msgs_->clear();
}

void TMsgForm::showEvent(QShowEvent* event) {
    if (!shownBefore_) {
        shownBefore_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    QMainWindow::showEvent(event);
}

void QtMessageSink::Log(TMsgType kind, const std::string& text) {
    switch (kind) {
    case mtInfo:
        form_->AddMessage(ToQ(MessageLine(kind, text)));
        break;
    case mtWarning:
        form_->AddMessage(ToQ(MessageLine(kind, text)));
        form_->show();
        form_->raise();
        break;
    case mtError:
        ShowMessageBox(nullptr, ToQ(text), "Error", MB_OK | MB_ICONERROR);
        form_->AddMessage(ToQ(MessageLine(kind, text)));
        break;
    }
}

int QtMessageSink::Ask(const std::string& text, const std::string& caption, unsigned flags) {
    return ShowMessageBox(nullptr, ToQ(text), ToQ(caption), flags);
}

} // namespace vorlin
