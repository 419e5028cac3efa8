#pragma once
// The traffic the simulated probe can observe, and the generator that paces
// it out as records.
#include "LineFormat.h"
#include "RecordScript.h"
#include "SimRandom.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace sim {

enum class ScenarioKind {
    Modem,  // AT commands and answers, dialling, a session, RTS/CTS, DTR/DSR, CD
    Modbus, // an RTU master polling slaves, RTS keyed around each request
    Random, // random bytes in both directions, random line changes
    Full,   // both directions back to back at the line rate, numbered
    ModbusMix,    // every common function, long frames, damaged frames, noise
    ModbusAscii,  // the same in ASCII framing
    ModbusShared, // the RTU mix on one direction, as one port hears a two-wire bus
    Nmea,         // a GPS receiver's sentences
};

// "modem", "modbus", "random", "full", "modbus-mix", "modbus-ascii",
// "modbus-bus", "nmea"; false for anything else.
bool ParseScenario(const std::string& name, ScenarioKind& kind);
const char* ScenarioName(ScenarioKind kind);
// The rate a scenario uses when none is configured (percent).
uint32_t DefaultRate(ScenarioKind kind);

class Scenario {
public:
    virtual ~Scenario() = default;
    // Appends the next stretch of traffic, starting at the builder's cursor.
    virtual void Next(ScriptBuilder& b) = 0;
    // One character in that many carries an error (0: never).
    virtual uint32_t ErrorOneIn() const = 0;
};

std::unique_ptr<Scenario> MakeScenario(ScenarioKind kind);

// The full-rate scenario numbers its traffic: pair k is a TXD character with
// the low byte of k followed by an RXD character with the next byte, both
// completing at (k + 1) character times. A reader rebuilds k from each pair
// and so sees any lost, repeated or reordered record.
inline uint8_t FullPairLow(uint64_t k) { return static_cast<uint8_t>(k & 0xFF); }
inline uint8_t FullPairHigh(uint64_t k) { return static_cast<uint8_t>((k >> 8) & 0xFF); }

class Generator {
public:
    Generator(ScenarioKind kind, uint64_t seed, uint32_t rate, const LineFormat& format);

    // Appends every record due at or before `until` (nanoseconds since the
    // start) to out, in order, but at most `maxBytes` bytes: records beyond
    // are dropped as a full FIFO drops them. False when something was dropped.
    bool Until(uint64_t until, std::vector<uint8_t>& out, std::size_t maxBytes = SIZE_MAX);

private:
    void Refill();

    LineFormat format;
    Random random;
    uint32_t rate;
    std::unique_ptr<Scenario> scenario;
    Emitter emitter;
    std::deque<Event> pending;
    uint64_t stretchEnd = 0;
    uint8_t lines = kAllInactive;
    bool started = false;
};

} // namespace sim
