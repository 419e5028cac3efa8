#pragma once
// Puts the records of the two ports and of the control lines into one stream
// in the order of their estimated arrival, and the probe's tick records in
// front of them as whole milliseconds pass.
//
// A record is held until every source has been heard up to its time (the
// watermark the caller gives), so that a record of the other port read a
// moment later, but which arrived earlier, still goes out before it.
#include <cstdint>
#include <deque>
#include <vector>

namespace tap {

class RecordMerger {
public:
    static constexpr int kSources = 3; // the TXD port, the RXD port, the control lines

    // Begins a capture at `startNs` (monotonic); forgets everything held.
    void Start(int64_t startNs, bool ticks);
    // Holds a record with its arrival time. A time before the start or
    // before what already went out is moved up to it: the stream never goes
    // back in time.
    void Add(int source, int64_t t, uint8_t b0, uint8_t b1);
    // Appends every held record with a time at or before `watermark`, oldest
    // first (equal times in the order they were added), each preceded by the
    // ticks that bring the told milliseconds up to its time.
    void Emit(int64_t watermark, std::vector<uint8_t>& out);
    // The time of the oldest record held; INT64_MAX when none.
    int64_t OldestHeld() const;
    bool Holding() const { return held > 0; }
    int64_t LastEmitted() const { return lastEmitted; }

private:
    struct Timed {
        int64_t t;
        uint64_t seq;
        uint8_t b0, b1;
    };
    std::deque<Timed> queues[kSources];
    std::size_t held = 0;
    uint64_t seq = 0;
    int64_t start = 0;
    int64_t lastEmitted = 0;
    uint64_t tickedMs = 0;
    bool ticks = false;
};

} // namespace tap
