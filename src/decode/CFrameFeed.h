#pragma once
// Hands the data characters of a record stream to a frame decoder, in record
// order, with the record each came from and the time the stamps give it.
// Takes the probe's live blocks and the record areas of both capture file
// types; each block must end where the stream can be cut (live blocks
// always do, CCaptureReader cuts file chunks so).
#include "IFrameDecoder.h"

#include <cstdint>
#include <memory>

class CFrameFeed {
public:
    // `stamps`: the records carry the time (the probe's ticks; a file whose
    // Stamp setting was on), so times count from the first record.
    explicit CFrameFeed(std::unique_ptr<IFrameDecoder> decoder, bool stamps = true);

    // The probe's two-byte records: data, status, 13-bit ticks.
    void AddLiveBlock(const uint8_t* data, std::size_t size);
    // A current file's stored stream.
    void AddStoredStream(const uint8_t* data, std::size_t size);
    // An old file's stream.
    void AddOldStream(const uint8_t* data, std::size_t size);
    void Finish();

    // Records fed so far.
    uint64_t Records() const { return record; }
    // Data characters fed so far; SetCharacters starts the count elsewhere
    // (a store whose oldest characters were dropped).
    uint64_t Characters() const { return characters; }
    void SetCharacters(uint64_t count) { characters = count; }

private:
    void Data(uint8_t byte, uint8_t b0);
    void Elapse(uint32_t ms);

    std::unique_ptr<IFrameDecoder> decoder;
    uint64_t record = 0;
    uint64_t characters = 0;
    bool hasTime = false;
    int64_t elapsedMs = 0;
    uint32_t oldCount = 0; // an old file's tick count waiting for its time group
};
