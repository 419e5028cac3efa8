#include "CSeriesWriter.h"

#include "DeviceRecord.h"
#include "SeriesNames.h"
#include "StorageInfo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <system_error>

namespace {

constexpr std::size_t kStampBytes = 16;
constexpr std::size_t kMarkBytes = 8;
// Room kept beyond the append limit: the largest item (two stamps) once when
// it is appended at the limit, and once more for the item that meets an
// overrun and stays with the buffer it could not leave.
constexpr std::size_t kSlack = 4 * kStampBytes;

// Four records of one marker byte carrying a 32-bit value, big-endian.
void PutGroup(uint8_t* out, uint8_t marker, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[2 * i] = marker;
        out[2 * i + 1] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

void PutStamp(uint8_t* out, uint32_t ms, uint32_t time)
{
    PutGroup(out, rec::kStampValue, ms);
    PutGroup(out + 8, rec::kStampTime, time);
}

uint32_t Low32(int64_t time) { return static_cast<uint32_t>(static_cast<uint64_t>(time) & 0xFFFFFFFFu); }

} // namespace

CSeriesWriter::CSeriesWriter() = default;

CSeriesWriter::~CSeriesWriter()
{
    int error = 0;
    Stop(error);
    if (thread.joinable()) thread.join();
}

int64_t CSeriesWriter::Now() { return static_cast<int64_t>(std::time(nullptr)); }

std::string CSeriesWriter::CurrentName() const
{
    if (!config.singleFile.empty()) return config.singleFile;
    return series::FileName(config.baseName, fileNumber, config.maxFileNumber);
}

int CSeriesWriter::SaveState() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return saveState;
}

bool CSeriesWriter::IsActive() const
{
    if (!thread.joinable()) return false;
    std::lock_guard<std::mutex> guard(mutex);
    return !finalQueued;
}

bool CSeriesWriter::WaitUntilWritten(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex);
    return finished.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return jobs.empty() && !queued[0] && !queued[1]; });
}

CSeriesWriter::Stats CSeriesWriter::GetStats() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return stats;
}

// --- start and stop (owner's thread) ---------------------------------------------

bool CSeriesWriter::Start(const SeriesConfig& newConfig, const SeriesLimits& newLimits, int& error)
{
    error = 0;
    if (thread.joinable()) {
        // A writer that outlived a timed-out Stop is given another wait; one
        // that is still busy then keeps its files, and nothing new starts.
        int stopError = 0;
        Stop(stopError);
        if (thread.joinable()) {
            error = stopError != 0 ? stopError : EBUSY;
            return false;
        }
    }
    {
        // Producers read the configuration under the lock; a link left over
        // from before may still call them.
        std::lock_guard<std::mutex> guard(mutex);
        saveState = 0;
        config = newConfig;
        config.buffersPerFile = std::max(1, config.buffersPerFile);
        config.maxFileNumber = std::clamp<uint32_t>(config.maxFileNumber, 1, series::kMaxFileNumber);
        const std::size_t capacity = std::max(newLimits.bufferCapacity, newLimits.appendLimit + kSlack);
        if (!buffers[0] || limits.bufferCapacity != capacity) {
            buffers[0] = std::make_unique<uint8_t[]>(capacity);
            buffers[1] = std::make_unique<uint8_t[]>(capacity);
            staging = std::make_unique<uint8_t[]>(capacity);
        }
        limits = newLimits;
        limits.bufferCapacity = capacity;
    }
    if (!config.singleFile.empty()) {
        config.maxFileNumber = 1;
        config.overwrite = false;
    }
    directory = series::DirectoryOf(config.singleFile.empty() ? config.baseName : config.singleFile);
    buffersWritten = 0;
    fileNumber = 0;
    tailBuffer = -1;
    unsynced = false;

    if (!file.Create(CurrentName(), config.header.data(), config.header.size())) {
        error = errno;
        file.Close();
        return false;
    }
    countedExtent = file.Extent();
    lastSync = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> guard(mutex);
        stats = Stats{};
        stats.filesCreated = 1;
        saveState = 1;
        filling = 0;
        levels[0] = levels[1] = 0;
        synced[0] = synced[1] = 0;
        queued[0] = queued[1] = false;
        overrunNow = false;
        lastStatus[0] = 0x5F;
        lastStatus[1] = 0x00;
        // A stamp left over from an earlier series must not take bytes off
        // this one's first buffer.
        stampAccumulator = 0;
        stampAtEnd = false;
        firstDataSeen = false;
        jobs.clear();
        finalQueued = false;
        finalDone = false;
        finalError = 0;
        ended = SeriesEnd::None;
        endError = 0;
        diskFullReported = false;
        if (config.dateTime) AppendMarkLocked(Now());
    }
    try {
        thread = std::thread(&CSeriesWriter::WriterMain, this);
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> guard(mutex);
        saveState = 0;
        file.Close();
        error = EAGAIN;
        return false;
    }
    return true;
}

bool CSeriesWriter::Stop(int& error, int waitMs)
{
    error = 0;
    std::unique_lock<std::mutex> lock(mutex);
    if (!thread.joinable()) return true;
    if (!finalQueued) {
        if (saveState != 0 && config.dateTime) AppendMarkLocked(Now());
        Job final;
        final.final = true;
        if (saveState != 0 && levels[filling] > 0) {
            final.buffer = filling;
            queued[filling] = true;
        }
        saveState = 0;
        jobs.push_back(final);
        finalQueued = true;
        wake.notify_one();
    }
    // Buffers handed over before are written first: the writer takes its
    // jobs in order, and the flush is the last of them.
    if (!finished.wait_for(lock, std::chrono::milliseconds(std::max(0, waitMs)), [this] { return finalDone; })) {
        error = ETIMEDOUT;
        return false;
    }
    error = finalError;
    lock.unlock();
    thread.join();
    return error == 0;
}

// --- producers (dispatch thread; the mutex is held) --------------------------------

int CSeriesWriter::AddBlock(const uint8_t* data, std::size_t count, uint32_t now)
{
    if (!data || count < 2) return -1;
    int lastSeen = -1;
    bool first = false;
    bool overrun = false;
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (saveState != 0 && !firstDataSeen) first = firstDataSeen = true;
        for (std::size_t i = 0; i + 1 < count; i += 2) {
            const uint8_t b0 = data[i];
            const uint8_t b1 = data[i + 1];
            switch (rec::Type(b0)) {
            case rec::kTypeData:
                if (config.data) AppendRecordLocked(b0, b1);
                break;
            case rec::kTypeStatus:
                lastSeen = b0;
                if (config.status) {
                    lastStatus[0] = b0;
                    lastStatus[1] = b1;
                    AppendRecordLocked(b0, b1);
                }
                break;
            case rec::kTypeTick:
                if (config.stamp) AppendStampLocked(rec::TickMilliseconds(b0, b1), now);
                break;
            default:
                break;
            }
        }
        overrun = overrunNow;
        overrunNow = false;
    }
    if (first && onFirstData) onFirstData();
    if (overrun && onOverrun) onOverrun();
    return lastSeen;
}

void CSeriesWriter::AppendRecordLocked(uint8_t b0, uint8_t b1)
{
    if (saveState == 0) return;
    const uint8_t bytes[2] = {b0, b1};
    PutLocked(bytes, 2);
    stampAccumulator = 0;
    stampAtEnd = false;
}

void CSeriesWriter::AppendStampLocked(uint32_t ms, uint32_t time)
{
    if (saveState == 0) return;
    // Ticks while no record is kept grow one stamp, rewritten in place (in
    // the file too, when it has it already).
    if (stampAccumulator != 0 && stampAtEnd && levels[filling] >= kStampBytes) {
        levels[filling] -= kStampBytes;
        synced[filling] = std::min(synced[filling], levels[filling]);
    }
    stampAccumulator += ms;
    uint8_t bytes[2 * kStampBytes];
    std::size_t n = kStampBytes;
    if (stampAccumulator > rec::kDayMilliseconds) {
        // No stamp holds more than a day: a full day's stamp stays behind and
        // later ticks grow only the remainder's.
        PutStamp(bytes, rec::kDayMilliseconds, time);
        stampAccumulator -= rec::kDayMilliseconds;
        PutStamp(bytes + kStampBytes, stampAccumulator, time);
        n = 2 * kStampBytes;
    } else {
        PutStamp(bytes, stampAccumulator, time);
    }
    PutLocked(bytes, n);
    stampAtEnd = true;
}

void CSeriesWriter::AppendMarkLocked(int64_t time)
{
    if (saveState == 0) return;
    uint8_t bytes[kMarkBytes];
    PutGroup(bytes, rec::kDateTime, Low32(time));
    PutLocked(bytes, kMarkBytes);
    stampAccumulator = 0;
    stampAtEnd = false;
}

void CSeriesWriter::PutLocked(const uint8_t* bytes, std::size_t n)
{
    std::size_t& level = levels[filling];
    if (level <= limits.appendLimit) {
        std::memcpy(buffers[filling].get() + level, bytes, n);
        level += n;
        return;
    }
    HandOverLocked(bytes, n);
}

void CSeriesWriter::HandOverLocked(const uint8_t* bytes, std::size_t n)
{
    const int full = filling;
    const int next = 1 - full;
    ++stats.handOvers;
    Job job;
    job.buffer = full;
    job.switchTime = Now();
    job.handedOver = std::chrono::steady_clock::now();
    job.statusCopy[0] = lastStatus[0];
    job.statusCopy[1] = lastStatus[1];
    if (queued[next]) {
        // Overrun: the other buffer is still being written. The full buffer
        // keeps this item in its spare room and is written behind the
        // running write; then the series ends. Nothing taken so far is lost.
        std::memcpy(buffers[full].get() + levels[full], bytes, n);
        levels[full] += n;
        job.last = true;
        saveState = 0;
        overrunNow = true;
    } else {
        filling = next;
        saveState = next + 1;
        std::memcpy(buffers[next].get(), bytes, n);
        levels[next] = n;
        synced[next] = 0;
    }
    queued[full] = true;
    jobs.push_back(job);
    wake.notify_one();
}

// --- the writer thread --------------------------------------------------------------

void CSeriesWriter::WriterMain()
{
    using Clock = std::chrono::steady_clock;
    auto nextFlush = Clock::now() + std::chrono::milliseconds(limits.flushIntervalMs);
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait_until(lock, nextFlush, [this] { return !jobs.empty(); });
            if (jobs.empty()) {
                // Taken in the same hold of the lock that saw no buffer
                // waiting: the filling buffer's bytes go behind every
                // buffer handed over before.
                std::size_t from = 0, to = 0;
                const int buffer = TakeFillingLocked(from, to);
                lock.unlock();
                if (buffer >= 0) FlushFilling(buffer, from, to);
                SyncIfDue(false);
                nextFlush = Clock::now() + std::chrono::milliseconds(limits.flushIntervalMs);
                continue;
            }
            job = jobs.front();
            jobs.pop_front();
        }
        if (job.final) {
            FinalJob(job);
            return;
        }
        WriteJob(job);
        SyncIfDue(false);
    }
}

bool CSeriesWriter::WriteBuffer(CSeriesFile& target, std::size_t from, const uint8_t* data, std::size_t size)
{
    return target.WriteTail(from, data, size);
}

void CSeriesWriter::CountWritten()
{
    // Every close is preceded by a count; a closed file has nothing new.
    if (!file.IsOpen()) return;
    const uint64_t extent = file.Extent();
    if (extent == countedExtent) return;
    {
        std::lock_guard<std::mutex> guard(mutex);
        // A tail cut back (a stamp that moved to the next buffer) takes its
        // bytes off again.
        if (extent > countedExtent) stats.recordBytes += extent - countedExtent;
        else stats.recordBytes -= std::min<uint64_t>(stats.recordBytes, countedExtent - extent);
    }
    countedExtent = extent;
    unsynced = true;
}

void CSeriesWriter::SyncIfDue(bool now)
{
    if (!unsynced || !file.IsOpen()) return;
    const auto t = std::chrono::steady_clock::now();
    if (!now && t - lastSync < std::chrono::milliseconds(limits.syncIntervalMs)) return;
    // A failed sync loses nothing yet that a later write would not also
    // report; the close reports what the disk refused.
    (void)file.Sync();
    lastSync = t;
    unsynced = false;
}

int CSeriesWriter::TakeFillingLocked(std::size_t& from, std::size_t& to)
{
    if (saveState == 0 || !file.IsOpen()) return -1;
    const int buffer = filling;
    from = synced[buffer];
    to = levels[buffer];
    if (to <= from) return -1;
    // Copied under the lock: producers may rewrite the buffer's last stamp.
    std::memcpy(staging.get(), buffers[buffer].get() + from, to - from);
    synced[buffer] = to;
    return buffer;
}

void CSeriesWriter::FlushFilling(int buffer, std::size_t from, std::size_t to)
{
    tailBuffer = buffer;
    const bool ok = file.WriteTail(from, staging.get(), to - from);
    const int error = errno;
    CountWritten();
    if (!ok) {
        endError = error;
        file.Close();
        End(SeriesEnd::WriteFailed, error);
    }
}

bool CSeriesWriter::CommitBuffer(int buffer, int& error)
{
    std::size_t size = 0, from = 0;
    {
        std::lock_guard<std::mutex> guard(mutex);
        size = levels[buffer];
        if (tailBuffer == buffer) from = std::min(synced[buffer], size);
    }
    errno = EBADF;
    const bool ok = file.IsOpen() && WriteBuffer(file, from, buffers[buffer].get() + from, size - from) && file.CommitTail(size);
    error = ok ? 0 : errno;
    tailBuffer = -1;
    CountWritten();
    return ok;
}

void CSeriesWriter::WriteJob(const Job& job)
{
    int error = 0;
    const bool ok = CommitBuffer(job.buffer, error);
    {
        std::lock_guard<std::mutex> guard(mutex);
        levels[job.buffer] = 0;
        synced[job.buffer] = 0;
        queued[job.buffer] = false;
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - job.handedOver;
        stats.longestHandOverMs = std::max(stats.longestHandOverMs, took.count());
    }
    finished.notify_all();
    if (!ok) {
        if (endError == 0) endError = error;
        file.Close();
        End(SeriesEnd::WriteFailed, error);
        return;
    }

    ++buffersWritten;
    const uint64_t seriesBuffers = static_cast<uint64_t>(config.buffersPerFile) * config.maxFileNumber;
    if (buffersWritten >= seriesBuffers) {
        if (!CloseWithMark(job.switchTime)) return;
        if (!config.overwrite) {
            End(SeriesEnd::Full, 0);
            return;
        }
        fileNumber = 0;
        buffersWritten = 0;
        if (!OpenNextFile(job)) return;
    } else if (config.maxFileNumber > 1 && buffersWritten % static_cast<uint32_t>(config.buffersPerFile) == 0) {
        if (!CloseWithMark(job.switchTime)) return;
        ++fileNumber;
        if (!OpenNextFile(job)) return;
    }
    if (job.last) {
        // The buffer that filled behind a slow write is on disk: the series
        // ends here, its file closed as at a stop.
        if (CloseWithMark(Now())) End(SeriesEnd::Overrun, 0);
        return;
    }
    CheckFreeSpace();
}

void CSeriesWriter::FinalJob(const Job& job)
{
    int error = 0;
    bool failedHere = false;
    if (job.buffer >= 0) {
        if (file.IsOpen()) {
            failedHere = !CommitBuffer(job.buffer, error);
        } else {
            // What Stop flushed had nowhere to go: the file was closed by the
            // error that ended the series, which is the cause.
            error = endError != 0 ? endError : EBADF;
        }
    }
    if (file.IsOpen()) {
        SyncIfDue(true);
        if (!file.Close() && error == 0) {
            error = errno;
            failedHere = true;
        }
    }
    {
        std::lock_guard<std::mutex> guard(mutex);
        levels[0] = levels[1] = 0;
        synced[0] = synced[1] = 0;
        queued[0] = queued[1] = false;
    }
    // Reported like any other end, whenever the owner gets to it.
    if (failedHere) End(SeriesEnd::WriteFailed, error);
    {
        std::lock_guard<std::mutex> guard(mutex);
        finalError = error;
        finalDone = true;
    }
    finished.notify_all();
}

bool CSeriesWriter::WriteFileMark(bool writeTime, bool writeStatus, int64_t time, const uint8_t* status)
{
    uint8_t bytes[kMarkBytes + 2];
    std::size_t n = 0;
    if (writeTime) {
        PutGroup(bytes, rec::kDateTime, Low32(time));
        n = kMarkBytes;
    }
    if (writeStatus && status) {
        bytes[n++] = status[0];
        bytes[n++] = status[1];
    }
    if (n == 0) return true;
    const bool ok = file.Append(bytes, n);
    const int error = errno;
    CountWritten();
    errno = error;
    return ok;
}

bool CSeriesWriter::CloseWithMark(int64_t time)
{
    bool ok = WriteFileMark(config.dateTime, false, time, nullptr);
    int error = errno;
    // A full file is on the disk before the next one is begun.
    if (ok && !file.Sync()) {
        ok = false;
        error = errno;
    }
    unsynced = false;
    lastSync = std::chrono::steady_clock::now();
    if (!file.Close() && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        endError = error;
        End(SeriesEnd::WriteFailed, error);
    }
    return ok;
}

bool CSeriesWriter::OpenNextFile(const Job& job)
{
    if (!file.Create(CurrentName(), config.header.data(), config.header.size())) {
        const int error = errno;
        file.Close();
        endError = error;
        End(SeriesEnd::OpenFailed, error);
        return false;
    }
    countedExtent = file.Extent();
    {
        std::lock_guard<std::mutex> guard(mutex);
        ++stats.filesCreated;
        stats.highestFileNumber = std::max(stats.highestFileNumber, fileNumber);
    }
    if (!WriteFileMark(config.dateTime, config.status, job.switchTime, job.statusCopy)) {
        const int error = errno;
        file.Close();
        endError = error;
        End(SeriesEnd::WriteFailed, error);
        return false;
    }
    return true;
}

void CSeriesWriter::CheckFreeSpace()
{
    if (diskFullReported) return;
    if (series::FreeBytes(directory) > limits.diskFreeThreshold) return;
    // Still recording: the owner stops the series, and the stop writes the
    // filling buffer and the stop mark into the room that is left.
    diskFullReported = true;
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (stats.end == SeriesEnd::None) stats.end = SeriesEnd::DiskFull;
    }
    if (onEnd) onEnd(SeriesEnd::DiskFull, 0);
}

void CSeriesWriter::End(SeriesEnd why, int error)
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (ended != SeriesEnd::None) return;
        ended = why;
        saveState = 0;
        // What fills behind the end has nowhere to go; a buffer already
        // handed over is left to its job, which finds the file closed.
        for (int b = 0; b < 2; ++b)
            if (!queued[b]) levels[b] = synced[b] = 0;
        stampAtEnd = false;
        if (stats.end == SeriesEnd::None || stats.end == SeriesEnd::DiskFull) stats.end = why;
    }
    if (onEnd) onEnd(why, error);
}
