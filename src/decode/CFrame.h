#pragma once
// One frame found in the characters of a capture: a Modbus request or
// response, a text line, or characters that made no frame. A plain value,
// made by the decoders and shown by the frame lists; its texts are made when
// they are shown (FrameText.h).
#include <cstdint>
#include <vector>

enum class FrameProtocol : uint8_t { ModbusRtu, ModbusAscii, Line };

enum class FrameKind : uint8_t {
    Request,
    Response,
    Exception,
    Noise,     // characters that made no frame
    Line,      // a text line
    LinePiece, // a text line cut at its greatest length: more of it follows
};

enum class FrameCheck : uint8_t { None, Good, Bad };

struct CFrame {
    uint64_t number = 0;      // from 1, in the order frames were found
    uint64_t firstRecord = 0; // the records of the first and last character,
    uint64_t lastRecord = 0;  // counted from 0 over everything fed
    uint64_t firstChar = 0;   // the first and last data character, counted
    uint64_t lastChar = 0;    // as the line store counts its data items
    int direction = 0;        // 0 TXD, 1 RXD
    FrameProtocol protocol = FrameProtocol::ModbusRtu;
    FrameKind kind = FrameKind::Noise;
    FrameCheck check = FrameCheck::None;
    bool charError = false;   // a character with a parity or framing error
    bool cut = false;         // incomplete: the capture ended inside it
    uint16_t checkFound = 0;  // the CRC or LRC the frame carries, and the one
    uint16_t checkComputed = 0; // its characters give
    bool hasTime = false;     // stamps were on: times are known
    int64_t timeMs = 0;       // elapsed at the first character
    int64_t endMs = 0;        // and at the last
    uint64_t requestNumber = 0; // a response: the request it answers (0: none)
    int64_t delayMs = -1;     // a response: after the end of its request
    // The frame's content: the characters as received for lines; for Modbus
    // ASCII the bytes its hexadecimal digits stand for; RTU as received.
    std::vector<uint8_t> bytes;

    bool IsBad() const { return charError || cut || check == FrameCheck::Bad || kind == FrameKind::Noise; }
};
