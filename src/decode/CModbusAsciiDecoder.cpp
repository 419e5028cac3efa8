#include "CModbusAsciiDecoder.h"

using modbus::Role;

namespace {

int HexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

CModbusAsciiDecoder::CModbusAsciiDecoder(MasterSide master, FrameSink sink)
    : master(master), sink(std::move(sink)), pairing(master)
{
}

void CModbusAsciiDecoder::Put(const FrameChar& c)
{
    Stream& s = streams[master == MasterSide::Bus ? 0 : (c.direction & 1)];
    if (c.byte == ':') {
        if (!s.chars.empty()) Close(s, false);
        s.inFrame = true;
    }
    s.chars.push_back(c);
    if (s.inFrame && c.byte == '\n' && s.chars.size() >= 2 && s.chars[s.chars.size() - 2].byte == '\r') {
        Close(s, true);
    } else if (s.chars.size() >= kMaxFrame) {
        Close(s, false);
    }
}

void CModbusAsciiDecoder::Finish()
{
    for (Stream& s : streams) {
        if (!s.chars.empty()) Close(s, false);
    }
}

void CModbusAsciiDecoder::Close(Stream& s, bool ended)
{
    CFrame frame;
    frame.number = nextNumber++;
    frame.protocol = FrameProtocol::ModbusAscii;
    const FrameChar& first = s.chars.front();
    const FrameChar& last = s.chars.back();
    SetFrameSpan(frame, first, last);
    for (const FrameChar& c : s.chars) frame.charError = frame.charError || c.error;
    const bool inFrame = s.inFrame;
    s.inFrame = false;
    if (!inFrame) {
        frame.kind = FrameKind::Noise;
        for (const FrameChar& c : s.chars) frame.bytes.push_back(c.byte);
        s.chars.clear();
        sink(std::move(frame));
        return;
    }
    // The digits between ':' and CR LF (or the end of what came).
    const std::size_t end = ended ? s.chars.size() - 2 : s.chars.size();
    bool digits = end >= 1 && (end - 1) % 2 == 0;
    for (std::size_t i = 1; digits && i + 1 < end; i += 2) {
        const int hi = HexDigit(s.chars[i].byte);
        const int lo = HexDigit(s.chars[i + 1].byte);
        if (hi < 0 || lo < 0) digits = false;
        else frame.bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    s.chars.clear();
    frame.cut = !ended;
    if (!digits || frame.bytes.size() < 3) {
        frame.kind = FrameKind::Noise;
        frame.check = FrameCheck::Bad;
        sink(std::move(frame));
        return;
    }
    const std::size_t n = frame.bytes.size() - 1;
    frame.checkFound = frame.bytes[n];
    frame.checkComputed = modbus::Lrc(frame.bytes.data(), n);
    frame.check = ended && frame.checkFound == frame.checkComputed ? FrameCheck::Good : FrameCheck::Bad;
    // The role whose length rule fits the frame; both (an echo) or none (an
    // unknown function) are settled by the open request.
    const int direction = frame.direction;
    bool fits[2] = {false, false};
    int r = 0;
    for (Role role : {Role::Request, Role::Response}) {
        const int rule = modbus::FrameLength(frame.bytes.data(), n, role);
        fits[r++] = pairing.MayBe(role, direction) && rule > 0 && static_cast<std::size_t>(rule) == n;
    }
    Role role;
    if (fits[0] != fits[1]) role = fits[0] ? Role::Request : Role::Response;
    else if (master == MasterSide::Txd || master == MasterSide::Rxd)
        role = pairing.MayBe(Role::Request, direction) ? Role::Request : Role::Response;
    else role = pairing.Resolve(frame);
    pairing.Place(frame, role);
    sink(std::move(frame));
}
