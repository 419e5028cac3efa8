// The device link at the simulated probe's full rate: 230400 baud, both
// directions, 8N1 (46,080 records a second plus ticks), everything the probe
// reports switched on. Counters:
//   link_cpu_pct      CPU of the reader and dispatch threads together, in
//                     percent of one core (target: under 2)
//   reader_cpu_pct, dispatch_cpu_pct   the two threads apart
//   latency_median_ms, latency_p99_ms, latency_max_ms
//                     from the moment a block's last record was due on the
//                     line to the data callback receiving the block (target:
//                     median under 15 ms); this includes the probe's own
//                     batching of up to 4 ms, so it overstates the link's part
//   records_per_s, blocks_per_s
//   lost_or_reordered numbered pairs that did not follow their predecessor
//                     (target: 0)
// Run: build/bin/ks-bench-link (uses build/bin/libCorvane.so).
#include "CUSBCom.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaud = 230400;
constexpr int kFrameBits = 10;

// The process's thread with this name, as a CPU clock.
bool ThreadClock(const std::string& name, clockid_t& clock)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(entry.path() / "comm");
        std::string comm;
        std::getline(in, comm);
        if (comm != name) continue;
        const pid_t tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u); // per-thread scheduler clock
        return true;
    }
    return false;
}

double CpuSeconds(clockid_t clock)
{
    timespec ts{};
    if (::clock_gettime(clock, &ts) != 0) return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Checker {
    Clock::time_point start;
    uint64_t pair = 0;          // next expected pair number
    bool haveTx = false;
    uint8_t txLow = 0;
    uint64_t records = 0;
    uint64_t blocks = 0;
    uint64_t broken = 0;
    std::vector<double> latencyMs;

    void Block(const uint8_t* data, uint32_t count)
    {
        const auto now = Clock::now();
        ++blocks;
        for (uint32_t i = 0; i + 1 < count; i += 2) {
            ++records;
            const uint8_t b0 = data[i], b1 = data[i + 1];
            if (b0 == 0x20) {
                haveTx = true;
                txLow = b1;
            } else if (b0 == 0x28) {
                const uint8_t expectLow = static_cast<uint8_t>(pair & 0xFF);
                const uint8_t expectHigh = static_cast<uint8_t>((pair >> 8) & 0xFF);
                if (!haveTx || txLow != expectLow || b1 != expectHigh) {
                    ++broken;
                    // Resynchronise on what arrived, so one fault counts once.
                    pair = (static_cast<uint64_t>(b1) << 8 | txLow) + (pair & ~0xFFFFull);
                }
                ++pair;
                haveTx = false;
            }
        }
        // The last complete pair of the block was due at (pair) character times.
        const double dueS = static_cast<double>(pair) * kFrameBits / kBaud;
        const double atS = std::chrono::duration<double>(now - start).count();
        latencyMs.push_back((atS - dueS) * 1000.0);
    }
};

struct Session {
    std::mutex mutex;
    Checker checker;
    std::atomic<bool> lost{false};
    clockid_t dispatchClock{};
    std::atomic<bool> haveDispatchClock{false};

    static void Data(const uint8_t* data, uint32_t count, void* user)
    {
        auto* s = static_cast<Session*>(user);
        if (!s->haveDispatchClock.load()) {
            clockid_t c;
            if (::pthread_getcpuclockid(::pthread_self(), &c) == 0) {
                s->dispatchClock = c;
                s->haveDispatchClock = true;
            }
        }
        if (count < 2) return;
        std::lock_guard<std::mutex> lock(s->mutex);
        s->checker.Block(data, count);
    }
    static void Lost(const uint8_t*, uint32_t, void* user) { static_cast<Session*>(user)->lost = true; }
};

void BM_FullRateLink(benchmark::State& state)
{
    ::setenv("KS_SIM_SCENARIO", "full", 1);
    ::setenv("KS_SIM_RATE", "100", 1);
    const double seconds = static_cast<double>(state.range(0));
    for (auto _ : state) {
        Session session;
        CUSBCom link;
        link.SetCallbacks(&Session::Data, &Session::Lost, &session);
        if (!link.Open()) {
            state.SkipWithError("the simulated probe (libCorvane.so beside this program) did not open");
            return;
        }
        const uint8_t block[8] = {18, 0, 0, 0, 0x07, 0, 0, 0}; // 230400 8N1, errors, status, ticks
        link.SetParameters(block, 8);
        clockid_t readerClock{};
        const auto until = Clock::now() + std::chrono::seconds(2);
        while (!ThreadClock("ks-link-reader", readerClock) && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        while (!session.haveDispatchClock && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));

        const double reader0 = CpuSeconds(readerClock);
        const double dispatch0 = CpuSeconds(session.dispatchClock);
        {
            std::lock_guard<std::mutex> lock(session.mutex);
            session.checker.start = Clock::now();
        }
        link.RequestStart();
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double reader1 = CpuSeconds(readerClock);
        const double dispatch1 = CpuSeconds(session.dispatchClock);
        link.RequestStop();
        link.Close();

        std::lock_guard<std::mutex> lock(session.mutex);
        Checker& c = session.checker;
        std::vector<double> lat = c.latencyMs;
        std::sort(lat.begin(), lat.end());
        const auto pct = [&](double p) { return lat.empty() ? 0.0 : lat[static_cast<std::size_t>(p * static_cast<double>(lat.size() - 1))]; };
        state.counters["reader_cpu_pct"] = 100.0 * (reader1 - reader0) / wall;
        state.counters["dispatch_cpu_pct"] = 100.0 * (dispatch1 - dispatch0) / wall;
        state.counters["link_cpu_pct"] = 100.0 * ((reader1 - reader0) + (dispatch1 - dispatch0)) / wall;
        state.counters["latency_median_ms"] = pct(0.5);
        state.counters["latency_p99_ms"] = pct(0.99);
        state.counters["latency_max_ms"] = lat.empty() ? 0.0 : lat.back();
        state.counters["records_per_s"] = static_cast<double>(c.records) / wall;
        state.counters["blocks_per_s"] = static_cast<double>(c.blocks) / wall;
        state.counters["lost_or_reordered"] = static_cast<double>(c.broken);
        if (session.lost) state.SkipWithError("the probe was lost during the run");
    }
}
BENCHMARK(BM_FullRateLink)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
