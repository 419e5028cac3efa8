#pragma once
// The auto-save series writer. While a series records, the probe's records
// bypass the display and go into one of two memory buffers; when the filling
// buffer is full the two swap roles and the writer thread appends the full
// one, with a single write, to the current file of the series. After the
// configured number of buffers the writer ends the file with a date-time mark
// and opens the next one (header, mark, the line state); after the last file
// it stops, or starts again at the first file when overwriting is allowed.
// Every file is an ordinary ".ksf" capture file.
//
// What a hard stop may cost is bounded without moving any file boundary:
// the new part of the filling buffer goes into the file at least every
// flush interval while records come (as the file's tail, see CSeriesFile),
// what was written is synced to the disk at least every sync interval, at
// every change of file and at the end, and every file reads as a capture at
// every moment.
//
// Threads: the producers (AddBlock) run on the device link's dispatch
// thread, Start and Stop on the owner's thread (the UI thread, or the main
// thread of ks-capture), file work on the writer thread, which lives as long
// as the series and is woken once per hand-over. One mutex makes every
// producer step and every hand-over atomic with respect to the others; it is
// never held across a file operation. Buffers land in the file in the order
// they were handed over, and Stop lets a running write finish before it
// flushes the filling buffer behind it.
#include "SeriesConfig.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "CSeriesFile.h"

// Why a series ended (or must end) by itself.
enum class SeriesEnd : int {
    None = 0,
    Full = 1,        // the last file is full and overwriting is off
    DiskFull = 2,    // no more than the threshold is left: stop and flush
    WriteFailed = 3, // a buffer or a file mark could not be written
    OpenFailed = 4,  // the next file of the series could not be created
    Overrun = 5,     // a buffer filled while the previous one was still being written
};

class CSeriesWriter {
public:
    CSeriesWriter();
    CSeriesWriter(const CSeriesWriter&) = delete;
    CSeriesWriter& operator=(const CSeriesWriter&) = delete;
    // Stops a running series as Stop does. A subclass that overrides
    // WriteBuffer must call Stop in its own destructor.
    virtual ~CSeriesWriter();

    // Creates the first file and writes its header, puts the start mark
    // (with DateTime) at the head of the first buffer and starts the writer
    // thread. False with the cause in `error` (an errno value) when the first
    // file cannot be created or written; nothing runs then.
    bool Start(const SeriesConfig& config, const SeriesLimits& limits, int& error);
    bool Start(const SeriesConfig& config, int& error) { return Start(config, SeriesLimits{}, error); }

    // Ends the series: the stop mark (with DateTime) goes behind the last
    // record, a hand-over write still running finishes, then the filling
    // buffer is appended and the file closed. True when all of that was
    // written; otherwise false with the cause in `error`: ETIMEDOUT when the
    // writer has not finished within `waitMs` (it goes on; a later Stop waits
    // again), or the error that ended the series (reported through onEnd as
    // well). Does nothing (and returns true) when no series runs.
    bool Stop(int& error, int waitMs = kStopWaitMs);

    // The producers: one block of the probe's live records, as the dispatch
    // thread receives it (an odd last byte is ignored). Characters are kept
    // with Data, status changes with Status, ticks become one coalesced stamp
    // with Stamp. `now` is the calendar time (seconds) given to stamps.
    // Returns the b0 of the block's last status record (whatever Status
    // says), or -1, so that the caller can paint the line indicators.
    int AddBlock(const uint8_t* data, std::size_t count, uint32_t now);

    // Records are being taken (0 off, 1 buffer A filling, 2 buffer B filling).
    int SaveState() const;
    bool IsRecording() const { return SaveState() != 0; }
    // A series was started and not yet told to stop (a writer that is still
    // finishing after a timed-out Stop does not count).
    bool IsActive() const;
    // Waits (at most `timeoutMs`) until every buffer handed over so far is
    // written; false on timeout.
    bool WaitUntilWritten(int timeoutMs) const;

    // Called once when the first record of a series arrives (dispatch thread).
    std::function<void()> onFirstData;
    // Called once when a buffer fills while the previous one is still being
    // written (dispatch thread): no more records are taken, and the series
    // ends (onEnd with Overrun) once both are on disk.
    std::function<void()> onOverrun;
    // Called when the series ended by itself, or must be stopped (DiskFull),
    // with an errno value for WriteFailed and OpenFailed. Called on the
    // writer or the dispatch thread: post, never wait on the owner's thread
    // from here. The owner answers with Stop.
    std::function<void(SeriesEnd why, int error)> onEnd;

    struct Stats {
        uint32_t filesCreated = 0;   // every creation, re-creations by Overwrite included
        uint32_t highestFileNumber = 0;
        uint64_t recordBytes = 0;    // in the files after their headers (records and marks), as the disk took them
        uint64_t handOvers = 0;
        // The longest time from a hand-over until its buffer was written: a
        // buffer that fills sooner than this would have met an overrun.
        double longestHandOverMs = 0;
        SeriesEnd end = SeriesEnd::None;
    };
    Stats GetStats() const;

    // Longest time Stop waits for the writer to finish its last file.
    static constexpr int kStopWaitMs = 30000;

protected:
    // Writes bytes [from, from + size) of a buffer that is complete (handed
    // over, or flushed by Stop) into the file's tail; false with errno set.
    virtual bool WriteBuffer(CSeriesFile& file, std::size_t from, const uint8_t* data, std::size_t size);

private:
    struct Job {
        int buffer = -1;          // 0 = A, 1 = B; -1: none (a final job without data)
        int64_t switchTime = 0;   // the hand-over's time, for the file marks
        std::chrono::steady_clock::time_point handedOver{};
        uint8_t statusCopy[2] = {0x5F, 0x00};
        bool last = false;        // written behind an overrun, then the series ends
        bool final = false;       // Stop: flush and close
    };

    // Producer steps; the mutex is held.
    void AppendRecordLocked(uint8_t b0, uint8_t b1);
    void AppendStampLocked(uint32_t ms, uint32_t time);
    void AppendMarkLocked(int64_t time);
    void PutLocked(const uint8_t* bytes, std::size_t n);
    void HandOverLocked(const uint8_t* bytes, std::size_t n);

    // Writer thread.
    void WriterMain();
    void WriteJob(const Job& job);
    void FinalJob(const Job& job);
    // The filling buffer's bytes beyond what the file has of them, copied
    // into `staging` (the mutex is held); -1 when there are none.
    int TakeFillingLocked(std::size_t& from, std::size_t& to);
    // Writes them into the file's tail.
    void FlushFilling(int buffer, std::size_t from, std::size_t to);
    // Writes a complete buffer's remaining bytes and commits it.
    bool CommitBuffer(int buffer, int& error);
    void SyncIfDue(bool now);
    // The files' growth since the last call goes into the statistics.
    void CountWritten();
    bool OpenNextFile(const Job& job);
    bool WriteFileMark(bool writeTime, bool writeStatus, int64_t time, const uint8_t* status);
    bool CloseWithMark(int64_t time);
    void CheckFreeSpace();
    void End(SeriesEnd why, int error);
    std::string CurrentName() const;

    static int64_t Now();

    SeriesConfig config;
    SeriesLimits limits;
    std::string directory;

    mutable std::mutex mutex;
    std::condition_variable wake;     // a job for the writer
    mutable std::condition_variable finished; // a job is done
    // Guarded by mutex.
    int saveState = 0;
    int filling = 0;                  // the buffer producers append to
    std::unique_ptr<uint8_t[]> buffers[2];
    std::size_t levels[2] = {0, 0};
    // Bytes at the start of each buffer whose copy in the file's tail is
    // current (a stamp rewritten in place lowers it).
    std::size_t synced[2] = {0, 0};
    bool queued[2] = {false, false};  // handed over and not yet written
    bool overrunNow = false;          // the block being taken met an overrun
    uint8_t lastStatus[2] = {0x5F, 0x00};
    uint32_t stampAccumulator = 0;    // ms of ticks since the last record kept
    bool stampAtEnd = false;          // the filling buffer ends with the stamp ticks rewrite
    bool firstDataSeen = false;
    std::deque<Job> jobs;
    bool finalQueued = false;
    bool finalDone = false;
    int finalError = 0;
    SeriesEnd ended = SeriesEnd::None;
    int endError = 0;                 // the errno of the end that closed the file
    Stats stats;

    // Writer thread only (Start hands them over before the thread starts).
    CSeriesFile file;
    uint32_t buffersWritten = 0;
    uint32_t fileNumber = 0;
    bool diskFullReported = false;
    int tailBuffer = -1;              // the buffer whose bytes are in the file's tail
    uint64_t countedExtent = 0;       // the file's size at the last CountWritten
    std::chrono::steady_clock::time_point lastSync{};
    bool unsynced = false;
    std::unique_ptr<uint8_t[]> staging; // the filling buffer's new part, copied under the lock

    std::thread thread;
};
