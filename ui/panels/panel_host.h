// What a panel asks of the window it sits in, beyond the document it observes: a word in the
// status bar, and a command run so that an error it raises is shown in a message box. The main
// window provides it; a test gives a panel a host of its own and a bare document.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace vorlin {

class TPanelHost {
public:
    virtual ~TPanelHost() = default;
    // A word in the status bar (why a command did nothing, where a drag is); empty clears it.
    virtual void ShowStatus(const QString& text, int milliseconds = 5000) = 0;
    // Runs a command: an error it raises is shown in a message box.
    virtual void RunCommand(const std::function<void()>& body) = 0;
    // The window dialogs are shown over.
    virtual QWidget* Window() = 0;
};

// Runs a command's body, showing an error it raises in a message box over parent.
void RunShowingErrors(QWidget* parent, const std::function<void()>& body);

} // namespace vorlin
