#pragma once
// What a series records and where: filled in by the buffer dialog's document
// side or by ks-capture, and taken by CSeriesWriter::Start.
#include <cstddef>
#include <cstdint>
#include <string>

// The sizes the writer works with. The program always uses the defaults;
// tests make the buffers small to see many of them in a short run, and move
// the disk-free threshold to meet it on a real file system.
struct SeriesLimits {
    // Each of the two buffers, and the fill level up to which a record or
    // mark is still appended (beyond it the buffer is handed over). The
    // difference leaves room for the largest item (two stamps, 32 bytes).
    static constexpr std::size_t kBufferCapacity = 424500;
    static constexpr std::size_t kAppendLimit = 419500;
    // The series stops when no more than this is left on the disk.
    static constexpr uint64_t kDiskFreeThreshold = 209715200; // 200 MiB

    // What a hard stop (a kill, a crash, a power cut) may cost: the new part
    // of the filling buffer is written at least this often while records
    // come, and what is written reaches the disk (fdatasync) at least this
    // often, and at every change of file and at the end.
    static constexpr int kFlushIntervalMs = 500;
    static constexpr int kSyncIntervalMs = 4000;

    std::size_t bufferCapacity = kBufferCapacity;
    std::size_t appendLimit = kAppendLimit;
    uint64_t diskFreeThreshold = kDiskFreeThreshold;
    int flushIntervalMs = kFlushIntervalMs;
    int syncIntervalMs = kSyncIntervalMs;
};

struct SeriesConfig {
    // Directory and file name without extension (see SeriesNames.h).
    std::string baseName;
    // One file of any length instead of a series (ks-capture --output): the
    // path as given; the buffers never end a file then.
    std::string singleFile;
    // Buffers per file (the dialog's File Size, 2..7) and the largest file
    // number (1..999999); a series holds their product of buffers.
    int buffersPerFile = 2;
    uint32_t maxFileNumber = 1;
    // Start again at the first file when the last one is full.
    bool overwrite = false;
    // What is recorded, as the display settings say.
    bool data = true;
    bool status = false;
    bool stamp = false;
    bool dateTime = true;
    // The 94-byte capture-file header every file of the series begins with.
    std::string header;
};
