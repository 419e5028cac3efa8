// Line store benchmarks: appending live records, loading and saving a
// 10-million-record capture, opening a 100-million-record one the way the
// window does (in pieces), and the memory a stored record costs.
#include "CCaptureReader.h"
#include "CDisplayMode.h"
#include "CLines.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

CDisplayMode LiveMode()
{
    CDisplayMode mode;
    mode.Status = mode.Stamp = 1;
    mode.cxChar = 10;
    mode.cyChar = 19;
    mode.cxLine = 770;
    return mode;
}

// Probe-like traffic: mostly characters in both directions, a status change
// now and then, ticks between bursts.
std::vector<uint8_t> MixedBlock(std::size_t records, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> block;
    block.reserve(records * 2);
    uint8_t status = 0x5F;
    for (std::size_t i = 0; i < records; ++i) {
        const unsigned r = rng() % 100;
        if (r < 90) {
            block.push_back(static_cast<uint8_t>(0x20 | (r % 2 ? 0x08 : 0)));
            block.push_back(static_cast<uint8_t>(rng()));
        } else if (r < 95) {
            status = static_cast<uint8_t>(0x40 | (status ^ (1u << (rng() % 5))));
            block.push_back(status);
            block.push_back(0);
        } else {
            block.push_back(static_cast<uint8_t>(0x80 | (rng() % 4)));
            block.push_back(static_cast<uint8_t>(rng()));
        }
    }
    return block;
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        std::getline(status, key);
    }
    return 0;
}

void BM_AppendLive(benchmark::State& state)
{
    const CDisplayMode mode = LiveMode();
    const std::vector<uint8_t> block = MixedBlock(1024, 1);
    CLines lines;
    std::size_t records = 0;
    for (auto _ : state) {
        lines.AddLiveBlock(block.data(), block.size(), 1700000000, mode);
        records += block.size() / 2;
        // A capture keeps its newest lines: trim as the document does.
        lines.TrimOldest();
    }
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendLive);

constexpr std::size_t kFileRecords = 10'000'000;

std::string MakeFile(const QTemporaryDir& dir)
{
    const std::string path = dir.filePath(QStringLiteral("big.ksf")).toStdString();
    std::string header;
    CDisplayMode mode = LiveMode();
    mode.BuildHeader(header);
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    // Data characters only: the memory figure is per data-character record.
    std::vector<uint8_t> body(kFileRecords * 2);
    for (std::size_t i = 0; i < kFileRecords; ++i) {
        body[2 * i] = static_cast<uint8_t>(0x20 | (i % 3 == 0 ? 0x08 : 0));
        body[2 * i + 1] = static_cast<uint8_t>(i);
    }
    out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
    return path;
}

void BM_OpenTenMillionRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string path = MakeFile(dir);
    const CDisplayMode mode = LiveMode();
    for (auto _ : state) {
        CLines lines;
        const long before = ResidentKiB();
        const bool ok = lines.OpenCaptureBody(path, mode);
        const long after = ResidentKiB();
        if (!ok) state.SkipWithError("open failed");
        state.counters["lines"] = lines.GetLineCount();
        state.counters["bytes/record"] = static_cast<double>(after - before) * 1024.0 / kFileRecords;
        state.PauseTiming();
        lines.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenTenMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveTenMillionRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string path = MakeFile(dir);
    const CDisplayMode mode = LiveMode();
    CLines lines;
    lines.OpenCaptureBody(path, mode);
    const std::string out = dir.filePath(QStringLiteral("saved.ksf")).toStdString();
    for (auto _ : state) {
        if (!mode.WriteHeader(out) || !lines.SaveCaptureBody(out)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveTenMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

// Memory measured once on a fresh process heap: the figure the target names.
void BM_MemoryPerDataRecord(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string path = MakeFile(dir);
    const CDisplayMode mode = LiveMode();
    for (auto _ : state) {
        const long before = ResidentKiB();
        auto* lines = new CLines;
        lines->OpenCaptureBody(path, mode);
        const long after = ResidentKiB();
        state.counters["rss bytes/record"] = static_cast<double>(after - before) * 1024.0 / kFileRecords;
        state.PauseTiming();
        delete lines;
        state.ResumeTiming();
    }
}
// 100 million records of probe-like traffic (200 MB), opened in pieces as
// the window's Open does: the time, and the resident memory at its peak.
void BM_OpenHundredMillionRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("huge.ksf")).toStdString();
    {
        std::string header;
        LiveMode().BuildHeader(header);
        std::ofstream out(path, std::ios::binary);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        for (unsigned part = 0; part < 100; ++part) {
            const std::vector<uint8_t> block = MixedBlock(1'000'000, part);
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        }
    }
    for (auto _ : state) {
        const long before = ResidentKiB();
        auto lines = std::make_unique<CLines>();
        CCaptureReader reader;
        CDisplayMode mode = LiveMode();
        if (reader.Open(path) != CCaptureReader::Result::Ok) state.SkipWithError("open failed");
        while (reader.DecodeNext(*lines, mode)) {
        }
        if (!reader.AtEnd() || reader.Failed()) state.SkipWithError("read failed");
        state.counters["resident MB"] = static_cast<double>(ResidentKiB() - before) / 1024.0;
        state.counters["lines"] = lines->GetLineCount();
        state.PauseTiming();
        lines.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenHundredMillionRecords)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK(BM_MemoryPerDataRecord)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
