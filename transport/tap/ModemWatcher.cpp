#include "ModemWatcher.h"

#include "ModemIo.h"
#include "TapClock.h"
#include "TapWiring.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tap {
namespace {

constexpr int kPollPeriodMs = 10;

bool DeviceGone(int err) { return err == EIO || err == ENODEV || err == ENXIO || err == EBADF; }

int CountOf(const KsTapCounts& c, int input)
{
    switch (input) {
    case kInCts: return c.cts;
    case kInDsr: return c.dsr;
    case kInDcd: return c.dcd;
    case kInRi: return c.rng;
    default: return 0;
    }
}

} // namespace

ModemWatcher::ModemWatcher(int f, int in, const KsTapModemIo& i, std::string n, Sink s)
    : fd(f), inputs(in), io(i), name(std::move(n)), sink(std::move(s))
{
}

ModemWatcher::~ModemWatcher() { Stop(); }

int ModemWatcher::ReadInputs(const KsTapModemIo& io, int fd)
{
    int tiocm = 0;
    if (io.lines(io.context, fd, &tiocm) != 0) return -1;
    return InputsFromTiocm(tiocm);
}

bool ModemWatcher::Start(int wakeSignal)
{
    signal = wakeSignal;
    stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) return false;
    const int now = ReadInputs(io, fd);
    if (now < 0) {
        ::close(stopFd);
        stopFd = -1;
        return false;
    }
    levels = now & inputs;
    if (io.counts(io.context, fd, &counts) != 0) counts = KsTapCounts{};
    quit = false;
    running = true;
    try {
        thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        running = false;
        return false;
    }
    return true;
}

void ModemWatcher::Stop()
{
    if (thread.joinable()) {
        quit = true;
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = ::write(stopFd, &one, sizeof one);
        // The signal may land just before the thread enters its wait, so it
        // is sent again until the thread has gone; each wait it interrupts
        // ends at once, and a simulated one within milliseconds anyway.
        while (running) {
            if (signal != 0) ::pthread_kill(thread.native_handle(), signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        thread.join();
    }
    if (stopFd >= 0) ::close(stopFd);
    stopFd = -1;
}

bool ModemWatcher::PauseForPoll()
{
    pollfd p{stopFd, POLLIN, 0};
    ::poll(&p, 1, kPollPeriodMs);
    return !quit;
}

bool ModemWatcher::Sample(int64_t t, bool countsOk)
{
    int tiocm = 0;
    if (io.lines(io.context, fd, &tiocm) != 0) {
        sink(Change{t, levels, 0, levels, true});
        return false;
    }
    const int now = InputsFromTiocm(tiocm) & inputs;
    int pulsed = 0;
    KsTapCounts next{};
    if (countsOk && io.counts(io.context, fd, &next) == 0) {
        for (const int input : {kInCts, kInDsr, kInDcd, kInRi}) {
            if (!(inputs & input)) continue;
            const int moved = CountOf(next, input) - CountOf(counts, input);
            const bool changed = ((now ^ levels) & input) != 0;
            // Both edges are counted, except on RI, where only the end of a
            // ring is: any count with an unchanged RI was a whole ring.
            const bool pulse = input == kInRi ? (moved >= 1 && !changed) : (moved >= 2 && !changed);
            if (pulse) pulsed |= input;
        }
        counts = next;
    }
    if (now != levels || pulsed != 0) sink(Change{t, levels, pulsed, now, false});
    levels = now;
    return true;
}

void ModemWatcher::Run()
{
    ::pthread_setname_np(::pthread_self(), "ks-tap-lines");
    if (signal != 0) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, signal);
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
    const int tiocmMask = TiocmFromInputs(inputs);
    KsTapCounts probe{};
    const bool countsOk = io.counts(io.context, fd, &probe) == 0;
    bool polling = signal == 0;
    if (polling) std::fprintf(stderr, "serial tap: %s: no signal to wait with; control lines are polled every %d ms\n",
                              name.c_str(), kPollPeriodMs);
    while (!quit) {
        if (!polling) {
            if (io.wait(io.context, fd, tiocmMask) != 0) {
                const int err = errno;
                if (err == EINTR) {
                    // Interrupted. A change that came between the last look
                    // and the start of the wait does not end the wait, so
                    // look again now rather than only at the next change.
                    if (quit) break;
                    if (!Sample(MonotonicNs(), countsOk)) break;
                    continue;
                }
                if (DeviceGone(err)) {
                    sink(Change{MonotonicNs(), levels, 0, levels, true});
                    break;
                }
                // Some drivers refuse to wait (or to wait on some inputs):
                // fall back to looking regularly, and say so once.
                std::fprintf(stderr, "serial tap: %s cannot wait for control-line changes (%s); polling every %d ms%s\n",
                             name.c_str(), std::strerror(err), kPollPeriodMs,
                             countsOk ? "" : ", pulses shorter than that are missed");
                polling = true;
                continue;
            }
        } else if (!PauseForPoll()) {
            break;
        }
        if (!Sample(MonotonicNs(), countsOk)) break;
    }
    running = false;
}

} // namespace tap
