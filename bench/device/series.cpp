// The auto-save series writer under load, on real files in a folder beside
// this program (removed afterwards).
//
// BM_SeriesFullRate: the simulated probe at its full rate (230400 baud 8N1,
// both directions, errors, control lines and ticks reported; Data, Status and
// Stamp kept), records going through the device link into a series of small
// files with Overwrite. Counters:
//   producer_cpu_pct   CPU spent in the producers on the dispatch thread, in
//                      percent of one core (target: under 1)
//   dispatch_cpu_pct   the whole dispatch thread, for comparison
//   overruns           buffers that filled behind a running write (target: 0)
//   handover_to_written_ms_max   the longest time from a hand-over until its
//                      buffer was on disk (a buffer takes about 4.5 s to fill)
//   records_per_s, files, lost_or_reordered (numbered pairs out of step)
//   rss_start_kb, rss_end_kb   resident size after the first second and at the end
//
// BM_SeriesHundredTimes: a producer thread standing in for a probe that sends
// 100 times the full rate (4.6 million records a second), in 2048-byte blocks
// as the link delivers them, paced to that rate. Counters:
//   overruns           (target: 0)
//   write_ms_median, write_ms_max   one buffer write
//   handover_to_written_ms_max      the longest time from a hand-over until
//                      its buffer was on disk (waking the writer included)
//   buffer_fill_ms     how long one buffer takes to fill at that rate: an
//                      overrun needs a hand-over slower than this
//   mb_per_s           what reached the disk
//   rss_start_kb, rss_end_kb
//
// BM_WritingCostAtFullRate/0 (one file, as ks-capture --output) and /1 (a
// series of two-buffer files): a producer thread paced to the full rate
// (46,080 records a second) in 2048-byte blocks, with everything a
// recording does to survive a hard stop (the filling buffer written every
// half second, fdatasync every 4 s and at every change of file). Counters:
//   writing_cpu_pct    the CPU of the producers (AddBlock) and of the writer
//                      thread together, in percent of one core (target:
//                      under 0.5); the pacing and the making of the records
//                      are left out
//   records_per_s, mb_written, files
// Run: build/bin/ks-bench-series [--benchmark_filter=...]. KS_BENCH_SECONDS
// sets the length of each run (default 30 and 20 s).
#include "CDisplayMode.h"
#include "CSeriesWriter.h"
#include "CUSBCom.h"
#include "SeriesNames.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>

namespace {

using Clock = std::chrono::steady_clock;

long RssKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

double ThreadCpuSeconds()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double CpuSeconds(clockid_t clock)
{
    timespec ts{};
    if (::clock_gettime(clock, &ts) != 0) return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double Seconds(double fallback)
{
    const char* s = std::getenv("KS_BENCH_SECONDS");
    return s ? std::max(1.0, std::atof(s)) : fallback;
}

SeriesConfig Config(const std::string& base, bool status, bool stamp)
{
    SeriesConfig c;
    c.baseName = base;
    c.buffersPerFile = 2;
    c.maxFileNumber = 3;
    c.overwrite = true;
    c.status = status;
    c.stamp = stamp;
    CDisplayMode mode;
    mode.Status = status;
    mode.Stamp = stamp;
    mode.BuildHeader(c.header);
    return c;
}

// Times every buffer write.
class TimedWriter : public CSeriesWriter {
public:
    ~TimedWriter() override
    {
        int error = 0;
        Stop(error);
    }
    std::vector<double> WriteMs()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return writes;
    }

protected:
    bool WriteBuffer(CSeriesFile& file, std::size_t from, const uint8_t* data, std::size_t size) override
    {
        const auto t0 = Clock::now();
        const bool ok = CSeriesWriter::WriteBuffer(file, from, data, size);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        std::lock_guard<std::mutex> guard(mutex);
        writes.push_back(ms);
        return ok;
    }

private:
    std::mutex mutex;
    std::vector<double> writes;
};

struct FullRateSession {
    CSeriesWriter* writer = nullptr;
    std::atomic<double> producerCpu{0};
    std::atomic<bool> counting{false};
    std::atomic<uint64_t> records{0};
    std::atomic<bool> haveClock{false};
    clockid_t dispatchClock{};
    uint64_t pair = 0, broken = 0;
    bool haveTx = false;
    uint8_t txLow = 0;

    static void Data(const uint8_t* data, uint32_t count, void* user)
    {
        auto* s = static_cast<FullRateSession*>(user);
        if (!s->haveClock) {
            clockid_t c;
            if (::pthread_getcpuclockid(::pthread_self(), &c) == 0) {
                s->dispatchClock = c;
                s->haveClock = true;
            }
        }
        if (count < 2) return;
        const double t0 = ThreadCpuSeconds();
        s->writer->AddBlock(data, count, static_cast<uint32_t>(std::time(nullptr)));
        const double spent = ThreadCpuSeconds() - t0;
        if (s->counting) s->producerCpu = s->producerCpu + spent;
        if (s->counting) s->records += count / 2;
        // The numbering, outside the measured part.
        for (uint32_t i = 0; i + 1 < count; i += 2) {
            if (data[i] == 0x20) {
                s->haveTx = true;
                s->txLow = data[i + 1];
            } else if (data[i] == 0x28) {
                if (!s->haveTx || s->txLow != (s->pair & 0xFF) || data[i + 1] != ((s->pair >> 8) & 0xFF)) ++s->broken;
                ++s->pair;
                s->haveTx = false;
            }
        }
    }
    static void Lost(const uint8_t*, uint32_t, void*) {}
};

void BM_SeriesFullRate(benchmark::State& state)
{
    ::setenv("KS_SIM_SCENARIO", "full", 1);
    ::setenv("KS_SIM_RATE", "100", 1);
    const double seconds = Seconds(30);
    for (auto _ : state) {
        QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/bench-series-XXXXXX"));
        CSeriesWriter writer;
        FullRateSession session;
        session.writer = &writer;
        int error = 0;
        if (!writer.Start(Config(dir.filePath(QStringLiteral("full")).toStdString(), true, true), error)) {
            state.SkipWithError("the series could not be started");
            return;
        }
        CUSBCom link;
        link.SetCallbacks(&FullRateSession::Data, &FullRateSession::Lost, &session);
        if (!link.Open()) {
            state.SkipWithError("the simulated probe (libCorvane.so beside this program) did not open");
            return;
        }
        const uint8_t block[8] = {18, 0, 0, 0, 0x07, 0, 0, 0}; // 230400 8N1, errors, status, ticks
        link.SetParameters(block, 8);
        link.RequestStart();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const long rssStart = RssKb();
        const double dispatch0 = session.haveClock ? CpuSeconds(session.dispatchClock) : 0;
        session.counting = true;
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        session.counting = false;
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double dispatch1 = session.haveClock ? CpuSeconds(session.dispatchClock) : 0;
        const long rssEnd = RssKb();
        link.RequestStop();
        link.Close();
        writer.Stop(error);
        const CSeriesWriter::Stats stats = writer.GetStats();
        state.counters["producer_cpu_pct"] = 100.0 * session.producerCpu / wall;
        state.counters["dispatch_cpu_pct"] = 100.0 * (dispatch1 - dispatch0) / wall;
        state.counters["overruns"] = stats.end == SeriesEnd::Overrun ? 1 : 0;
        state.counters["records_per_s"] = static_cast<double>(session.records) / wall;
        state.counters["files"] = stats.filesCreated;
        state.counters["handover_to_written_ms_max"] = stats.longestHandOverMs;
        state.counters["lost_or_reordered"] = static_cast<double>(session.broken);
        state.counters["rss_start_kb"] = static_cast<double>(rssStart);
        state.counters["rss_end_kb"] = static_cast<double>(rssEnd);
    }
}
BENCHMARK(BM_SeriesFullRate)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_SeriesHundredTimes(benchmark::State& state)
{
    const double seconds = Seconds(20);
    // 230400 baud 8N1: 23,040 pairs (46,080 records) a second; 100 times that.
    constexpr double kRecordsPerSecond = 46080.0 * 100;
    constexpr std::size_t kBlock = 2048;
    for (auto _ : state) {
        QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/bench-series-XXXXXX"));
        TimedWriter writer;
        int error = 0;
        if (!writer.Start(Config(dir.filePath(QStringLiteral("fast")).toStdString(), false, false), error)) {
            state.SkipWithError("the series could not be started");
            return;
        }
        std::vector<uint8_t> block(kBlock);
        uint64_t pair = 0, records = 0;
        long rssStart = 0;
        const auto t0 = Clock::now();
        while (true) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
            if (elapsed >= seconds || !writer.IsRecording()) break;
            if (rssStart == 0 && elapsed >= 1.0) rssStart = RssKb();
            const double due = static_cast<double>(records) / kRecordsPerSecond;
            if (due > elapsed) {
                std::this_thread::sleep_for(std::chrono::duration<double>(due - elapsed));
                continue;
            }
            for (std::size_t i = 0; i < kBlock; i += 4, ++pair) {
                block[i] = 0x20;
                block[i + 1] = static_cast<uint8_t>(pair & 0xFF);
                block[i + 2] = 0x28;
                block[i + 3] = static_cast<uint8_t>((pair >> 8) & 0xFF);
            }
            writer.AddBlock(block.data(), block.size(), static_cast<uint32_t>(std::time(nullptr)));
            records += kBlock / 2;
        }
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const long rssEnd = RssKb();
        writer.Stop(error);
        const CSeriesWriter::Stats stats = writer.GetStats();
        std::vector<double> writes = writer.WriteMs();
        std::sort(writes.begin(), writes.end());
        state.counters["overruns"] = stats.end == SeriesEnd::Overrun ? 1 : 0;
        state.counters["records_per_s"] = static_cast<double>(records) / wall;
        state.counters["mb_per_s"] = static_cast<double>(stats.recordBytes) / wall / 1e6;
        state.counters["buffers"] = static_cast<double>(writes.size());
        state.counters["write_ms_median"] = writes.empty() ? 0 : writes[writes.size() / 2];
        state.counters["write_ms_max"] = writes.empty() ? 0 : writes.back();
        state.counters["buffer_fill_ms"] = 1000.0 * SeriesLimits::kAppendLimit / 2 / kRecordsPerSecond;
        state.counters["handover_to_written_ms_max"] = stats.longestHandOverMs;
        state.counters["rss_start_kb"] = static_cast<double>(rssStart);
        state.counters["rss_end_kb"] = static_cast<double>(rssEnd);
    }
}
BENCHMARK(BM_SeriesHundredTimes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_WritingCostAtFullRate(benchmark::State& state)
{
    const bool series = state.range(0) != 0;
    const double seconds = Seconds(20);
    constexpr double kRecordsPerSecond = 46080.0;
    constexpr std::size_t kBlock = 2048;
    for (auto _ : state) {
        QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/bench-series-XXXXXX"));
        CSeriesWriter writer;
        SeriesConfig config = Config(dir.filePath(QStringLiteral("cost")).toStdString(), false, false);
        if (!series) {
            config.singleFile = dir.filePath(QStringLiteral("cost.ksf")).toStdString();
            config.buffersPerFile = 1 << 30;
            config.maxFileNumber = 1;
        }
        SeriesLimits limits;
        limits.diskFreeThreshold = 0;
        int error = 0;
        if (!writer.Start(config, limits, error)) {
            state.SkipWithError("the recording could not be started");
            return;
        }
        std::vector<uint8_t> block(kBlock);
        uint64_t k = 0, records = 0;
        double addBlockCpu = 0;
        const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double thread0 = ThreadCpuSeconds();
        const auto t0 = Clock::now();
        while (true) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
            if (elapsed >= seconds || !writer.IsRecording()) break;
            const double due = static_cast<double>(records) / kRecordsPerSecond;
            if (due > elapsed) {
                std::this_thread::sleep_for(std::chrono::duration<double>(due - elapsed));
                continue;
            }
            for (std::size_t i = 0; i < kBlock; i += 2, ++k) {
                block[i] = static_cast<uint8_t>(0x20 | ((k >> 8) & 0x1F));
                block[i + 1] = static_cast<uint8_t>(k & 0xFF);
            }
            const double a0 = ThreadCpuSeconds();
            writer.AddBlock(block.data(), block.size(), static_cast<uint32_t>(std::time(nullptr)));
            addBlockCpu += ThreadCpuSeconds() - a0;
            records += kBlock / 2;
        }
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        // Everything the process spent, less what the producer thread spent
        // on anything but AddBlock.
        const double producerOther = (ThreadCpuSeconds() - thread0) - addBlockCpu;
        const double writing = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0 - producerOther;
        writer.Stop(error);
        const CSeriesWriter::Stats stats = writer.GetStats();
        state.counters["writing_cpu_pct"] = 100.0 * writing / wall;
        state.counters["records_per_s"] = static_cast<double>(records) / wall;
        state.counters["mb_written"] = static_cast<double>(stats.recordBytes) / 1e6;
        state.counters["files"] = stats.filesCreated;
    }
}
BENCHMARK(BM_WritingCostAtFullRate)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the program directory, where the transport lives
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
