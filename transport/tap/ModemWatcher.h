#pragma once
// Watches one adapter's modem-status inputs on a thread of its own: it waits
// in TIOCMIWAIT, and at every wake-up takes the time first, then the levels
// (TIOCMGET) and the interrupt counters (TIOCGICOUNT). A counter that moved
// while the level ended where it was shows a pulse shorter than one wake-up,
// which is reported as a pulse rather than lost. Drivers without TIOCMIWAIT
// are polled every 10 ms instead, and said to be.
#include "TapModemSeam.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace tap {

class ModemWatcher {
public:
    // Called on the watcher's thread: the input levels (Input bits set where
    // asserted) before and after a change, the inputs that pulsed in between,
    // and the monotonic time of the wake-up; or gone = true when the device
    // failed.
    struct Change {
        int64_t t;
        int before;
        int pulsed;
        int after;
        bool gone;
    };
    using Sink = std::function<void(const Change&)>;

    ModemWatcher(int fd, int inputs, const KsTapModemIo& io, std::string name, Sink sink);
    ~ModemWatcher(); // Stop
    ModemWatcher(const ModemWatcher&) = delete;
    ModemWatcher& operator=(const ModemWatcher&) = delete;

    // The present levels, or -1 when the driver has no control lines.
    static int ReadInputs(const KsTapModemIo& io, int fd);

    // wakeSignal: the signal that interrupts the wait (0: none).
    bool Start(int wakeSignal);
    void Stop();

private:
    void Run();
    bool Sample(int64_t t, bool countsOk);
    bool PauseForPoll();

    int fd;
    int inputs;
    KsTapModemIo io;
    std::string name;
    Sink sink;
    int signal = 0;
    int stopFd = -1;
    std::atomic<bool> quit{false};
    std::atomic<bool> running{false};
    std::thread thread;
    int levels = 0;
    KsTapCounts counts{};
};

} // namespace tap
