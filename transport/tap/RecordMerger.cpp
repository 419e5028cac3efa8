#include "RecordMerger.h"

#include <algorithm>
#include <climits>

namespace tap {

void RecordMerger::Start(int64_t startNs, bool withTicks)
{
    for (auto& q : queues) q.clear();
    held = 0;
    start = startNs;
    lastEmitted = startNs;
    tickedMs = 0;
    ticks = withTicks;
}

void RecordMerger::Add(int source, int64_t t, uint8_t b0, uint8_t b1)
{
    std::deque<Timed>& q = queues[source];
    t = std::max(t, lastEmitted);
    // Within one source the order is the order of arrival, whatever the
    // estimate says.
    if (!q.empty()) t = std::max(t, q.back().t);
    q.push_back(Timed{t, seq++, b0, b1});
    ++held;
}

int64_t RecordMerger::OldestHeld() const
{
    int64_t oldest = INT64_MAX;
    for (const auto& q : queues)
        if (!q.empty()) oldest = std::min(oldest, q.front().t);
    return oldest;
}

void RecordMerger::Emit(int64_t watermark, std::vector<uint8_t>& out)
{
    for (;;) {
        std::deque<Timed>* next = nullptr;
        for (auto& q : queues) {
            if (q.empty()) continue;
            if (!next || q.front().t < next->front().t ||
                (q.front().t == next->front().t && q.front().seq < next->front().seq))
                next = &q;
        }
        if (!next || next->front().t > watermark) return;
        const Timed r = next->front();
        next->pop_front();
        --held;
        lastEmitted = r.t;
        const uint64_t ms = static_cast<uint64_t>(r.t - start) / 1000000u;
        while (ms > tickedMs) {
            const uint64_t d = std::min<uint64_t>(ms - tickedMs, 8192);
            tickedMs += d;
            if (ticks) {
                const uint32_t code = static_cast<uint32_t>(d) & 0x1FFF; // 8192 travels as 0
                out.push_back(static_cast<uint8_t>(0x80 | (code >> 8)));
                out.push_back(static_cast<uint8_t>(code & 0xFF));
            }
        }
        out.push_back(r.b0);
        out.push_back(r.b1);
    }
}

} // namespace tap
