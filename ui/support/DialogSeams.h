// Every modal question and message box of the program passes through here, so that a test can
// answer it without a person.
#pragma once

#include <QString>
#include <functional>

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

} // namespace vorlin
