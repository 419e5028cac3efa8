#pragma once
// Traffic as timed events, and the probe's record stream made from them.
//
// A scenario writes one stretch of traffic at a time into a ScriptBuilder:
// characters in either direction, pauses, control-line changes, each at a
// virtual time in nanoseconds since the capture started. The Emitter turns
// the events, in time order, into two-byte records: it puts tick records in
// front of an event whenever whole milliseconds have passed, and leaves out
// what the parameter block switched off. Virtual time, not the wall clock,
// decides every byte, so a seed always gives the same stream.
#include "LineFormat.h"
#include "SimRandom.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace sim {

struct Event {
    uint64_t t;   // nanoseconds since the start of the capture
    uint8_t b0;
    uint8_t b1;
};

// Control-line bits of a status record; a set bit is the inactive level.
inline constexpr uint8_t kCts = 0x10, kRts = 0x08, kDsr = 0x04, kDtr = 0x02, kCd = 0x01;
inline constexpr uint8_t kAllInactive = 0x1F;

class ScriptBuilder {
public:
    // errorOneIn: one character in that many carries a framing or (with
    // parity) parity error; 0 for none. rate: percent, stretches pauses.
    ScriptBuilder(const LineFormat& format, Random& random, uint64_t start, uint8_t lines,
                  uint32_t errorOneIn, uint32_t rate);

    const LineFormat& Format() const { return format; }
    Random& Rand() { return random; }
    uint64_t CharNanos() const { return format.CharNanos(); }
    uint32_t Rate() const { return rate; }

    uint64_t Now() const { return cursor; }
    void At(uint64_t t) { cursor = t; }
    void Pause(uint64_t nanos) { cursor += nanos; }
    // A pause of minMs..maxMs milliseconds, stretched by 100 / rate.
    void Think(uint32_t minMs, uint32_t maxMs);

    // Characters back to back in one direction from the cursor, which ends
    // after the last one.
    void Send(bool rxd, std::string_view text);
    void SendBytes(bool rxd, const uint8_t* bytes, std::size_t count);
    // One character completing at time t; the cursor does not move.
    void CharAt(uint64_t t, bool rxd, uint8_t c, bool allowError = true);
    // Sets a control line's level at the cursor (a status record on change).
    void Line(uint8_t bit, bool active);
    uint8_t Lines() const { return lines; }
    // A status record with the present levels, changed or not.
    void ReportLines();

    // The events in time order (equal times keep their order), and the end
    // of the stretch.
    std::vector<Event> Take();
    uint64_t End() const { return end > cursor ? end : cursor; }

private:
    void Add(uint64_t t, uint8_t b0, uint8_t b1);

    LineFormat format;
    Random& random;
    uint64_t cursor;
    uint64_t end;
    uint8_t lines;
    uint32_t errorOneIn;
    uint32_t rate;
    std::vector<Event> events;
};

class Emitter {
public:
    // Appends the records of one event (ticks first) to out.
    void Emit(const Event& e, const LineFormat& format, std::vector<uint8_t>& out);

private:
    uint64_t tickedMs = 0; // milliseconds already told by ticks
};

} // namespace sim
