// The frame decoders over a Modbus RTU capture held in memory: 10 million
// stored records of polls (read 10 registers, the answer 2 ms later), fed
// in the capture reader's chunk size as ks-convert feeds them.
// Run: build/bin/ks-bench-decode
#include "CCaptureReader.h"
#include "CFrameFeed.h"
#include "FrameDecoders.h"
#include "ModbusRules.h"

#include "../ModbusRecords.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// Polls and answers with a 2 ms stamp group between them.
std::vector<uint8_t> ModbusRecords(std::size_t records)
{
    std::vector<uint8_t> out;
    out.reserve(2 * records + 256);
    for (unsigned poll = 0; out.size() < 2 * records; ++poll) {
        const auto slave = static_cast<uint8_t>(1 + poll % 16);
        PutRtuFrame(out, {slave, 3, 0, static_cast<uint8_t>(poll), 0, 10}, false);
        for (uint8_t b : {uint8_t{0x80}, uint8_t{0}, uint8_t{0}, uint8_t{2}}) {
            out.push_back(0x80);
            out.push_back(b);
        }
        std::vector<uint8_t> answer = {slave, 3, 20};
        for (int r = 0; r < 10; ++r) {
            answer.push_back(static_cast<uint8_t>(poll >> 8));
            answer.push_back(static_cast<uint8_t>(poll + r));
        }
        PutRtuFrame(out, answer, true);
    }
    out.resize(2 * records);
    return out;
}

void BM_DecodeModbusRtu(benchmark::State& state)
{
    const std::vector<uint8_t> records = ModbusRecords(10'000'000);
    uint64_t frames = 0;
    for (auto _ : state) {
        frames = 0;
        CFrameFeed feed(MakeFrameDecoder({DecodeProtocol::ModbusRtu, MasterSide::Auto},
                                         [&frames](CFrame&&) { ++frames; }));
        for (std::size_t at = 0; at < records.size(); at += CCaptureReader::kChunkBytes)
            feed.AddStoredStream(records.data() + at, std::min(CCaptureReader::kChunkBytes, records.size() - at));
        feed.Finish();
    }
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["records"] = 10e6;
}

} // namespace

BENCHMARK(BM_DecodeModbusRtu)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
