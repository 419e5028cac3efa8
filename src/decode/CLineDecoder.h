#pragma once
// Text lines, per direction: a line ends at CR, LF or CR LF; one longer than
// kMaxLine is handed on in pieces. A line "$...*hh" or "!...*hh" is an NMEA
// 0183 sentence whose checksum is checked; a line starting "AT" is a
// command, and the lines the other direction sends after it are its answer.
#include "IFrameDecoder.h"

#include <array>
#include <vector>

class CLineDecoder final : public IFrameDecoder {
public:
    static constexpr std::size_t kMaxLine = 4096;

    explicit CLineDecoder(FrameSink sink);
    void Put(const FrameChar& c) override;
    void Finish() override;

private:
    struct Stream {
        std::vector<FrameChar> chars;
        bool afterCr = false; // an LF now ends nothing: it completes CR LF
        bool piece = false;   // the line so far was handed on in pieces
    };
    void Close(Stream& s, bool ended);

    FrameSink sink;
    std::array<Stream, 2> streams;
    uint64_t nextNumber = 1;
    // The last AT command and its direction, while the other side answers.
    uint64_t command = 0;
    int commandDirection = 0;
    bool commandHasTime = false;
    int64_t commandEndMs = 0;
};

// The checksum of an NMEA sentence `text` ("$GPGGA,...*hh"): true with the
// found and computed values when the text has the form.
bool NmeaChecksum(const uint8_t* text, std::size_t n, uint8_t& found, uint8_t& computed);
