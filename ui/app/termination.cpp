#include "app/termination.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorlin {

const int TTermination::kSignals[3] = {SIGTERM, SIGHUP, SIGINT};

namespace {

int pipeEnds[2] = {-1, -1};
// What keeps the work: set while an editor runs, run at most once.
std::function<void()>* keeper = nullptr;

void RunKeeper() {
    std::function<void()>* keep = keeper;
    keeper = nullptr;
    if (keep && *keep) (*keep)();
}

extern "C" void OnSignal(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

// The window system's exit() when the display goes away.
extern "C" void OnExit() {
    RunKeeper();
}

} // namespace

TTermination::TTermination(std::function<void()> keep, QObject* parent) : QObject(parent) {
    delete keeper;
    keeper = new std::function<void()>(std::move(keep));
    static const bool registered = std::atexit(OnExit) == 0;
    (void)registered;
    if (pipeEnds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0)
        return; // the signals then end the program as they always did
    ::fcntl(pipeEnds[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TTermination::Arrived);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &action, nullptr);
}

TTermination::~TTermination() {
    delete keeper;
    keeper = nullptr;
    for (int sig : kSignals)
        ::signal(sig, SIG_DFL);
}

void TTermination::Arrived() {
    unsigned char byte = 0;
    if (::read(pipeEnds[0], &byte, 1) != 1) return;
    RunKeeper();
    // Ended by the signal itself, as it would have been without us.
    const int sig = byte;
    ::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(sig);
    std::_Exit(128 + sig); // should the signal be held off somehow
}

} // namespace vorlin
