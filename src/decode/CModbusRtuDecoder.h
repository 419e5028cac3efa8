#pragma once
// Modbus RTU framed by content, not by silence: USB adapters hand characters
// over in bursts, so gaps say little. At each place the function code gives
// the frame's length as a request and as a response; a length whose CRC
// holds makes a frame. When no length holds the decoder slides on by one
// character; what it slid over becomes one bad frame (the request or
// response it would have been when its length fits, else noise) once the
// next good frame is found. A function without a length rule ends at the
// first CRC that holds within 256 characters.
#include "DecodeSettings.h"
#include "IFrameDecoder.h"
#include "ModbusPairing.h"

#include <array>
#include <vector>

class CModbusRtuDecoder final : public IFrameDecoder {
public:
    // The longest RTU frame, CRC included.
    static constexpr std::size_t kMaxFrame = 256;
    // A place that waits for a CRC that holds (a damaged frame whose function
    // has no length rule waits for 256 characters) is given up when a whole
    // frame with a good CRC lies after it: looked for once this many characters wait, then
    // every kRescueStep more.
    static constexpr std::size_t kFirstRescue = 24;
    static constexpr std::size_t kRescueStep = 16;

    CModbusRtuDecoder(MasterSide master, FrameSink sink);
    void Put(const FrameChar& c) override;
    void Finish() override;

private:
    struct Stream {
        std::vector<FrameChar> chars;
        std::vector<uint8_t> bytes; // the same characters' bytes, for the CRC
        std::size_t head = 0;       // first character not in a frame
        std::size_t skipped = 0;    // characters slid over, before head
        // The CRC run from head over the characters since, for the search of
        // a frame without a length rule.
        uint16_t runningCrc = 0xFFFF;
        std::size_t runningLength = 0;
        // Nothing can be decided before the stream holds this many
        // characters (a frame of known length waiting for its end).
        std::size_t decideAt = 0;
        // While the place at head waits, how many characters from head the
        // next look for a whole frame further on waits for.
        std::size_t rescueAt = kFirstRescue;
        // The wait at head is for a frame of known length: it is never
        // given up for a frame further on (one inside it could hold by chance).
        bool waitKnown = false;
        // Every place from head on before this one was found to start no
        // frame whatever comes after it: a rescue does not look there again.
        std::size_t rescueFrom = 0;
    };
    enum class Try { Found, Wait, Fail };

    void Scan(Stream& s, bool final);
    // Decides everything waiting in `s` as at the end of the capture.
    void Flush(Stream& s);
    // A frame begins at `record` on the other direction: on a half-duplex
    // line the other side has finished, so what waits in the quiet `s` is
    // decided now rather than after 256 more characters.
    void FlushQuiet(Stream& s, uint64_t record);
    Try TryAt(Stream& s, bool final, std::size_t& length, modbus::Role& role, bool& ambiguous);
    // `rule`: the role's FrameLength. On Wait `length` is the characters
    // from head the decision needs.
    Try TryRole(Stream& s, int rule, bool final, std::size_t& length);
    // A whole frame with a good CRC after head, within what waits: the
    // characters before it are slid over. False when there is none.
    bool Rescue(Stream& s);
    void Advance(Stream& s, std::size_t count);
    void EmitSkipped(Stream& s);
    // `ambiguous`: the frame fits both roles alike; the pairing settles it.
    void Emit(Stream& s, std::size_t begin, std::size_t count, modbus::Role role, bool checkGood, bool known,
              bool ambiguous = false);

    MasterSide master;
    FrameSink sink;
    ModbusPairing pairing;
    std::array<Stream, 2> streams;
    uint64_t nextNumber = 1;
    bool flushing = false;
};
