#include "RemoteFrames.h"

#include <algorithm>
#include <cstring>

namespace remote {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

bool IsKnownType(uint8_t type)
{
    switch (static_cast<FrameType>(type)) {
    case FrameType::Hello:
    case FrameType::Open:
    case FrameType::Firmware:
    case FrameType::Parameters:
    case FrameType::Start:
    case FrameType::Stop:
    case FrameType::Close:
    case FrameType::Answer:
    case FrameType::Records:
    case FrameType::Notice:
    case FrameType::Lost:
    case FrameType::Refused:
        return true;
    }
    return false;
}

void AppendFrame(std::vector<uint8_t>& out, FrameType type, const uint8_t* payload, std::size_t size)
{
    if (size > kMaxPayload) size = kMaxPayload;
    out.push_back(static_cast<uint8_t>(type));
    PutU32(out, static_cast<uint32_t>(size));
    if (size > 0) out.insert(out.end(), payload, payload + size);
}

void AppendFrame(std::vector<uint8_t>& out, FrameType type, const std::string& text)
{
    const std::size_t size = text.size() < kMaxText ? text.size() : kMaxText;
    AppendFrame(out, type, reinterpret_cast<const uint8_t*>(text.data()), size);
}

void AppendHello(std::vector<uint8_t>& out, uint16_t version)
{
    uint8_t payload[6];
    std::memcpy(payload, kMagic, 4);
    payload[4] = static_cast<uint8_t>(version);
    payload[5] = static_cast<uint8_t>(version >> 8);
    AppendFrame(out, FrameType::Hello, payload, sizeof payload);
}

void AppendAnswer(std::vector<uint8_t>& out, FrameType request, int32_t result, const std::string& data)
{
    std::vector<uint8_t> payload;
    payload.push_back(static_cast<uint8_t>(request));
    PutU32(payload, static_cast<uint32_t>(result));
    payload.insert(payload.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), kMaxText)));
    AppendFrame(out, FrameType::Answer, payload.data(), payload.size());
}

bool ReadHello(const Frame& frame, uint16_t& version)
{
    // Later versions may add to the hello; the magic and the version stay first.
    if (frame.type != FrameType::Hello || frame.payload.size() < 6) return false;
    if (std::memcmp(frame.payload.data(), kMagic, 4) != 0) return false;
    version = static_cast<uint16_t>(frame.payload[4] | frame.payload[5] << 8);
    return true;
}

bool ReadAnswer(const Frame& frame, FrameType& request, int32_t& result, std::string& data)
{
    if (frame.type != FrameType::Answer || frame.payload.size() < 5) return false;
    request = static_cast<FrameType>(frame.payload[0]);
    result = static_cast<int32_t>(GetU32(frame.payload.data() + 1));
    data.assign(frame.payload.begin() + 5, frame.payload.end());
    return true;
}

void FrameDecoder::Feed(const uint8_t* data, std::size_t size)
{
    if (!error.empty() || size == 0) return;
    // Drop what was taken before the buffer grows again.
    if (position > 0 && position == buffer.size()) {
        buffer.clear();
        position = 0;
    } else if (position > kMaxPayload) {
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(position));
        position = 0;
    }
    buffer.insert(buffer.end(), data, data + size);
}

FrameDecoder::Result FrameDecoder::Fail(std::string why)
{
    error = std::move(why);
    buffer.clear();
    position = 0;
    return Result::Broken;
}

FrameDecoder::Result FrameDecoder::Next(Frame& frame)
{
    if (!error.empty()) return Result::Broken;
    const std::size_t available = buffer.size() - position;
    if (available < 1) return Result::NeedMore;
    const uint8_t type = buffer[position];
    if (!IsKnownType(type)) return Fail("unknown frame type " + std::to_string(type));
    if (available < kHeaderSize) return Result::NeedMore;
    const uint32_t length = GetU32(buffer.data() + position + 1);
    if (length > kMaxPayload) return Fail("a frame of " + std::to_string(length) + " bytes");
    if (type == static_cast<uint8_t>(FrameType::Records) && length % 2 != 0)
        return Fail("records of an odd byte count");
    if (available < kHeaderSize + length) return Result::NeedMore;
    frame.type = static_cast<FrameType>(type);
    const auto begin = buffer.begin() + static_cast<std::ptrdiff_t>(position + kHeaderSize);
    frame.payload.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
    position += kHeaderSize + length;
    return Result::Frame;
}

} // namespace remote
