#include "FrameText.h"

#include "CLineDecoder.h"
#include "ModbusRules.h"

#include <cstdio>

namespace {

bool IsModbus(const CFrame& frame) { return frame.protocol != FrameProtocol::Line; }

bool IsNmea(const CFrame& frame)
{
    uint8_t found = 0, computed = 0;
    return frame.protocol == FrameProtocol::Line && NmeaChecksum(frame.bytes.data(), frame.bytes.size(), found, computed);
}

// The bytes before the check: RTU carries two, ASCII one.
std::size_t ContentSize(const CFrame& frame)
{
    const std::size_t check = frame.protocol == FrameProtocol::ModbusRtu ? 2 : 1;
    return frame.bytes.size() > check ? frame.bytes.size() - check : 0;
}

std::string HexBytes(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char cell[4];
    for (uint8_t b : bytes) {
        std::snprintf(cell, sizeof cell, "%s%02X", text.empty() ? "" : " ", b);
        text += cell;
    }
    return text;
}

std::string LineText(const std::vector<uint8_t>& bytes)
{
    static const char* const kControl[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                             "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                             "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                             "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    std::string text;
    text.reserve(bytes.size());
    char cell[8];
    for (uint8_t b : bytes) {
        if (b < 0x20) {
            text += '<';
            text += kControl[b];
            text += '>';
        } else if (b < 0x7F) {
            text += static_cast<char>(b);
        } else {
            std::snprintf(cell, sizeof cell, "<%02X>", b);
            text += cell;
        }
    }
    return text;
}

std::string Csv(const std::string& value)
{
    if (value.find_first_of(",\"\n\r") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

const char* FrameDirectionText(const CFrame& frame) { return frame.direction ? "RXD" : "TXD"; }

std::string FrameProtocolText(const CFrame& frame)
{
    switch (frame.protocol) {
    case FrameProtocol::ModbusRtu: return "Modbus RTU";
    case FrameProtocol::ModbusAscii: return "Modbus ASCII";
    case FrameProtocol::Line: break;
    }
    return IsNmea(frame) ? "NMEA 0183" : "Line";
}

const char* FrameKindText(const CFrame& frame)
{
    const bool line = frame.protocol == FrameProtocol::Line;
    switch (frame.kind) {
    case FrameKind::Request: return line ? "command" : "request";
    case FrameKind::Response: return line ? "answer" : "response";
    case FrameKind::Exception: return "exception";
    case FrameKind::Noise: return "noise";
    case FrameKind::Line: return "line";
    case FrameKind::LinePiece: return "piece";
    }
    return "";
}

std::string FrameTimeText(const CFrame& frame)
{
    if (!frame.hasTime) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(frame.timeMs / 1000),
                  static_cast<long long>(frame.timeMs % 1000));
    return text;
}

std::string FrameCheckText(const CFrame& frame)
{
    if (frame.check == FrameCheck::None) return {};
    const char* name = frame.protocol == FrameProtocol::ModbusRtu     ? "CRC"
                       : frame.protocol == FrameProtocol::ModbusAscii ? "LRC"
                                                                      : "checksum";
    if (frame.check == FrameCheck::Good) return std::string(name) + " ok";
    char text[48];
    std::snprintf(text, sizeof text, "%s bad (computed 0x%0*X)", name,
                  frame.protocol == FrameProtocol::ModbusRtu ? 4 : 2, frame.checkComputed);
    return text;
}

std::string FrameSummary(const CFrame& frame)
{
    if (!IsModbus(frame)) {
        std::string text = LineText(frame.bytes);
        if (IsNmea(frame) && frame.bytes.size() >= 6) {
            // "$GPGGA": talker GP, sentence GGA; "$PGRME": proprietary.
            const std::string body(frame.bytes.begin() + 1, frame.bytes.begin() + 6);
            const bool proprietary = body[0] == 'P';
            const std::string talker = proprietary ? "P" : body.substr(0, 2);
            std::string type = proprietary ? body.substr(1) : body.substr(2);
            if (const auto comma = type.find(','); comma != std::string::npos) type.resize(comma);
            text = "talker " + talker + " type " + type + "  " + text;
        }
        return text;
    }
    if (frame.kind == FrameKind::Noise) return HexBytes(frame.bytes);
    const std::size_t n = ContentSize(frame);
    if (n < 2) return HexBytes(frame.bytes);
    const uint8_t function = frame.bytes[1];
    const std::string name = modbus::FunctionName(function);
    std::string text = "slave " + std::to_string(frame.bytes[0]) + " function " + std::to_string(function & 0x7F) +
                       " " + (name.empty() ? "unknown function" : name);
    const modbus::Role role = frame.kind == FrameKind::Request ? modbus::Role::Request : modbus::Role::Response;
    const std::string fields = modbus::FieldsText(frame.bytes.data(), n, role);
    if (!fields.empty()) text += "  " + fields;
    return text;
}

std::string FrameListLine(const CFrame& frame)
{
    std::string line = std::to_string(frame.number);
    const std::string time = FrameTimeText(frame);
    line += "  " + (time.empty() ? std::string("-") : time);
    line += std::string("  ") + FrameDirectionText(frame) + "  " + FrameProtocolText(frame) + "  " +
            FrameKindText(frame) + "  " + FrameSummary(frame);
    const std::string check = FrameCheckText(frame);
    if (!check.empty()) line += "  " + check;
    if (frame.charError) line += "  character error";
    if (frame.cut) line += "  incomplete";
    if (frame.requestNumber != 0) {
        line += "  reply to " + std::to_string(frame.requestNumber);
        if (frame.delayMs >= 0) line += " after " + std::to_string(frame.delayMs) + " ms";
    }
    return line;
}

std::string FrameCsvHeader()
{
    return "number,time_s,direction,protocol,kind,address,function,check,error,request,delay_ms,summary,bytes";
}

std::string FrameCsvLine(const CFrame& frame)
{
    const bool modbus = IsModbus(frame) && frame.kind != FrameKind::Noise && frame.bytes.size() >= 2;
    std::string line = std::to_string(frame.number) + "," + FrameTimeText(frame) + "," + FrameDirectionText(frame) +
                       "," + FrameProtocolText(frame) + "," + FrameKindText(frame) + ",";
    if (modbus) line += std::to_string(frame.bytes[0]) + "," + std::to_string(frame.bytes[1]);
    else line += ",";
    line += "," + Csv(FrameCheckText(frame)) + ",";
    line += frame.charError ? "character" : frame.cut ? "incomplete" : "";
    line += "," + (frame.requestNumber ? std::to_string(frame.requestNumber) : std::string());
    line += "," + (frame.requestNumber && frame.delayMs >= 0 ? std::to_string(frame.delayMs) : std::string());
    line += "," + Csv(FrameSummary(frame)) + "," + HexBytes(frame.bytes);
    return line;
}
