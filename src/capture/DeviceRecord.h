#pragma once
// Bytes and bits of the probe's two-byte records and of the stored streams.
#include <cstdint>

namespace rec {

// Record type: the top three bits of b0.
inline constexpr uint8_t Type(uint8_t b0) { return static_cast<uint8_t>(b0 >> 5); }

inline constexpr uint8_t kTypeData = 1;
inline constexpr uint8_t kTypeStatus = 2;
inline constexpr uint8_t kTypeTick = 4;
inline constexpr uint8_t kTypeDateTime = 5;

// Data character b0 bits.
inline constexpr uint8_t kError = 0x10;
inline constexpr uint8_t kRxd = 0x08;
inline constexpr uint8_t kFrame = 0x02;

// Control-line bits of a status byte; a set bit is the line's inactive level.
inline constexpr uint8_t kCts = 0x10;
inline constexpr uint8_t kRts = 0x08;
inline constexpr uint8_t kDsr = 0x04;
inline constexpr uint8_t kDtr = 0x02;
inline constexpr uint8_t kCd = 0x01;
inline constexpr uint8_t kLineBits = 0x1F;
inline constexpr uint8_t kAllInactive = 0x1F;
inline constexpr uint8_t kAllInactiveRecord = 0x5F;

// Group markers of the stored stream.
inline constexpr uint8_t kStampValue = 0x80;
inline constexpr uint8_t kStampTime = 0xC0;
inline constexpr uint8_t kDateTime = 0xA0;

// A live tick carries 13 bits of milliseconds; 0 stands for 8192.
inline constexpr uint32_t TickMilliseconds(uint8_t b0, uint8_t b1)
{
    const uint32_t ms = (static_cast<uint32_t>(b0 & 0x1F) << 8) | b1;
    return ms == 0 ? 8192u : ms;
}

// One day: no stamp built from ticks grows beyond it.
inline constexpr uint32_t kDayMilliseconds = 86400000u;

} // namespace rec
