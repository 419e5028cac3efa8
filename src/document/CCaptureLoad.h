#pragma once
// One capture file decoded into a fresh line store on a thread of its own, so
// that the window stays drawn while a long file loads and the load can be
// abandoned between two chunks. The store the document shows is not touched:
// the caller takes the new one only when the load is complete, so a load that
// is cancelled, fails to read or runs out of memory leaves the open capture
// as it was.
//
// Nothing is shared with the loading thread but the cancel request and the
// progress (atomics) and the end (under a mutex, waited on with a bound).
#include "CCaptureReader.h"
#include "CDisplayMode.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class CLines;

class CCaptureLoad {
public:
    enum class Outcome { Done, Cancelled, ReadFailed, OutOfMemory };

    // `reader` has the file open and its header read; `mode` is what the
    // records are laid out with.
    CCaptureLoad(std::unique_ptr<CCaptureReader> reader, const CDisplayMode& mode);
    // Cancels a load still running and waits for its thread.
    ~CCaptureLoad();
    CCaptureLoad(const CCaptureLoad&) = delete;
    CCaptureLoad& operator=(const CCaptureLoad&) = delete;

    // Starts the load on its thread (or, should no thread be had, runs it to
    // its end here).
    void Start();
    // Waits at most `timeout` for the end; true when the load has ended.
    bool WaitFor(std::chrono::milliseconds timeout);
    bool Ended() const;
    // Parts per thousand of the record area decoded.
    int Permille() const;
    // Asks the load to stop after the chunk it is decoding.
    void Cancel() { cancel = true; }
    // Waits for the end (one chunk at most after a cancel) and says how it went.
    Outcome Finish();
    // The complete store of a Done load.
    std::unique_ptr<CLines> TakeLines();

private:
    void Run();

    std::unique_ptr<CCaptureReader> reader;
    const CDisplayMode mode;
    std::unique_ptr<CLines> lines;
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::atomic<std::uint64_t> done{0};
    mutable std::mutex endLock;
    std::condition_variable endSignal;
    bool ended = false;                   // guarded by endLock
    Outcome outcome = Outcome::Cancelled; // written before `ended`, read after
};
