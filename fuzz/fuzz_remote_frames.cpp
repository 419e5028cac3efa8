// The remote transport's frame decoder takes bytes from the network: any
// input must give frames within their bounds or a broken stream, never a
// crash, and taking the input in pieces must give the same frames.
#include "RemoteFrames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::vector<remote::Frame> Decode(const uint8_t* data, std::size_t size, std::size_t piece, bool& broken)
{
    remote::FrameDecoder decoder;
    std::vector<remote::Frame> frames;
    broken = false;
    for (std::size_t at = 0; at < size; at += piece) {
        decoder.Feed(data + at, std::min(piece, size - at));
        remote::Frame frame;
        remote::FrameDecoder::Result r;
        while ((r = decoder.Next(frame)) == remote::FrameDecoder::Result::Frame) {
            if (frame.payload.size() > remote::kMaxPayload) std::abort();
            if (frame.type == remote::FrameType::Records && frame.payload.size() % 2 != 0) std::abort();
            uint16_t version;
            (void)remote::ReadHello(frame, version);
            remote::FrameType request;
            int32_t result;
            std::string text;
            (void)remote::ReadAnswer(frame, request, result, text);
            frames.push_back(frame);
        }
        if (r == remote::FrameDecoder::Result::Broken) {
            broken = true;
            break;
        }
    }
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    bool brokenWhole = false, brokenPieces = false;
    const auto whole = Decode(data, size, size == 0 ? 1 : size, brokenWhole);
    const auto pieces = Decode(data, size, 3, brokenPieces);
    if (whole.size() != pieces.size() || brokenWhole != brokenPieces) std::abort();
    for (std::size_t i = 0; i < whole.size(); ++i)
        if (whole[i].type != pieces[i].type || whole[i].payload != pieces[i].payload) std::abort();
    // What decodes encodes back to the same bytes.
    std::vector<uint8_t> again;
    for (const auto& f : whole) remote::AppendFrame(again, f.type, f.payload.data(), f.payload.size());
    for (std::size_t i = 0; i < again.size(); ++i)
        if (i >= size || again[i] != data[i]) std::abort();
    return 0;
}
