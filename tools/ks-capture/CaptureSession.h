#pragma once
// One recording: opens the link as the program does, feeds every record into
// a line store with the chosen display options, and writes the capture file
// when time is up, a stop signal comes or the probe is lost.
#include "CaptureOptions.h"
#include "SessionWaits.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "CUSBCom.h"
#include "StoreLock.h"

#include <atomic>
#include <cstdint>

#include <signal.h>

class CaptureSession {
public:
    // Exit statuses.
    static constexpr int kSaved = 0;
    static constexpr int kFailed = 1;
    static constexpr int kProbeLost = 3;

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
    bool Save();

    CaptureOptions options;
    CDisplayMode mode;
    CLines lines;
    CStoreLock storeLock;
    std::atomic<bool> lost{false};
    LinkActivity activity;
    CUSBCom link; // last: its threads are ended before the store goes
};
