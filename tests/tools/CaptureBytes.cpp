#include "CaptureBytes.h"

#include <cstdio>

namespace {

void Put(Bytes& out, uint8_t b0, uint8_t b1)
{
    out.push_back(b0);
    out.push_back(b1);
}

void PutBigEndianGroup(Bytes& out, uint8_t b0, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) Put(out, b0, static_cast<uint8_t>(value >> shift));
}

std::string Number(const char* format, int32_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string CommonFront(const HeaderFields& f)
{
    return f.data + f.dataMode + Number("%010d", f.crDataTXD) + Number("%010d", f.crDataRXD) +
           Number("%010d", f.crSpecChar) + f.error + Number("%010d", f.crErrFrame) +
           Number("%010d", f.crErrParity) + f.status + f.stamp + f.stampMode;
}

std::string CommonBack(const HeaderFields& f)
{
    return Number("%010d", f.crStampFore) + Number("%010d", f.crStampBack) + f.noDisplay +
           Number("%010d", f.crBkColor) + Number("%04d", f.cxLine);
}

// A one-character switch read by the leading-digits rule.
bool SwitchOn(uint8_t c) { return c >= '1' && c <= '9'; }

struct CounterModel {
    bool data = true;
    bool status = true;
    uint8_t current = 0x1F;
    uint32_t counters[13] = {};

    void DataChar(uint8_t b0)
    {
        if (!data) return;
        if (b0 & 0x10) ++counters[12];
        else ++counters[(b0 & 0x08) ? 1 : 0];
    }
    void StatusChange(uint8_t s)
    {
        if (!status || s == current) return;
        // Rise and fall counter pairs by line: RTS, CTS, CD, DTR, DSR.
        const uint8_t bits[5] = {0x08, 0x10, 0x01, 0x02, 0x04};
        for (int i = 0; i < 5; ++i) {
            const bool was = current & bits[i], is = s & bits[i];
            if (was && !is) ++counters[2 + 2 * i];
            if (!was && is) ++counters[3 + 2 * i];
        }
        current = s;
    }
};

} // namespace

Bytes CurrentHeader(const HeaderFields& fields)
{
    const std::string text = CommonFront(fields) + fields.dateTime + CommonBack(fields);
    Bytes out(text.begin(), text.end());
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < 92 && i + 1 < out.size(); i += 2) sum += out[i] | (out[i + 1] << 8);
    const uint16_t check = static_cast<uint16_t>(~sum);
    out.push_back(static_cast<uint8_t>(check >> 8));
    out.push_back(static_cast<uint8_t>(check));
    return out;
}

Bytes OldHeader(const HeaderFields& fields)
{
    const std::string text = CommonFront(fields) + CommonBack(fields);
    return Bytes(text.begin(), text.end());
}

StoredStream& StoredStream::Data(uint8_t character, bool rxd, uint8_t errorBits)
{
    Put(bytes, static_cast<uint8_t>(0x20 | (rxd ? 0x08 : 0) | errorBits), character);
    return *this;
}

StoredStream& StoredStream::Status(uint8_t lineBits)
{
    const auto b0 = static_cast<uint8_t>(0x40 | (lineBits & 0x1F));
    Put(bytes, b0, b0);
    return *this;
}

StoredStream& StoredStream::Stamp(uint32_t ms, uint32_t time)
{
    PutBigEndianGroup(bytes, 0x80, ms);
    PutBigEndianGroup(bytes, 0xC0, time);
    return *this;
}

StoredStream& StoredStream::DateTime(uint32_t time)
{
    PutBigEndianGroup(bytes, 0xA0, time);
    return *this;
}

OldStream& OldStream::Txd(uint8_t character, uint8_t lineBits)
{
    Put(bytes, static_cast<uint8_t>(0x20 | (lineBits & 0x1F)), character);
    return *this;
}

OldStream& OldStream::Rxd(uint8_t character, uint8_t lineBits)
{
    Put(bytes, static_cast<uint8_t>(0x40 | (lineBits & 0x1F)), character);
    return *this;
}

OldStream& OldStream::Status(uint8_t lineBits)
{
    Put(bytes, static_cast<uint8_t>(0x60 | (lineBits & 0x1F)), 0);
    return *this;
}

OldStream& OldStream::ErrorChar(uint8_t character, uint8_t bits)
{
    Put(bytes, static_cast<uint8_t>(0xE0 | (bits & 0x0F)), character);
    return *this;
}

OldStream& OldStream::Tick(uint16_t tenMs, uint32_t time)
{
    Put(bytes, 0x80, 0);
    Put(bytes, 0x80, static_cast<uint8_t>((tenMs >> 8) & 0x1F));
    Put(bytes, 0x80, static_cast<uint8_t>(tenMs));
    PutBigEndianGroup(bytes, 0xA0, time);
    return *this;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ReferenceResult ReferenceCounters(const Bytes& file, bool oldType)
{
    ReferenceResult result;
    const std::size_t headerSize = oldType ? 91 : 94;
    if (file.size() < headerSize) return result;
    if (oldType) {
        for (std::size_t i = 0; i < 91; ++i)
            if (file[i] == 0) return result;
        const auto above = [&file](std::size_t at, char limit) { return static_cast<int8_t>(file[at]) > limit; };
        if (above(0, '1') || above(32, '2') || above(54, '1') || above(55, '3') || above(77, '1')) return result;
    } else {
        uint32_t sum = 0;
        for (std::size_t i = 0; i < 92; i += 2) sum += file[i] | (file[i + 1] << 8);
        if (((sum + (file[92] << 8) + file[93]) & 0xFFFF) != 0xFFFF) return result;
    }
    result.ok = true;

    CounterModel model;
    model.data = SwitchOn(file[0]);
    model.status = SwitchOn(file[53]);
    model.current = oldType ? 0x5F : 0x1F;
    const uint8_t* d = file.data() + headerSize;
    const std::size_t n = file.size() - headerSize;
    std::size_t pos = 0;
    const auto hasRecord = [&] { return pos + 2 <= n; };
    // Reads up to `count` group records, stopping after the first that does
    // not belong (which is consumed and dropped).
    const auto skipGroup = [&](int count, auto belongs) {
        for (int k = 0; k < count && hasRecord(); ++k) {
            const uint8_t b0 = d[pos];
            pos += 2;
            if (!belongs(b0)) break;
        }
    };
    while (hasRecord()) {
        const uint8_t b0 = d[pos];
        pos += 2;
        const int type = b0 >> 5;
        if (!oldType) {
            if (type == 1) model.DataChar(b0);
            else if (type == 2) model.StatusChange(b0);
            else if (type == 4) {
                skipGroup(3, [](uint8_t b) { return b == 0x80; });
                if (hasRecord() && d[pos] == 0xC0) skipGroup(4, [](uint8_t b) { return b == 0xC0; });
            } else if (type == 5) {
                skipGroup(3, [](uint8_t b) { return b == 0xA0; });
            }
        } else {
            const auto status = static_cast<uint8_t>((b0 & 0x1F) | 0x40);
            if (type == 1 || type == 2) {
                model.StatusChange(status);
                model.DataChar(type == 1 ? 0x20 : 0x28);
            } else if (type == 3) {
                model.StatusChange(status);
            } else if (type == 7) {
                model.DataChar(static_cast<uint8_t>(0x30 | (b0 & 0x0F)));
            } else if (type == 4) {
                skipGroup(2, [](uint8_t b) { return (b & 0xE0) == 0x80; });
            } else if (type == 5) {
                skipGroup(3, [](uint8_t b) { return (b & 0xE0) == 0xA0; });
            }
        }
    }
    for (int i = 0; i < 13; ++i) result.counters[i] = model.counters[i];
    return result;
}

std::string CountersText(const uint32_t (&counters)[13])
{
    static const char* const names[13] = {"TXD", "RXD", "RTS", "RTS", "CTS", "CTS", "CD",
                                          "CD",  "DTR", "DTR", "DSR", "DSR", "ERR"};
    std::string text;
    for (int i = 0; i < 13; ++i) text += std::string(names[i]) + ":" + std::to_string(counters[i]) + "\n";
    return text;
}
