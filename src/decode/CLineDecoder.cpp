#include "CLineDecoder.h"

namespace {

int HexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsAtCommand(const std::vector<uint8_t>& b)
{
    return b.size() >= 2 && (b[0] == 'A' || b[0] == 'a') && (b[1] == 'T' || b[1] == 't');
}

} // namespace

bool NmeaChecksum(const uint8_t* text, std::size_t n, uint8_t& found, uint8_t& computed)
{
    if (n < 4 || (text[0] != '$' && text[0] != '!') || text[n - 3] != '*') return false;
    const int hi = HexDigit(text[n - 2]);
    const int lo = HexDigit(text[n - 1]);
    if (hi < 0 || lo < 0) return false;
    found = static_cast<uint8_t>(hi * 16 + lo);
    computed = 0;
    for (std::size_t i = 1; i < n - 3; ++i) computed ^= text[i];
    return true;
}

CLineDecoder::CLineDecoder(FrameSink sink) : sink(std::move(sink)) {}

void CLineDecoder::Put(const FrameChar& c)
{
    Stream& s = streams[c.direction & 1];
    if (c.byte == '\n' && s.afterCr) {
        s.afterCr = false;
        return;
    }
    s.afterCr = c.byte == '\r';
    if (c.byte == '\r' || c.byte == '\n') {
        Close(s, true);
        return;
    }
    s.chars.push_back(c);
    if (s.chars.size() >= kMaxLine) Close(s, false);
}

void CLineDecoder::Finish()
{
    for (Stream& s : streams) {
        if (!s.chars.empty()) Close(s, false);
        s.afterCr = false;
        s.piece = false;
    }
}

void CLineDecoder::Close(Stream& s, bool ended)
{
    // An empty line (the CR LF before a modem's answer) is no frame.
    if (s.chars.empty()) {
        s.piece = false;
        return;
    }
    CFrame frame;
    frame.number = nextNumber++;
    frame.protocol = FrameProtocol::Line;
    const FrameChar& first = s.chars.front();
    const FrameChar& last = s.chars.back();
    SetFrameSpan(frame, first, last);
    frame.bytes.reserve(s.chars.size());
    for (const FrameChar& c : s.chars) {
        frame.charError = frame.charError || c.error;
        frame.bytes.push_back(c.byte);
    }
    s.chars.clear();
    // A piece is a line cut at kMaxLine; the line's last piece is one too.
    frame.kind = !ended || s.piece ? FrameKind::LinePiece : FrameKind::Line;
    s.piece = !ended;
    uint8_t found = 0, computed = 0;
    if (NmeaChecksum(frame.bytes.data(), frame.bytes.size(), found, computed)) {
        frame.checkFound = found;
        frame.checkComputed = computed;
        frame.check = found == computed ? FrameCheck::Good : FrameCheck::Bad;
    }
    // The other side's lines after a command answer it, its echo of the
    // command included.
    if (command != 0 && frame.direction != commandDirection) {
        frame.requestNumber = command;
        if (frame.hasTime && commandHasTime) frame.delayMs = frame.timeMs - commandEndMs;
        frame.kind = frame.kind == FrameKind::Line ? FrameKind::Response : frame.kind;
    } else if (IsAtCommand(frame.bytes)) {
        command = frame.number;
        commandDirection = frame.direction;
        commandHasTime = frame.hasTime;
        commandEndMs = frame.endMs;
        frame.kind = frame.kind == FrameKind::Line ? FrameKind::Request : frame.kind;
    }
    sink(std::move(frame));
}
