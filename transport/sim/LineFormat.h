#pragma once
// The serial line the simulated probe listens to: rate and character frame,
// decoded from the 8-byte parameter block, and the options of byte 4.
#include <cstdint>

namespace sim {

struct LineFormat {
    uint32_t baud = 9600;
    int dataBits = 8;
    int parity = 0; // 0 none, 1 odd, 2 even
    int stopBits = 1;
    // Byte 4 of the block: which records the probe sends.
    bool reportErrors = true;
    bool reportStatus = true;
    bool reportTicks = false;

    // Start bit, data bits, parity bit, stop bits.
    int FrameBits() const { return 1 + dataBits + (parity != 0 ? 1 : 0) + stopBits; }
    // One character's time on the line, in nanoseconds.
    uint64_t CharNanos() const { return FrameBits() * 1000000000ull / baud; }
    uint8_t DataMask() const { return dataBits == 7 ? 0x7F : 0xFF; }

    // Decodes a parameter block; false (and no change) for a block the probe
    // cannot honour.
    bool FromBlock(const uint8_t* block, int length);
};

} // namespace sim
