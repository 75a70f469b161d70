#include "common/DialogSeams.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
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

namespace {

FileDialogHandler& FileHandler() {
    static FileDialogHandler handler;
    return handler;
}
ColorDialogHandler& ColorHandler() {
    static ColorDialogHandler handler;
    return handler;
}
UrlHandler& Urls() {
    static UrlHandler handler;
    return handler;
}

} // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    return std::exchange(FileHandler(), std::move(handler));
}

std::optional<QString> AskFileName(QWidget* parent, const FileDialogRequest& request) {
    if (FileHandler()) return FileHandler()(request);
    QFileDialog dialog(parent, request.caption, request.initialPath, request.filter);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (request.kind == FileDialogRequest::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

ColorDialogHandler SetColorDialogHandler(ColorDialogHandler handler) {
    return std::exchange(ColorHandler(), std::move(handler));
}

std::optional<QColor> AskColor(QWidget* parent, const QColor& initial) {
    if (ColorHandler()) return ColorHandler()(initial);
    QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid()) return std::nullopt;
    return c;
}

UrlHandler SetUrlHandler(UrlHandler handler) {
    return std::exchange(Urls(), std::move(handler));
}

bool OpenUrl(const QString& url) {
    if (Urls()) return Urls()(url);
    return QDesktopServices::openUrl(
        QUrl::fromUserInput(url, QDir::currentPath(), QUrl::AssumeLocalFile));
}

} // namespace vorlin
