// The frame decoders on arbitrary live records. The first byte chooses the
// protocol (bits 0-1) and the master side (bits 2-3), the second the size of
// the blocks the records are fed in. Besides not crashing: the records fed
// whole and in blocks give the same frames (the state carries across
// blocks), every frame lies within what was fed, a response answers an
// earlier frame, Modbus RTU puts every character into exactly one frame,
// and every text of every frame can be made.
#include "CFrameFeed.h"
#include "FrameDecoders.h"
#include "FrameText.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

std::vector<CFrame> Decode(const DecodeSettings& settings, const uint8_t* data, std::size_t size, std::size_t block)
{
    std::vector<CFrame> frames;
    CFrameFeed feed(MakeFrameDecoder(settings, [&frames](CFrame&& f) { frames.push_back(std::move(f)); }));
    for (std::size_t at = 0; at < size; at += block) {
        const std::size_t n = size - at < block ? size - at : block;
        feed.AddLiveBlock(data + at, n);
    }
    feed.Finish();
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    DecodeSettings settings;
    const DecodeProtocol protocols[] = {DecodeProtocol::ModbusRtu, DecodeProtocol::ModbusAscii, DecodeProtocol::Lines,
                                        DecodeProtocol::ModbusRtu};
    const MasterSide masters[] = {MasterSide::Txd, MasterSide::Rxd, MasterSide::Auto, MasterSide::Bus};
    settings.protocol = protocols[data[0] & 3];
    settings.master = masters[(data[0] >> 2) & 3];
    // Even block sizes: a live block never splits a record.
    const std::size_t block = 2 * (std::size_t{data[1]} + 1);
    const uint8_t* records = data + 2;
    const std::size_t n = (size - 2) & ~std::size_t{1};

    const std::vector<CFrame> whole = Decode(settings, records, n, n + 2);
    const std::vector<CFrame> pieces = Decode(settings, records, n, block);
    Require(whole.size() == pieces.size());
    std::size_t characters = 0;
    for (std::size_t i = 0; i < n; i += 2) characters += (records[i] >> 5) == 1;
    std::size_t framed = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const CFrame& f = whole[i];
        const CFrame& g = pieces[i];
        Require(f.firstRecord == g.firstRecord && f.lastRecord == g.lastRecord && f.bytes == g.bytes &&
                f.kind == g.kind && f.check == g.check && f.requestNumber == g.requestNumber);
        Require(f.number == i + 1);
        Require(f.firstRecord <= f.lastRecord && f.lastRecord < n / 2);
        Require(f.requestNumber < f.number);
        framed += f.bytes.size();
        Require(!FrameListLine(f).empty() && !FrameCsvLine(f).empty());
    }
    if (settings.protocol == DecodeProtocol::ModbusRtu) Require(framed == characters);
    return 0;
}
