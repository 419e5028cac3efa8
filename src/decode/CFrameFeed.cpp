#include "CFrameFeed.h"

#include "DeviceRecord.h"

CFrameFeed::CFrameFeed(std::unique_ptr<IFrameDecoder> decoder, bool stamps)
    : decoder(std::move(decoder)), hasTime(stamps)
{
}

void CFrameFeed::Data(uint8_t byte, uint8_t b0)
{
    FrameChar c;
    c.byte = byte;
    c.direction = (b0 & rec::kRxd) ? 1 : 0;
    c.error = (b0 & rec::kError) != 0;
    c.hasTime = hasTime;
    c.timeMs = elapsedMs;
    c.record = record;
    c.index = characters++;
    decoder->Put(c);
}

void CFrameFeed::Elapse(uint32_t ms)
{
    hasTime = true;
    elapsedMs += ms;
}

void CFrameFeed::AddLiveBlock(const uint8_t* data, std::size_t size)
{
    if (data == nullptr) return;
    for (std::size_t i = 0; i + 1 < size; i += 2, ++record) {
        const uint8_t b0 = data[i];
        switch (rec::Type(b0)) {
        case rec::kTypeData: Data(data[i + 1], b0); break;
        case rec::kTypeTick: Elapse(rec::TickMilliseconds(b0, data[i + 1])); break;
        default: break;
        }
    }
}

namespace {

// Reads up to `count` group bytes from the records after `i` accepted by
// `belongs`, as the line store's decoders do: the first other record ends the
// group and is used up with it. Returns the value the bytes make, big-endian.
template <typename Belongs>
uint32_t ReadGroup(const uint8_t* data, std::size_t records, std::size_t& i, int count, uint32_t value,
                   Belongs belongs)
{
    for (int k = 0; k < count && i < records; ++k) {
        const uint8_t b0 = data[2 * i];
        const uint8_t b1 = data[2 * i + 1];
        ++i;
        if (!belongs(b0)) break;
        value = (value << 8) | b1;
    }
    return value;
}

} // namespace

void CFrameFeed::AddStoredStream(const uint8_t* data, std::size_t size)
{
    if (data == nullptr) return;
    const std::size_t records = size / 2;
    for (std::size_t i = 0; i < records;) {
        const std::size_t at = i;
        const uint8_t b0 = data[2 * i];
        const uint8_t b1 = data[2 * i + 1];
        ++i;
        switch (rec::Type(b0)) {
        case rec::kTypeData:
            Data(b1, b0);
            break;
        case rec::kTypeTick: {
            const uint32_t ms = ReadGroup(data, records, i, 3, b1, [](uint8_t b) { return b == rec::kStampValue; });
            if (i < records && data[2 * i] == rec::kStampTime)
                ReadGroup(data, records, i, 4, 0, [](uint8_t b) { return b == rec::kStampTime; });
            Elapse(ms);
            break;
        }
        case rec::kTypeDateTime:
            ReadGroup(data, records, i, 3, b1, [](uint8_t b) { return b == rec::kDateTime; });
            break;
        default: break;
        }
        record += i - at;
    }
}

void CFrameFeed::AddOldStream(const uint8_t* data, std::size_t size)
{
    if (data == nullptr) return;
    const std::size_t records = size / 2;
    for (std::size_t i = 0; i < records;) {
        const std::size_t at = i;
        const uint8_t b0 = data[2 * i];
        const uint8_t b1 = data[2 * i + 1];
        ++i;
        switch (rec::Type(b0)) {
        case 1: Data(b1, 0x20); break;
        case 2: Data(b1, 0x28); break;
        case 7: Data(b1, static_cast<uint8_t>(0x30 | (b0 & 0x0F))); break;
        case 4:
            // The tick count in 10 ms, used by the time group that follows.
            oldCount = ReadGroup(data, records, i, 2, 0, [](uint8_t b) { return (b & 0xE0) == 0x80; }) & 0x1FFF;
            break;
        case 5:
            ReadGroup(data, records, i, 3, b1, [](uint8_t b) { return (b & 0xE0) == 0xA0; });
            Elapse(10 * oldCount);
            oldCount = 0;
            break;
        default: break;
        }
        record += i - at;
    }
}

void CFrameFeed::Finish() { decoder->Finish(); }
