#pragma once
// What the public Modbus function codes fix about a frame: its length (the
// address and the protocol data, without the check) from its first bytes,
// the check values, and the names and fields a frame list shows.
#include <cstddef>
#include <array>
#include <cstdint>
#include <string>

namespace modbus {

enum class Role : uint8_t { Request, Response };

inline constexpr int kNeedMore = 0;
inline constexpr int kNoRule = -1;

// The length of the frame (address and protocol data, no check) starting at
// `b`, of which `have` bytes are there: kNeedMore when the bytes that decide
// it have not arrived, kNoRule for a function without a length rule. An
// exception (function | 0x80) is three bytes in either role.
int FrameLength(const uint8_t* b, std::size_t have, Role role);

// CRC-16 of RTU frames (polynomial 0xA001, initial 0xFFFF); sent low byte
// first, so that running it over a frame with its CRC gives 0.
uint16_t Crc16(const uint8_t* b, std::size_t n, uint16_t crc = 0xFFFF);
// Inline: the search for a frame without a length rule runs it for every
// character it looks at.
namespace detail {
constexpr std::array<uint16_t, 256> MakeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}
inline constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();
} // namespace detail
inline uint16_t Crc16Step(uint16_t crc, uint8_t byte)
{
    return static_cast<uint16_t>((crc >> 8) ^ detail::kCrcTable[(crc ^ byte) & 0xFF]);
}
// LRC of ASCII frames: the two's complement of the byte sum.
uint8_t Lrc(const uint8_t* b, std::size_t n);

// "Read Holding Registers"; empty for a code without a public name.
const char* FunctionName(uint8_t function);
// "Illegal Data Address"; empty when unknown.
const char* ExceptionName(uint8_t code);
// The main fields of a frame's protocol data (`b` from the address on,
// without check), as "start 0 count 10" or "values 1 2 3".
std::string FieldsText(const uint8_t* b, std::size_t n, Role role);

} // namespace modbus
