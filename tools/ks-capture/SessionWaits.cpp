#include "SessionWaits.h"

#include "CSeriesWriter.h"

#include <cerrno>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

int64_t MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

uint32_t Now32() { return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xFFFFFFFFu); }

void LinkActivity::WaitUntilQuiet(const std::atomic<bool>& lost) const
{
    const int64_t stopped = MonotonicNs();
    const uint64_t emptiesAtStop = emptyCalls;
    const int64_t limit = stopped + 2'000'000'000;
    for (;;) {
        const int64_t now = MonotonicNs();
        if (now >= limit || lost) return;
        if (emptyCalls >= emptiesAtStop + 2 && now - lastDataNs >= 50'000'000 && now - stopped >= 50'000'000) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void WaitForStop(const sigset_t& stopSignals, int seconds, const std::function<bool()>& ended)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (ended()) return;
        if (seconds > 0 && std::chrono::steady_clock::now() >= end) return;
        const timespec tick{0, 50 * 1000 * 1000};
        const int sig = ::sigtimedwait(&stopSignals, nullptr, &tick);
        if (sig > 0) {
            std::fprintf(stderr, "Stopping (%s)\n", strsignal(sig));
            return;
        }
    }
}

bool StopWriter(CSeriesWriter& writer, const sigset_t& stopSignals, int& error)
{
    bool said = false;
    for (;;) {
        if (writer.Stop(error, 1000)) return true;
        if (error != ETIMEDOUT) return false;
        if (!said) {
            std::fprintf(stderr, "ks-capture: the disk is slow; still writing (a second Ctrl+C gives up)\n");
            said = true;
        }
        const timespec none{0, 0};
        if (::sigtimedwait(&stopSignals, nullptr, &none) > 0) {
            std::fprintf(stderr, "ks-capture: gave up waiting for the disk; the last writes may be missing\n");
            return false;
        }
    }
}
