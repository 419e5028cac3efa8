#include "RecordScript.h"

#include <algorithm>

namespace sim {

ScriptBuilder::ScriptBuilder(const LineFormat& f, Random& r, uint64_t start, uint8_t l,
                             uint32_t errors, uint32_t percent)
    : format(f), random(r), cursor(start), end(start), lines(l), errorOneIn(errors),
      rate(percent == 0 ? 100 : percent)
{
}

void ScriptBuilder::Think(uint32_t minMs, uint32_t maxMs)
{
    const uint64_t ms = random.Range(minMs, maxMs);
    cursor += ms * 1000000ull * 100 / rate;
}

void ScriptBuilder::Send(bool rxd, std::string_view text)
{
    SendBytes(rxd, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void ScriptBuilder::SendBytes(bool rxd, const uint8_t* bytes, std::size_t count)
{
    const uint64_t step = CharNanos();
    for (std::size_t i = 0; i < count; ++i) {
        cursor += step;
        CharAt(cursor, rxd, bytes[i]);
    }
}

void ScriptBuilder::CharAt(uint64_t t, bool rxd, uint8_t c, bool allowError)
{
    uint8_t b0 = static_cast<uint8_t>(0x20 | (rxd ? 0x08 : 0x00));
    if (allowError && errorOneIn != 0 && random.OneIn(errorOneIn)) {
        // A parity error needs a parity bit; a framing error can always happen.
        const bool parityError = format.parity != 0 && (random.Next() & 1) != 0;
        b0 |= parityError ? 0x10 : 0x12;
    }
    Add(t, b0, static_cast<uint8_t>(c & format.DataMask()));
}

void ScriptBuilder::Line(uint8_t bit, bool active)
{
    const uint8_t next = static_cast<uint8_t>(active ? (lines & ~bit) : (lines | bit));
    if (next == lines) return;
    lines = next;
    Add(cursor, static_cast<uint8_t>(0x40 | lines), 0);
}

void ScriptBuilder::ReportLines() { Add(cursor, static_cast<uint8_t>(0x40 | lines), 0); }

void ScriptBuilder::Add(uint64_t t, uint8_t b0, uint8_t b1)
{
    events.push_back(Event{t, b0, b1});
    end = std::max(end, t);
}

std::vector<Event> ScriptBuilder::Take()
{
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.t < b.t; });
    return std::move(events);
}

void Emitter::Emit(const Event& e, const LineFormat& format, std::vector<uint8_t>& out)
{
    const uint64_t ms = e.t / 1000000ull;
    while (ms > tickedMs) {
        const uint64_t d = std::min<uint64_t>(ms - tickedMs, 8192);
        tickedMs += d;
        if (format.reportTicks) {
            const uint32_t code = static_cast<uint32_t>(d) & 0x1FFF; // 8192 travels as 0
            out.push_back(static_cast<uint8_t>(0x80 | (code >> 8)));
            out.push_back(static_cast<uint8_t>(code & 0xFF));
        }
    }
    const uint8_t type = e.b0 >> 5;
    uint8_t b0 = e.b0;
    if (type == 2 && !format.reportStatus) return;
    if (type == 1 && !format.reportErrors) b0 &= static_cast<uint8_t>(~0x12);
    out.push_back(b0);
    out.push_back(e.b1);
}

} // namespace sim
