#pragma once
// The frames that the remote transport and `ks-capture --serve` exchange over
// an ssh connection (docs/remote-protocol.md): their encoding and a decoder
// that takes the byte stream as it arrives and refuses anything malformed.
// Plain C++ without Qt, compiled into both sides and into a fuzz target.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace remote {

// Raised whenever the frames or their meaning change; both sides refuse a
// peer of another version.
inline constexpr uint16_t kProtocolVersion = 1;
inline constexpr char kMagic[4] = {'K', 'S', 'R', 'P'};

enum class FrameType : uint8_t {
    Hello = 'H',      // both ways, first: magic and version
    Open = 'O',       // desk: open the far probe; payload the transport name (may be empty)
    Firmware = 'F',   // desk: the firmware text; payload value, length
    Parameters = 'P', // desk: the 8-byte line parameter block
    Start = 'S',      // desk
    Stop = 'T',       // desk
    Close = 'C',      // desk: close the probe and end
    Answer = 'A',     // far: request type, 32-bit result, then data (the firmware text)
    Records = 'R',    // far: whole two-byte records
    Notice = 'N',     // far: a text for the user; the capture goes on
    Lost = 'L',       // far: the far probe is gone (the text says why); no records follow
    Refused = 'E',    // far: the far side refuses and ends (the text says why)
};

// A payload never exceeds this; a longer length is a broken stream.
inline constexpr std::size_t kMaxPayload = 65536;
inline constexpr std::size_t kHeaderSize = 5; // type, 32-bit length (little-endian)
// Texts are cut to this before they are sent.
inline constexpr std::size_t kMaxText = 2000;

struct Frame {
    FrameType type = FrameType::Hello;
    std::vector<uint8_t> payload;
    std::string Text() const { return std::string(payload.begin(), payload.end()); }
};

// Appends one encoded frame to `out`. The payload must not exceed kMaxPayload.
void AppendFrame(std::vector<uint8_t>& out, FrameType type, const uint8_t* payload, std::size_t size);
void AppendFrame(std::vector<uint8_t>& out, FrameType type, const std::string& text = {});
void AppendHello(std::vector<uint8_t>& out, uint16_t version = kProtocolVersion);
void AppendAnswer(std::vector<uint8_t>& out, FrameType request, int32_t result, const std::string& data = {});

// The version a hello frame announces; false when the payload is no hello
// of ours at all (another program answering on the far side).
bool ReadHello(const Frame& frame, uint16_t& version);

// An answer's parts; false when the payload is too short.
bool ReadAnswer(const Frame& frame, FrameType& request, int32_t& result, std::string& data);

// Splits a byte stream into frames. Feed the bytes as they arrive, then
// take frames with Next until it returns NeedMore. After Broken the stream
// cannot be trusted any more and every later call returns Broken.
class FrameDecoder {
public:
    enum class Result { Frame, NeedMore, Broken };

    void Feed(const uint8_t* data, std::size_t size);
    Result Next(Frame& frame);
    // Why the stream broke, for messages.
    const std::string& Error() const { return error; }
    // Bytes received but not yet taken as frames.
    std::size_t Pending() const { return buffer.size() - position; }

private:
    Result Fail(std::string why);

    std::vector<uint8_t> buffer;
    std::size_t position = 0;
    std::string error;
};

// Whether `type` is one of ours.
bool IsKnownType(uint8_t type);

} // namespace remote
