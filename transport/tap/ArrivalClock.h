#pragma once
// When the characters of one port arrived, as well as the host can tell.
//
// A read returns what came in since the port was last found empty, without
// times. Characters that continue a stream still running at the port's
// previous read follow its last character at one character time each (the
// stream may well have ended before this read). Characters after a quiet
// spell, or after a stream that had ended, came in back to back, the last
// just before the read. Either way none
// arrived before the port was last found empty (less the hold-back window,
// for adapters that deliver late) or after the read, and none before its
// predecessor.
#include <cstddef>
#include <cstdint>

namespace tap {

class ArrivalClock {
public:
    // A capture starts at t: nothing before it counts.
    void Start(int64_t t);
    // The port was found empty at t (a read drained it, or a wait returned
    // without it).
    void Empty(int64_t t, bool quiet);
    // Dates `count` characters read at `readAt` into `times`.
    void Date(std::size_t count, int64_t readAt, int64_t charNs, int64_t holdNs, int64_t* times);
    int64_t LastEmpty() const { return lastEmpty; }
    // Its last characters reached up to its last read: a stream that runs on.
    bool Streaming() const { return streaming; }

private:
    int64_t lastEmpty = 0;    // the port was empty at this time
    int64_t lastAssigned = 0; // the time given to its last character
    bool streaming = false;   // its last characters reached up to its previous read
};

} // namespace tap
