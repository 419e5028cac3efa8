#pragma once
// A condition to wake the probe's worker early, timed on the monotonic clock
// (a change of the wall clock neither stretches nor cuts a wait short).
#include <chrono>
#include <mutex>

#include <pthread.h>
#include <time.h>

namespace sim {

class Wake {
public:
    Wake()
    {
        pthread_condattr_t attr;
        pthread_condattr_init(&attr);
        pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
        pthread_cond_init(&cond, &attr);
        pthread_condattr_destroy(&attr);
    }
    ~Wake() { pthread_cond_destroy(&cond); }
    Wake(const Wake&) = delete;
    Wake& operator=(const Wake&) = delete;

    void NotifyAll() { pthread_cond_broadcast(&cond); }

    // Waits until notified or `until` (a steady_clock time) has come.
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point until)
    {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch()).count();
        if (ns <= 0) return;
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pthread_cond_timedwait(&cond, lock.mutex()->native_handle(), &ts);
    }

private:
    pthread_cond_t cond;
};

} // namespace sim
