#pragma once
// Capture files for the converter tests, written byte by byte from the file
// layouts rather than through the program's own writer, so that a fault in
// the writer cannot hide the same fault in the reader.
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The header fields as their texts; each must fit its width for a 92-byte text.
struct HeaderFields {
    std::string data = "1", dataMode = "0";
    int32_t crDataTXD = 16711680, crDataRXD = 4236, crSpecChar = 25856;
    std::string error = "1";
    int32_t crErrFrame = 8421631, crErrParity = 65535;
    std::string status = "0", stamp = "0", stampMode = "0", dateTime = "1";
    int32_t crStampFore = 12801315, crStampBack = 8629910;
    std::string noDisplay = "0";
    int32_t crBkColor = 16777215;
    int32_t cxLine = -1;
};

// 92 characters and the two check bytes.
Bytes CurrentHeader(const HeaderFields& fields);
// 91 characters, without DateTime and without a check.
Bytes OldHeader(const HeaderFields& fields);

// The record area of a current file.
struct StoredStream {
    Bytes bytes;
    StoredStream& Data(uint8_t character, bool rxd = false, uint8_t errorBits = 0);
    StoredStream& Status(uint8_t lineBits);
    StoredStream& Stamp(uint32_t ms, uint32_t time);
    StoredStream& DateTime(uint32_t time);
};

// The record area of an old file.
struct OldStream {
    Bytes bytes;
    OldStream& Txd(uint8_t character, uint8_t lineBits);
    OldStream& Rxd(uint8_t character, uint8_t lineBits);
    OldStream& Status(uint8_t lineBits);
    // Type 7: low four bits are D, -, F, - of a data record.
    OldStream& ErrorChar(uint8_t character, uint8_t bits);
    // A count group of `tenMs` units followed by a time group.
    OldStream& Tick(uint16_t tenMs, uint32_t time);
};

Bytes operator+(Bytes a, const Bytes& b);

// The thirteen counters a file should give, computed straight from the
// layouts; `ok` is false when the program refuses the file.
struct ReferenceResult {
    bool ok = false;
    uint32_t counters[13] = {};
};
ReferenceResult ReferenceCounters(const Bytes& file, bool oldType);

// "TXD:1\nRXD:0\n..." for comparison with the converter's output.
std::string CountersText(const uint32_t (&counters)[13]);
