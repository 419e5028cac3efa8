#pragma once
// A capture file read piece by piece: the header at once, the record area in
// chunks decoded into a line store one after the other, so that a file of
// any size can be walked in bounded memory (the converter lists and counts
// that way) and a long load can report progress and be abandoned between
// chunks. Like CCaptureFile it reads through one descriptor of a regular
// file, so a FIFO or a device of that name is refused at once and header and
// records come from the same file.
//
// Chunks end only where the stream can be cut: never inside a stamp or
// date-time group, nor (old files) between a tick count and its time group,
// so decoding chunk by chunk gives what decoding the whole area at once gives.
#include "CDisplayMode.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CLines;

class CCaptureReader {
public:
    enum class Result { Ok, TypeError, OpenFailed };

    // Bytes read from the file for one chunk.
    static constexpr std::size_t kChunkBytes = 256 * 1024;

    CCaptureReader() = default;
    CCaptureReader(const CCaptureReader&) = delete;
    CCaptureReader& operator=(const CCaptureReader&) = delete;
    ~CCaptureReader();

    // ".ksf" or ".df" by the name's ending (else TypeError); OpenFailed when
    // the file is not a regular file, cannot be read or is shorter than its
    // header.
    Result Open(const std::string& path);

    CaptureFileType Type() const { return type; }
    bool IsOldType() const { return type == CaptureFileType::Old; }
    // Takes the header's display settings into `mode`; false (and `mode`
    // unchanged) when the header is refused.
    bool ParseHeader(CDisplayMode& mode) const;

    // The record area's size when the file was opened, and how much of it
    // has been decoded.
    std::uint64_t BodySize() const { return bodySize; }
    std::uint64_t BodyDone() const { return bodyDone; }

    // Decodes the next chunk of the record area into `lines`, which the caller
    // cleared before the first call (it sets the levels a log starts from).
    // False once there is nothing more: at the end, or when reading failed
    // (Failed()). After the last chunk the store is not modified.
    bool DecodeNext(CLines& lines, const CDisplayMode& mode);
    // The next chunk of the record area as it is stored, for readers of the
    // records themselves (the frame decoders): handed to `take`, an even
    // number of bytes ending where the stream can be cut. False as
    // DecodeNext.
    bool ReadNext(const std::function<void(const uint8_t*, std::size_t)>& take);
    bool AtEnd() const { return atEnd; }
    // A read error, or the file shrank while it was read: what was decoded
    // is not the whole capture.
    bool Failed() const { return failed; }

private:
    static constexpr std::size_t kNothing = ~static_cast<std::size_t>(0);
    bool Fill();
    void Close();
    // The bytes of `pending` to decode next (kNothing when reading failed),
    // and their removal once decoded.
    std::size_t NextUsable();
    void Consume(std::size_t usable);

    int fd = -1;
    CaptureFileType type = CaptureFileType::None;
    std::string header;
    std::uint64_t bodySize = 0;
    std::uint64_t bodyDone = 0; // bytes handed to the decoder
    std::uint64_t bodyRead = 0; // bytes read from the file
    std::vector<std::uint8_t> pending; // read, not yet decoded
    bool started = false;
    bool eof = false;
    bool atEnd = false;
    bool failed = false;
};
