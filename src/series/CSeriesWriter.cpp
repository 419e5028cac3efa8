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
    return series::FileName(config.baseName, fileNumber, config.maxFileNumber);
}

int CSeriesWriter::SaveState() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return saveState;
}

bool CSeriesWriter::IsActive() const { return thread.joinable(); }

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
        int ignored = 0;
        Stop(ignored);
        // A writer that outlived a timed-out Stop ends with its last file.
        if (thread.joinable()) thread.join();
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
        }
        limits = newLimits;
        limits.bufferCapacity = capacity;
    }
    directory = series::DirectoryOf(config.baseName);
    buffersWritten = 0;
    fileNumber = 0;

    if (!file.Create(CurrentName()) || !file.Write(config.header.data(), config.header.size())) {
        error = errno;
        file.Close();
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(mutex);
        stats = Stats{};
        stats.filesCreated = 1;
        saveState = 1;
        filling = 0;
        levels[0] = levels[1] = 0;
        queued[0] = queued[1] = false;
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

bool CSeriesWriter::Stop(int& error)
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
    if (!finished.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [this] { return finalDone; })) {
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
    }
    if (first && onFirstData) onFirstData();
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
    // Ticks while no record is kept grow one stamp, rewritten in place.
    if (stampAccumulator != 0 && stampAtEnd && levels[filling] >= kStampBytes) levels[filling] -= kStampBytes;
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
    } else {
        filling = next;
        saveState = next + 1;
        std::memcpy(buffers[next].get(), bytes, n);
        levels[next] = n;
    }
    queued[full] = true;
    jobs.push_back(job);
    wake.notify_one();
}

// --- the writer thread --------------------------------------------------------------

void CSeriesWriter::WriterMain()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            while (jobs.empty()) wake.wait_for(lock, std::chrono::seconds(1));
            job = jobs.front();
            jobs.pop_front();
        }
        if (job.final) {
            FinalJob(job);
            return;
        }
        WriteJob(job);
    }
}

bool CSeriesWriter::WriteBuffer(CSeriesFile& target, const uint8_t* data, std::size_t size)
{
    return target.Write(data, size);
}

void CSeriesWriter::WriteJob(const Job& job)
{
    std::size_t size = 0;
    {
        std::lock_guard<std::mutex> guard(mutex);
        size = levels[job.buffer];
    }
    errno = EBADF;
    const bool ok = file.IsOpen() && WriteBuffer(file, buffers[job.buffer].get(), size);
    const int error = errno;
    {
        std::lock_guard<std::mutex> guard(mutex);
        levels[job.buffer] = 0;
        queued[job.buffer] = false;
        if (ok) stats.recordBytes += size;
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - job.handedOver;
        stats.longestHandOverMs = std::max(stats.longestHandOverMs, took.count());
    }
    finished.notify_all();
    if (!ok) {
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
    if (job.buffer >= 0) {
        std::size_t size = 0;
        {
            std::lock_guard<std::mutex> guard(mutex);
            size = levels[job.buffer];
        }
        if (file.IsOpen()) {
            if (WriteBuffer(file, buffers[job.buffer].get(), size)) {
                std::lock_guard<std::mutex> guard(mutex);
                stats.recordBytes += size;
            } else {
                error = errno;
            }
        }
    }
    if (file.IsOpen() && !file.Close() && error == 0) error = errno;
    {
        std::lock_guard<std::mutex> guard(mutex);
        levels[0] = levels[1] = 0;
        queued[0] = queued[1] = false;
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
    if (!file.Write(bytes, n)) return false;
    std::lock_guard<std::mutex> guard(mutex);
    stats.recordBytes += n;
    return true;
}

bool CSeriesWriter::CloseWithMark(int64_t time)
{
    bool ok = WriteFileMark(config.dateTime, false, time, nullptr);
    int error = errno;
    if (!file.Close() && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) End(SeriesEnd::WriteFailed, error);
    return ok;
}

bool CSeriesWriter::OpenNextFile(const Job& job)
{
    if (!file.Create(CurrentName())) {
        End(SeriesEnd::OpenFailed, errno);
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(mutex);
        ++stats.filesCreated;
        stats.highestFileNumber = std::max(stats.highestFileNumber, fileNumber);
    }
    if (!file.Write(config.header.data(), config.header.size()) ||
        !WriteFileMark(config.dateTime, config.status, job.switchTime, job.statusCopy)) {
        const int error = errno;
        file.Close();
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
            if (!queued[b]) levels[b] = 0;
        stampAtEnd = false;
        if (stats.end == SeriesEnd::None || stats.end == SeriesEnd::DiskFull) stats.end = why;
    }
    if (onEnd) onEnd(why, error);
}
