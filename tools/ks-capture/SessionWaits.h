#pragma once
// What both recordings (one file, a series) wait for, in one place: the end
// of the recording, and the link going quiet after the probe's stop.
#include <atomic>
#include <cstdint>
#include <functional>

#include <signal.h>

class CSeriesWriter;

int64_t MonotonicNs();
// The wall clock as the probe's date marks carry it.
uint32_t Now32();

// The link's traffic as the data callback sees it (the link's dispatch
// thread writes, the main thread reads).
class LinkActivity {
public:
    void Empty() { ++emptyCalls; }
    void Data() { lastDataNs = MonotonicNs(); }
    // What the probe saw before the stop is still on its way through the
    // pipe: returns once the link has gone quiet (two idle passes and 50 ms
    // without data), when the probe is lost, or after two seconds.
    void WaitUntilQuiet(const std::atomic<bool>& lost) const;

private:
    std::atomic<int64_t> lastDataNs{0};
    std::atomic<uint64_t> emptyCalls{0};
};

// Returns on a stop signal (said on standard error), after `seconds`
// (0: no limit), or once `ended()` says so; it looks every 50 ms.
void WaitForStop(const sigset_t& stopSignals, int seconds, const std::function<bool()>& ended);

// Stops the writer. A slow disk is waited for as long as it takes (saying
// so once), unless another stop signal comes: then false with ETIMEDOUT and
// the last writes are left to the system. Otherwise as CSeriesWriter::Stop.
bool StopWriter(CSeriesWriter& writer, const sigset_t& stopSignals, int& error);
