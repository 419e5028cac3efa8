#pragma once
// The checks of Modbus frames: the RTU CRC-16 (polynomial 0xA001, starting
// at 0xFFFF, sent low byte first) and the ASCII LRC (the two's complement
// of the bytes' sum).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

inline uint16_t ModbusCrc16(const uint8_t* data, std::size_t size)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

inline void AppendModbusCrc(std::vector<uint8_t>& frame)
{
    const uint16_t crc = ModbusCrc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

inline uint8_t ModbusLrc(const uint8_t* data, std::size_t size)
{
    uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + data[i]);
    return static_cast<uint8_t>(-sum);
}

} // namespace sim
