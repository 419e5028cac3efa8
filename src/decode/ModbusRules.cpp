#include "ModbusRules.h"

#include <array>

namespace modbus {

namespace {

unsigned U16(const uint8_t* b) { return (static_cast<unsigned>(b[0]) << 8) | b[1]; }

// A frame whose length rests on a count byte at `at`: `fixed` bytes plus the count.
int Counted(const uint8_t* b, std::size_t have, std::size_t at, int fixed)
{
    return have > at ? fixed + b[at] : kNeedMore;
}

// The answer to a Read Device Identification: eight bytes of heading, then
// objects of id, length and value.
int DeviceIdentificationLength(const uint8_t* b, std::size_t have)
{
    if (have < 8) return kNeedMore;
    std::size_t at = 8;
    for (int object = 0; object < b[7]; ++object) {
        if (have < at + 2) return kNeedMore;
        at += 2 + b[at + 1];
        if (at > 254) return static_cast<int>(at); // too long for a frame: the caller refuses it
    }
    return static_cast<int>(at);
}

std::string Hex(unsigned value, int digits)
{
    static const char* const kDigits = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return text;
}

std::string Registers(const uint8_t* b, std::size_t n)
{
    std::string text = "values";
    for (std::size_t i = 0; i + 1 < n; i += 2) text += " " + std::to_string(U16(b + i));
    return text;
}

std::string Bytes(const uint8_t* b, std::size_t n)
{
    std::string text = "bytes";
    for (std::size_t i = 0; i < n; ++i) text += " " + Hex(b[i], 2);
    return text;
}

} // namespace

int FrameLength(const uint8_t* b, std::size_t have, Role role)
{
    if (have < 2) return kNeedMore;
    const uint8_t function = b[1];
    if (function & 0x80) return 3;
    if (role == Role::Request) {
        switch (function) {
        case 1: case 2: case 3: case 4: case 5: case 6: case 8: return 6;
        case 7: case 11: case 12: case 17: return 2;
        case 15: case 16: return Counted(b, have, 6, 7);
        case 20: case 21: return Counted(b, have, 2, 3);
        case 22: return 8;
        case 23: return Counted(b, have, 10, 11);
        case 24: return 4;
        case 43:
            if (have < 3) return kNeedMore;
            return b[2] == 14 ? 5 : kNoRule;
        default: return kNoRule;
        }
    }
    switch (function) {
    case 1: case 2: case 3: case 4: case 12: case 17: case 20: case 21: case 23: return Counted(b, have, 2, 3);
    case 5: case 6: case 8: case 11: case 15: case 16: return 6;
    case 7: return 3;
    case 22: return 8;
    case 24: return have < 4 ? kNeedMore : 4 + static_cast<int>(U16(b + 2));
    case 43:
        if (have < 3) return kNeedMore;
        return b[2] == 14 ? DeviceIdentificationLength(b, have) : kNoRule;
    default: return kNoRule;
    }
}

uint16_t Crc16(const uint8_t* b, std::size_t n, uint16_t crc)
{
    for (std::size_t i = 0; i < n; ++i) crc = Crc16Step(crc, b[i]);
    return crc;
}

uint8_t Lrc(const uint8_t* b, std::size_t n)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += b[i];
    return static_cast<uint8_t>(-sum);
}

const char* FunctionName(uint8_t function)
{
    switch (function & 0x7F) {
    case 1: return "Read Coils";
    case 2: return "Read Discrete Inputs";
    case 3: return "Read Holding Registers";
    case 4: return "Read Input Registers";
    case 5: return "Write Single Coil";
    case 6: return "Write Single Register";
    case 7: return "Read Exception Status";
    case 8: return "Diagnostics";
    case 11: return "Get Comm Event Counter";
    case 12: return "Get Comm Event Log";
    case 15: return "Write Multiple Coils";
    case 16: return "Write Multiple Registers";
    case 17: return "Report Server ID";
    case 20: return "Read File Record";
    case 21: return "Write File Record";
    case 22: return "Mask Write Register";
    case 23: return "Read/Write Multiple Registers";
    case 24: return "Read FIFO Queue";
    case 43: return "Encapsulated Interface Transport";
    default: return "";
    }
}

const char* ExceptionName(uint8_t code)
{
    switch (code) {
    case 1: return "Illegal Function";
    case 2: return "Illegal Data Address";
    case 3: return "Illegal Data Value";
    case 4: return "Server Device Failure";
    case 5: return "Acknowledge";
    case 6: return "Server Device Busy";
    case 8: return "Memory Parity Error";
    case 10: return "Gateway Path Unavailable";
    case 11: return "Gateway Target Device Failed to Respond";
    default: return "";
    }
}

std::string FieldsText(const uint8_t* b, std::size_t n, Role role)
{
    if (n < 2) return {};
    const uint8_t function = b[1];
    const uint8_t* d = b + 2;
    const std::size_t dn = n - 2;
    auto at = [&](std::size_t i) { return i + 2 <= dn ? std::to_string(U16(d + i)) : std::string("?"); };
    if (function & 0x80) {
        if (dn < 1) return {};
        const std::string name = ExceptionName(d[0]);
        return "code " + std::to_string(d[0]) + (name.empty() ? "" : " " + name);
    }
    if (role == Role::Request) {
        switch (function) {
        case 1: case 2: case 3: case 4: return "start " + at(0) + " count " + at(2);
        case 5: return "coil " + at(0) + (dn >= 4 && U16(d + 2) == 0xFF00 ? " on" : " off");
        case 6: return "register " + at(0) + " value " + at(2);
        case 8: return "sub-function " + at(0) + " data " + at(2);
        case 15: return "start " + at(0) + " count " + at(2) + (dn > 5 ? " " + Bytes(d + 5, dn - 5) : "");
        case 16: return "start " + at(0) + " count " + at(2) + (dn > 5 ? " " + Registers(d + 5, dn - 5) : "");
        case 22: return "register " + at(0) + " and " + at(2) + " or " + at(4);
        case 23:
            return "read " + at(0) + " count " + at(2) + " write " + at(4) + " count " + at(6) +
                   (dn > 9 ? " " + Registers(d + 9, dn - 9) : "");
        case 24: return "pointer " + at(0);
        case 43:
            if (dn < 1) return {};
            return "MEI " + std::to_string(d[0]) +
                   (d[0] == 14 && dn >= 3 ? " read " + std::to_string(d[1]) + " object " + std::to_string(d[2]) : "");
        default: return dn > 0 ? Bytes(d, dn) : std::string();
        }
    }
    switch (function) {
    case 1: case 2: case 12: case 17: case 20: case 21: return dn > 1 ? Bytes(d + 1, dn - 1) : std::string();
    case 3: case 4: case 23: return dn > 1 ? Registers(d + 1, dn - 1) : std::string("values");
    case 5: return "coil " + at(0) + (dn >= 4 && U16(d + 2) == 0xFF00 ? " on" : " off");
    case 6: return "register " + at(0) + " value " + at(2);
    case 8: return "sub-function " + at(0) + " data " + at(2);
    case 11: return "status " + at(0) + " events " + at(2);
    case 15: case 16: return "start " + at(0) + " count " + at(2);
    case 22: return "register " + at(0) + " and " + at(2) + " or " + at(4);
    case 24: return dn > 4 ? "count " + at(2) + " " + Registers(d + 4, dn - 4) : "count " + at(2);
    case 43: return dn > 0 ? "MEI " + std::to_string(d[0]) : std::string();
    default: return dn > 0 ? Bytes(d, dn) : std::string();
    }
}

} // namespace modbus
