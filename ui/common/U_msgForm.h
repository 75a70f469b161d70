// The message log window, where warnings from loading resources, models and animations are
// collected, newest first.
#pragma once

#include <QMainWindow>
#include <QStringList>

#include "support/misc_utils.h"

class QPlainTextEdit;

namespace vorlin {

class TMsgForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 500;

    explicit TMsgForm(QWidget* parent = nullptr);

    // Drops the oldest line when the log is full, then puts text on top.
    void AddMessage(const QString& text);
    void Clear();
    const QStringList& Lines() const { return lines_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* msgs_;
    QStringList lines_;
    bool shownBefore_ = false;
};

// Routes the core's messages to the log window and its questions to message boxes.
class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(TMsgForm* form) : form_(form) {}
    void Log(TMsgType kind, const std::string& text) override;
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override;

private:
    TMsgForm* form_;
};

} // namespace vorlin
