#pragma once
// Benchmark traffic: a Modbus RTU frame with its CRC, as the probe's data
// records of one direction.
#include "ModbusRules.h"

#include <cstdint>
#include <vector>

inline void PutRtuFrame(std::vector<uint8_t>& out, std::vector<uint8_t> frame, bool rxd)
{
    const uint16_t crc = modbus::Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    for (uint8_t b : frame) {
        out.push_back(rxd ? 0x28 : 0x20);
        out.push_back(b);
    }
}
