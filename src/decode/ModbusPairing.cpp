#include "ModbusPairing.h"

#include <algorithm>

bool ModbusPairing::MayBe(modbus::Role role, int direction) const
{
    const bool request = role == modbus::Role::Request;
    switch (master) {
    case MasterSide::Txd: return request == (direction == 0);
    case MasterSide::Rxd: return request == (direction == 1);
    case MasterSide::Auto:
    case MasterSide::Bus: break;
    }
    return true;
}

int ModbusPairing::Answered(const CFrame& frame) const
{
    if (frame.bytes.size() < 2) return -1;
    // The transaction open when the frame began: the last request begun before it.
    int index = -1;
    for (std::size_t i = 0; i < requests.size() && requests[i].firstRecord < frame.firstRecord; ++i)
        index = static_cast<int>(i);
    if (index < 0) return -1;
    const Request& open = requests[static_cast<std::size_t>(index)];
    if (open.answered || open.address != frame.bytes[0] || (frame.bytes[1] & 0x7F) != open.function) return -1;
    // Two wires each way: the answer comes back on the other one.
    if (master != MasterSide::Bus && frame.direction == open.direction) return -1;
    return index;
}

modbus::Role ModbusPairing::Resolve(const CFrame& frame) const
{
    return Answered(frame) >= 0 ? modbus::Role::Response : modbus::Role::Request;
}

void ModbusPairing::Place(CFrame& frame, modbus::Role role)
{
    const uint8_t function = frame.bytes.size() > 1 ? frame.bytes[1] : 0;
    if (role == modbus::Role::Request && !(function & 0x80)) {
        frame.kind = FrameKind::Request;
        // A frame with a bad check may not be what was sent: it opens nothing.
        if (frame.check == FrameCheck::Bad) return;
        Request r;
        r.number = frame.number;
        r.firstRecord = frame.firstRecord;
        r.address = frame.bytes[0];
        r.function = function;
        r.direction = frame.direction;
        r.hasTime = frame.hasTime;
        r.endMs = frame.endMs;
        const auto at = std::upper_bound(requests.begin(), requests.end(), r.firstRecord,
                                         [](uint64_t record, const Request& q) { return record < q.firstRecord; });
        requests.insert(at, r);
        if (requests.size() > kKept) requests.pop_front();
        return;
    }
    frame.kind = (function & 0x80) ? FrameKind::Exception : FrameKind::Response;
    if (frame.check == FrameCheck::Bad) return;
    const int index = Answered(frame);
    if (index < 0) return;
    Request& open = requests[static_cast<std::size_t>(index)];
    frame.requestNumber = open.number;
    if (open.hasTime && frame.hasTime) frame.delayMs = frame.timeMs - open.endMs;
    open.answered = true;
}
