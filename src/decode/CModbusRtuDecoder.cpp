#include "CModbusRtuDecoder.h"

#include <algorithm>

using modbus::Role;

namespace {
// Address, function and CRC.
constexpr std::size_t kMinFrame = 4;
} // namespace

CModbusRtuDecoder::CModbusRtuDecoder(MasterSide master, FrameSink sink)
    : master(master), sink(std::move(sink)), pairing(master)
{
}

void CModbusRtuDecoder::Put(const FrameChar& c)
{
    // On a one-port bus both sides arrive on one direction: one stream.
    Stream& s = streams[master == MasterSide::Bus ? 0 : (c.direction & 1)];
    s.chars.push_back(c);
    s.bytes.push_back(c.byte);
    if (s.chars.size() >= s.decideAt) Scan(s, false);
}

void CModbusRtuDecoder::Finish()
{
    for (Stream& s : streams) Flush(s);
}

void CModbusRtuDecoder::Flush(Stream& s)
{
    Scan(s, true);
    // What is left made no frame: too short for one.
    if (s.head < s.chars.size()) {
        s.skipped += s.chars.size() - s.head;
        s.head = s.chars.size();
    }
    EmitSkipped(s);
    s.chars.clear();
    s.bytes.clear();
    s.head = 0;
    s.decideAt = 0;
    s.rescueAt = kFirstRescue;
    s.runningLength = 0;
    s.runningCrc = 0xFFFF;
    s.rescueFrom = 0;
}

void CModbusRtuDecoder::FlushQuiet(Stream& s, uint64_t record)
{
    if (flushing || s.head >= s.chars.size() || s.chars.back().record >= record) return;
    flushing = true;
    Flush(s);
    flushing = false;
}

CModbusRtuDecoder::Try CModbusRtuDecoder::TryRole(Stream& s, int rule, bool final, std::size_t& length)
{
    const std::size_t have = s.bytes.size() - s.head;
    const uint8_t* b = s.bytes.data() + s.head;
    length = have + 1;
    if (rule == modbus::kNeedMore) return final ? Try::Fail : Try::Wait;
    if (rule == modbus::kNoRule) {
        // Up to the first CRC that holds, carried on from the last call.
        const std::size_t limit = std::min(have, kMaxFrame);
        while (s.runningLength < limit) {
            s.runningCrc = modbus::Crc16Step(s.runningCrc, b[s.runningLength]);
            ++s.runningLength;
            if (s.runningLength >= kMinFrame && s.runningCrc == 0) {
                length = s.runningLength;
                return Try::Found;
            }
        }
        return have < kMaxFrame && !final ? Try::Wait : Try::Fail;
    }
    const std::size_t total = static_cast<std::size_t>(rule) + 2;
    if (total > kMaxFrame) return Try::Fail;
    length = total;
    if (have < total) return final ? Try::Fail : Try::Wait;
    if (modbus::Crc16(b, total) != 0) return Try::Fail;
    length = total;
    return Try::Found;
}

CModbusRtuDecoder::Try CModbusRtuDecoder::TryAt(Stream& s, bool final, std::size_t& length, Role& role,
                                                bool& ambiguous)
{
    // No frame starts with an address beyond 247 or with function 0.
    if (s.bytes[s.head] > 247 || (s.bytes[s.head + 1] & 0x7F) == 0) return Try::Fail;
    const int direction = s.chars[s.head].direction;
    bool wait = false;
    s.waitKnown = false;
    std::size_t waitFor = kMaxFrame;
    std::size_t found[2] = {0, 0};
    bool fits[2] = {false, false};
    const Role roles[2] = {Role::Request, Role::Response};
    // A function without a length rule has the same search in both roles.
    bool searched = false;
    for (int r = 0; r < 2; ++r) {
        if (!pairing.MayBe(roles[r], direction)) continue;
        const int rule = modbus::FrameLength(s.bytes.data() + s.head, s.bytes.size() - s.head, roles[r]);
        if (rule == modbus::kNoRule) {
            if (searched) {
                fits[r] = fits[1 - r];
                found[r] = found[1 - r];
                continue;
            }
            searched = true;
        }
        switch (TryRole(s, rule, final, found[r])) {
        case Try::Found: fits[r] = true; break;
        case Try::Wait:
            wait = true;
            waitFor = std::min(waitFor, found[r]);
            if (rule != modbus::kNoRule) s.waitKnown = true;
            break;
        case Try::Fail: break;
        }
    }
    ambiguous = false;
    if (fits[0] && fits[1] && found[0] == found[1]) {
        ambiguous = true;
        length = found[0];
        return Try::Found;
    }
    if (fits[0] || fits[1]) {
        // Both hold with different lengths: the shorter one ends first.
        const int r = fits[0] && fits[1] ? (found[0] < found[1] ? 0 : 1) : fits[0] ? 0 : 1;
        role = roles[r];
        length = found[r];
        return Try::Found;
    }
    length = waitFor;
    return wait ? Try::Wait : Try::Fail;
}

void CModbusRtuDecoder::Scan(Stream& s, bool final)
{
    while (s.chars.size() - s.head >= kMinFrame) {
        std::size_t length = 0;
        Role role = Role::Request;
        bool ambiguous = false;
        const Try t = TryAt(s, final, length, role, ambiguous);
        if (t == Try::Wait) {
            const std::size_t waiting = s.chars.size() - s.head;
            if (!s.waitKnown && waiting >= s.rescueAt) {
                if (Rescue(s)) continue;
                s.rescueAt = waiting + kRescueStep;
            }
            s.decideAt = s.head + std::min(length, s.rescueAt);
            return;
        }
        if (t == Try::Found) {
            if (master != MasterSide::Bus) FlushQuiet(&s == &streams[0] ? streams[1] : streams[0], s.chars[s.head].record);
            EmitSkipped(s);
            Emit(s, s.head, length, role, true, true, ambiguous);
            Advance(s, length);
            continue;
        }
        ++s.skipped;
        Advance(s, 1);
        if (s.skipped >= kMaxFrame) EmitSkipped(s);
    }
}

bool CModbusRtuDecoder::Rescue(Stream& s)
{
    const std::size_t size = s.bytes.size();
    const uint8_t* b = s.bytes.data();
    // A place is decided once its rule and, for a rule, all of the frame it
    // asks for are there: what it gives cannot change with more characters.
    bool decidedSoFar = true;
    for (std::size_t q = std::max(s.head + 1, s.rescueFrom); q + kMinFrame <= size; ++q) {
        bool open = false;
        if (b[q] <= 247 && (b[q + 1] & 0x7F) != 0) {
            for (Role role : {Role::Request, Role::Response}) {
                if (!pairing.MayBe(role, s.chars[q].direction)) continue;
                const int rule = modbus::FrameLength(b + q, size - q, role);
                if (rule == modbus::kNeedMore) open = true;
                if (rule <= 0) continue;
                const std::size_t total = static_cast<std::size_t>(rule) + 2;
                if (total > kMaxFrame) continue;
                if (total > size - q) {
                    open = true;
                    continue;
                }
                if (modbus::Crc16(b + q, total) != 0) continue;
                s.skipped += q - s.head;
                Advance(s, q - s.head);
                return true;
            }
        }
        decidedSoFar = decidedSoFar && !open;
        if (decidedSoFar) s.rescueFrom = q + 1;
    }
    return false;
}

void CModbusRtuDecoder::Advance(Stream& s, std::size_t count)
{
    s.rescueAt = kFirstRescue;
    s.head += count;
    s.decideAt = 0;
    s.runningCrc = 0xFFFF;
    s.runningLength = 0;
    // Drop what is decided once it outweighs what waits.
    const std::size_t keep = s.skipped;
    if (s.head - keep > 4096 && s.head - keep > s.chars.size() - s.head) {
        const auto drop = static_cast<std::ptrdiff_t>(s.head - keep);
        s.chars.erase(s.chars.begin(), s.chars.begin() + drop);
        s.bytes.erase(s.bytes.begin(), s.bytes.begin() + drop);
        s.head = keep;
        s.rescueFrom = s.rescueFrom > static_cast<std::size_t>(drop) ? s.rescueFrom - static_cast<std::size_t>(drop) : 0;
    }
}

void CModbusRtuDecoder::EmitSkipped(Stream& s)
{
    if (s.skipped == 0) return;
    const std::size_t begin = s.head - s.skipped;
    const std::size_t count = s.skipped;
    s.skipped = 0;
    // A frame whose length fits but whose CRC failed (a corrupted character)
    // is shown as the frame it was meant to be, with its check wrong.
    const uint8_t* b = s.bytes.data() + begin;
    const int direction = s.chars[begin].direction;
    for (Role role : {Role::Request, Role::Response}) {
        if (!pairing.MayBe(role, direction) || count < kMinFrame) continue;
        const int rule = modbus::FrameLength(b, count, role);
        if (rule > 0 && static_cast<std::size_t>(rule) + 2 == count) {
            Emit(s, begin, count, role, false, true);
            return;
        }
    }
    Emit(s, begin, count, Role::Request, false, false);
}

void CModbusRtuDecoder::Emit(Stream& s, std::size_t begin, std::size_t count, Role role, bool checkGood, bool known,
                             bool ambiguous)
{
    CFrame frame;
    frame.number = nextNumber++;
    frame.protocol = FrameProtocol::ModbusRtu;
    const FrameChar& first = s.chars[begin];
    const FrameChar& last = s.chars[begin + count - 1];
    SetFrameSpan(frame, first, last);
    for (std::size_t i = begin; i < begin + count; ++i) frame.charError = frame.charError || s.chars[i].error;
    frame.bytes.assign(s.bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                       s.bytes.begin() + static_cast<std::ptrdiff_t>(begin + count));
    if (count >= kMinFrame) {
        frame.checkFound = static_cast<uint16_t>(frame.bytes[count - 2] | (frame.bytes[count - 1] << 8));
        frame.checkComputed = modbus::Crc16(frame.bytes.data(), count - 2);
        frame.check = checkGood ? FrameCheck::Good : FrameCheck::Bad;
    }
    if (!known) {
        frame.kind = FrameKind::Noise;
        frame.check = count >= kMinFrame ? FrameCheck::Bad : FrameCheck::None;
        sink(std::move(frame));
        return;
    }
    if (ambiguous) role = pairing.Resolve(frame);
    pairing.Place(frame, role);
    sink(std::move(frame));
}
