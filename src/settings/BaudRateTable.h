#pragma once
// The 19 baud rates a probe can be set to; the index is what the settings file,
// the parameter block and the packed status value carry.
#include <array>
#include <cstdint>

inline constexpr std::array<const char*, 19> kBaudRateTexts = {
    "50", "100", "110", "150", "200", "300", "600", "1200", "2400", "4800",
    "9600", "14400", "19200", "28800", "38400", "57600", "76800", "115200", "230400"};

inline constexpr std::array<uint32_t, 19> kBaudRates = {
    50, 100, 110, 150, 200, 300, 600, 1200, 2400, 4800,
    9600, 14400, 19200, 28800, 38400, 57600, 76800, 115200, 230400};

inline constexpr int kDefaultBaudRateIndex = 10;

inline constexpr bool IsValidBaudRateIndex(int index) { return index >= 0 && index < static_cast<int>(kBaudRates.size()); }
