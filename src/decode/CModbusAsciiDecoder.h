#pragma once
// Modbus ASCII: ':' opens a frame, CR LF ends it, and between them each
// byte is two hexadecimal digits, the last byte the LRC. Characters outside
// a frame become one noise frame; a ':' inside a frame ends it as cut.
#include "DecodeSettings.h"
#include "IFrameDecoder.h"
#include "ModbusPairing.h"

#include <array>
#include <vector>

class CModbusAsciiDecoder final : public IFrameDecoder {
public:
    // ':', 255 bytes as digits, CR LF.
    static constexpr std::size_t kMaxFrame = 513;

    CModbusAsciiDecoder(MasterSide master, FrameSink sink);
    void Put(const FrameChar& c) override;
    void Finish() override;

private:
    struct Stream {
        std::vector<FrameChar> chars;
        bool inFrame = false;
    };
    void Close(Stream& s, bool ended);

    MasterSide master;
    FrameSink sink;
    ModbusPairing pairing;
    std::array<Stream, 2> streams;
    uint64_t nextNumber = 1;
};
