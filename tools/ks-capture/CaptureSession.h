#pragma once
// One recording into one file: opens the link as the program does and sends
// every record through the series writer, which keeps the file growing as
// the records come (the new part at least every half second, synced at
// least every 4 s) instead of holding the capture in memory, until time is
// up, a stop signal comes, the probe is lost or the file cannot be written.
// Whatever ends the process, the file opens as a capture.
#include "CaptureOptions.h"
#include "SessionWaits.h"
#include "CDisplayMode.h"
#include "CSeriesWriter.h"
#include "CUSBCom.h"

#include <atomic>
#include <cstdint>

#include <signal.h>

class CaptureSession {
public:
    // Exit statuses.
    static constexpr int kSaved = 0;
    static constexpr int kFailed = 1;
    static constexpr int kProbeLost = 3;
    static constexpr int kDiskFull = 5;

    explicit CaptureSession(const CaptureOptions& options);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Runs the whole recording; `stopSignals` are blocked in every thread and
    // are waited for here.
    int Run(const sigset_t& stopSignals);

private:
    static void OnData(const uint8_t* data, uint32_t count, void* user);
    static void OnLost(const uint8_t* data, uint32_t count, void* user);

    CaptureOptions options;
    CDisplayMode mode;
    std::atomic<bool> lost{false};
    std::atomic<int> ended{0};     // a SeriesEnd the writer reported
    std::atomic<int> endError{0};
    // Characters received, for the closing line (dispatch thread).
    std::atomic<uint32_t> txd{0}, rxd{0}, errors{0};
    LinkActivity activity;
    CSeriesWriter writer;
    CUSBCom link; // last: its threads are ended before the writer goes
};
