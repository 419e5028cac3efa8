#pragma once
// The probe's firmware reply as the status bar and the about box show it: the
// bytes up to the first zero, and never more than the longest version text
// the program knows ("Firmware Version: V3.0 2008/09/14", 33 characters).
#include <QString>

#include <cstddef>

inline constexpr int kFirmwareTextMax = 33;
inline constexpr int kFirmwareBufferSize = 64;

inline QString FirmwareText(const char* buffer, std::size_t size)
{
    std::size_t length = 0;
    while (length < size && length < static_cast<std::size_t>(kFirmwareTextMax) && buffer[length] != '\0') ++length;
    return QString::fromLatin1(buffer, static_cast<qsizetype>(length));
}
