// The end of a desktop session under the editor: a logout's SIGHUP, a service manager's or a
// task manager's SIGTERM, Ctrl+C in the terminal that started it, or the display going away.
// The signals are taken through the event loop (the handler only writes a byte down a pipe),
// the unsaved work is kept for recovery, and the process then ends as the signal ends it, so
// that whatever sent it sees the usual status. When the display goes away, the window system
// ends the process with exit(); the same work is kept on the way out.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace vorlin {

class TTermination : public QObject {
    Q_OBJECT
public:
    // keep runs on the editor's thread, once, before the process ends for any of those
    // reasons; it must not need the event loop.
    explicit TTermination(std::function<void()> keep, QObject* parent = nullptr);
    // A program that ends as it means to keeps nothing on the way out.
    ~TTermination() override;

    // The signals taken.
    static const int kSignals[3];

private:
    void Arrived();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vorlin
