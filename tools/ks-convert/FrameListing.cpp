#include "FrameListing.h"

#include "OutputSink.h"

#include "CCaptureReader.h"
#include "CDisplayMode.h"
#include "CFrameFeed.h"
#include "FrameDecoders.h"
#include "FrameText.h"

namespace {

struct FrameCounts {
    long long frames = 0;
    long long requests = 0;
    long long responses = 0;
    long long exceptions = 0;
    long long badChecks = 0;
    long long errors = 0;
};

void Count(const CFrame& frame, FrameCounts& counts)
{
    ++counts.frames;
    if (frame.kind == FrameKind::Request) ++counts.requests;
    if (frame.kind == FrameKind::Response) ++counts.responses;
    if (frame.kind == FrameKind::Exception) ++counts.exceptions;
    if (frame.check == FrameCheck::Bad || frame.kind == FrameKind::Noise) ++counts.badChecks;
    if (frame.charError) ++counts.errors;
}

} // namespace

ConvertOutcome WriteFrames(const std::string& path, const DecodeSettings& settings, FrameOutput output,
                           OutputSink& out)
{
    ConvertOutcome outcome;
    CCaptureReader reader;
    switch (reader.Open(path)) {
    case CCaptureReader::Result::TypeError: outcome.result = LoadResult::TypeError; break;
    case CCaptureReader::Result::OpenFailed: outcome.result = LoadResult::OpenFailed; break;
    case CCaptureReader::Result::Ok: break;
    }
    CDisplayMode mode;
    if (outcome.result == LoadResult::Ok && !reader.ParseHeader(mode)) outcome.result = LoadResult::OpenFailed;
    if (outcome.result != LoadResult::Ok) {
        outcome.error = LoadErrorText(outcome.result);
        return outcome;
    }
    FrameCounts counts;
    auto decoder = MakeFrameDecoder(settings, [&counts, &out, output](CFrame&& frame) {
        Count(frame, counts);
        if (output == FrameOutput::List) out.Line(FrameListLine(frame));
        else if (output == FrameOutput::Csv) out.Line(FrameCsvLine(frame));
    });
    if (!decoder) return outcome;
    CFrameFeed feed(std::move(decoder), mode.Stamp != 0);
    if (output == FrameOutput::Csv) out.Line(FrameCsvHeader());
    const bool old = reader.IsOldType();
    while (reader.ReadNext([&feed, old](const uint8_t* data, std::size_t size) {
        if (old) feed.AddOldStream(data, size);
        else feed.AddStoredStream(data, size);
    })) {
    }
    feed.Finish();
    if (reader.Failed()) {
        outcome.result = LoadResult::OpenFailed;
        outcome.error = LoadErrorText(LoadResult::OpenFailed);
        return outcome;
    }
    if (output == FrameOutput::Count) {
        out.Line("frames " + std::to_string(counts.frames));
        out.Line("requests " + std::to_string(counts.requests));
        out.Line("responses " + std::to_string(counts.responses));
        out.Line("exceptions " + std::to_string(counts.exceptions));
        out.Line("bad checks " + std::to_string(counts.badChecks));
        out.Line("character errors " + std::to_string(counts.errors));
    }
    outcome.matches = counts.frames;
    return outcome;
}
