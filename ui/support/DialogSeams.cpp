#include "support/DialogSeams.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

#include "support/misc_utils.h"

namespace vorlin {

namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton first;
};

ButtonSet ButtonsFor(unsigned flags) {
    using B = QMessageBox;
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {B::Ok | B::Cancel, B::Ok};
    case MB_ABORTRETRYIGNORE:
        return {B::Abort | B::Retry | B::Ignore, B::Abort};
    case MB_YESNOCANCEL:
        return {B::Yes | B::No | B::Cancel, B::Yes};
    case MB_YESNO:
        return {B::Yes | B::No, B::Yes};
    case MB_RETRYCANCEL:
        return {B::Retry | B::Cancel, B::Retry};
    default:
        return {B::Ok, B::Ok};
    }
}

QMessageBox::StandardButton SecondButton(unsigned flags) {
    using B = QMessageBox;
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
        return B::Cancel;
    case MB_ABORTRETRYIGNORE:
        return B::Retry;
    case MB_YESNOCANCEL:
    case MB_YESNO:
        return B::No;
    default:
        return B::Ok;
    }
}

int ResultOf(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Abort:
        return IDABORT;
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Ignore:
        return IDIGNORE;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

QMessageBox::Icon IconFor(unsigned flags) {
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned flags) {
    if (Handler()) return Handler()(text, caption, flags);
    if (!parent) parent = QApplication::activeWindow();
    ButtonSet set = ButtonsFor(flags);
    QMessageBox box(IconFor(flags), caption, text, set.buttons, parent);
    box.setDefaultButton((flags & MB_DEFBUTTON2) ? SecondButton(flags) : set.first);
    return ResultOf(box.exec());
}

} // namespace vorlin
