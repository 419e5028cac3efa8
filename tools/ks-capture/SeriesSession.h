#pragma once
// A series from the command line: the probe's records go through the same
// series writer as the program's Buffer setup, into the same numbered files,
// until Ctrl+C, the time limit, a full series (without --overwrite), a full
// disk, a failed write or a lost probe; then the probe is stopped, what it
// still sends is taken, and the last file is closed.
#include "CaptureOptions.h"
#include "SessionWaits.h"
#include "CDisplayMode.h"
#include "CSeriesWriter.h"
#include "CUSBCom.h"

#include <atomic>
#include <cstdint>

#include <signal.h>

class SeriesSession {
public:
    // Exit statuses beyond those of a single-file capture.
    static constexpr int kSaved = 0;
    static constexpr int kFailed = 1;
    static constexpr int kProbeLost = 3;
    static constexpr int kSeriesFull = 4;
    static constexpr int kDiskFull = 5;

    explicit SeriesSession(const CaptureOptions& options);
    ~SeriesSession();
    SeriesSession(const SeriesSession&) = delete;
    SeriesSession& operator=(const SeriesSession&) = delete;

    int Run(const sigset_t& stopSignals);

private:
    static void OnData(const uint8_t* data, uint32_t count, void* user);
    static void OnLost(const uint8_t* data, uint32_t count, void* user);
    void Summary() const;

    CaptureOptions options;
    CDisplayMode mode;
    std::atomic<bool> lost{false};
    std::atomic<int> ended{0};     // a SeriesEnd the writer reported
    std::atomic<int> endError{0};
    LinkActivity activity;
    CSeriesWriter writer;
    CUSBCom link; // last: its threads end before the writer goes
};
