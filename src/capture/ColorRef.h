#pragma once
// Colours travel as 32-bit 0x00BBGGRR values (settings file, file headers).
#include <QColor>

#include <cstdint>

inline QColor ColorFromRef(int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

inline int32_t RefFromColor(const QColor& c)
{
    return static_cast<int32_t>(static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
                                (static_cast<uint32_t>(c.blue()) << 16));
}
