#include "TerminationSignals.h"

#include "DebugLog.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace ks {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The pipe lives as long as the process: a handler running on another thread
// while an instance goes never writes into a descriptor closed under it.
struct SignalPipe {
    int read = -1;
    int write = -1;
};

const SignalPipe& Pipe()
{
    static const SignalPipe pipe = [] {
        SignalPipe p;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            p.read = fds[0];
            p.write = fds[1];
        }
        return p;
    }();
    return pipe;
}

std::atomic<int> writeEnd{-1};
std::atomic<bool> taken{false};

extern "C" void OnTerminationSignal(int signal)
{
    const int saved = errno;
    const int fd = writeEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        // A full pipe already holds a signal for the loop; nothing is lost.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void RestoreDefaults()
{
    for (int s : kSignals) std::signal(s, SIG_DFL);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal(std::move(onSignal))
{
    if (taken.exchange(true)) return; // another instance has them
    const SignalPipe& pipe = Pipe();
    if (pipe.read < 0) {
        taken = false;
        OutputDebugString(QStringLiteral("Termination signals are not handled: no pipe"));
        return;
    }
    unsigned char stale[64];
    while (::read(pipe.read, stale, sizeof stale) > 0) {
    }
    writeEnd.store(pipe.write);
    struct sigaction action {};
    action.sa_handler = &OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) ::sigaction(s, &action, nullptr);
    notifier = new QSocketNotifier(pipe.read, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { ReadSignals(); });
    installed = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!installed) return;
    RestoreDefaults();
    writeEnd.store(-1);
    delete notifier;
    taken = false;
}

void TerminationSignals::ReadSignals()
{
    unsigned char buffer[16];
    const ssize_t n = ::read(Pipe().read, buffer, sizeof buffer);
    if (n <= 0) return;
    // A second signal from here on ends the program at once.
    RestoreDefaults();
    if (onSignal) onSignal(buffer[0]);
}

} // namespace ks
