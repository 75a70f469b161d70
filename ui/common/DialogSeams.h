// Every modal question and message box of the program passes through here, so that a test can
// answer it without a person.
#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace vorlin {

// Answers a message box: text, caption, MB_ flags; returns an ID result (IDOK, IDYES, ...).
using MessageBoxHandler =
    std::function<int(const QString& text, const QString& caption, unsigned flags)>;

// Installs a handler in place of the real message box; an empty one restores the real box.
// Returns the handler it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a modal message box with the buttons and icon the flags ask for.
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned flags);

// A standard file dialog: open an existing file, or choose where to save one.
struct FileDialogRequest {
    enum Kind { Open, Save } kind = Open;
    QString caption;
    QString initialPath; // a file name, or a folder followed by "/"
    QString filter;      // in Qt's form: "KEY Files (*.key)"
    QString defaultSuffix;
};
// Returns the chosen path, or nothing when the user cancelled.
using FileDialogHandler = std::function<std::optional<QString>(const FileDialogRequest&)>;
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
std::optional<QString> AskFileName(QWidget* parent, const FileDialogRequest& request);

// The standard colour dialog; nothing when cancelled.
using ColorDialogHandler = std::function<std::optional<QColor>(const QColor& initial)>;
ColorDialogHandler SetColorDialogHandler(ColorDialogHandler handler);
std::optional<QColor> AskColor(QWidget* parent, const QColor& initial);

// Opening a document or web page with the desktop's default program; false when none could be
// started.
using UrlHandler = std::function<bool(const QString& url)>;
UrlHandler SetUrlHandler(UrlHandler handler);
bool OpenUrl(const QString& url);

} // namespace vorlin
