// The serial tap beside jpnevulator, both reading the same two
// pseudo-terminals fed with the same traffic at 230400 baud (8N1, 43.4 us a
// character) in both directions. The feeder writes each character at its
// time on a schedule; the order of those writes is the truth.
//
// Traffic (the benchmark's argument):
//   0 duplex    both directions back to back at the full rate, the RXD
//               characters half a character time after the TXD ones: the
//               direction changes with every character, every 21.7 us.
//   1 exchange  a master and a slave taking turns: requests of 8-40 and
//               answers of 8-120 characters, back to back within a turn,
//               0.2-3 ms between turns.
//
// Counters, for the tap (tap_*) and for jpnevulator (jp_*):
//   *_cpu_ns_per_byte   CPU time per character received: for the tap its
//                       reader thread and the link's reader and dispatch
//                       threads; for jpnevulator its whole process.
//                       Target: the tap at most half of jpnevulator's.
//   *_order_pct         direction changes kept: of all pairs of characters
//                       written one after the other to different ports,
//                       the share that comes out in the same order.
//                       Target: the tap above jpnevulator.
//   *_bytes             characters received (every one must arrive).
//   tap_latency_median_ms, tap_latency_p99_ms
//                       from a character's write to its record at the
//                       link's data callback. Target: median under 5 ms.
// Run: build/bin/ks-bench-tap (needs jpnevulator on the PATH and
// libCorvane-tap.so beside it).
#include "CUSBCom.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int64_t kCharNs = 10LL * 1000000000 / 230400;

int64_t Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Event {
    int64_t t;   // due, from the start of the feed
    int dir;     // 0 TXD, 1 RXD
    uint32_t k;  // number within its direction
};

std::vector<Event> Schedule(int kind, double seconds)
{
    std::vector<Event> events;
    const int64_t end = static_cast<int64_t>(seconds * 1e9);
    uint32_t n[2] = {0, 0};
    if (kind == 0) {
        for (int64_t t = 0; t < end; t += kCharNs) {
            events.push_back(Event{t, 0, n[0]++});
            events.push_back(Event{t + kCharNs / 2, 1, n[1]++});
        }
        return events;
    }
    std::mt19937 random(7);
    int64_t t = 0;
    for (int dir = 0; t < end; dir ^= 1) {
        const int len = dir == 0 ? 8 + static_cast<int>(random() % 33) : 8 + static_cast<int>(random() % 113);
        for (int i = 0; i < len; ++i, t += kCharNs) events.push_back(Event{t, dir, n[dir]++});
        t += 200000 + static_cast<int64_t>(random() % 2800000);
    }
    return events;
}

struct Pty {
    int master = -1;
    int slave = -1;
    std::string name;
    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::grantpt(master);
        ::unlockpt(master);
        char buffer[128];
        ::ptsname_r(master, buffer, sizeof buffer);
        name = buffer;
        // Raw, as jpnevulator expects its ports set up beforehand; held open
        // so that the setting stays. The tap sets its own.
        slave = ::open(buffer, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ~Pty()
    {
        ::close(slave);
        ::close(master);
    }
};

// Writes the schedule, each character at its time (batched when the feeder
// is late); returns the write time of every event.
std::vector<int64_t> Feed(const std::vector<Event>& events, Pty* ports[2])
{
    std::vector<int64_t> written(events.size());
    // The feeder keeps its schedule best at real-time priority (when allowed).
    sched_param rt{};
    rt.sched_priority = 10;
    (void)::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &rt);
    const int64_t start = Now() + 20000000;
    std::size_t i = 0;
    while (i < events.size()) {
        const int64_t due = start + events[i].t;
        const timespec ts{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        const int64_t now = Now();
        while (i < events.size() && start + events[i].t <= now) {
            std::size_t j = i;
            uint8_t bytes[512];
            std::size_t count = 0;
            while (j < events.size() && events[j].dir == events[i].dir && start + events[j].t <= now && count < sizeof bytes)
                bytes[count++] = static_cast<uint8_t>(events[j++].k);
            const ssize_t w = ::write(ports[events[i].dir]->master, bytes, count);
            (void)w;
            const int64_t at = Now();
            for (std::size_t e = i; e < j; ++e) written[e] = at;
            i = j;
        }
    }
    return written;
}

// Position in the output of each event; -1 when it did not arrive.
double OrderKeptPct(const std::vector<Event>& events, const std::vector<std::pair<int, uint32_t>>& received)
{
    std::vector<int64_t> pos[2];
    for (std::size_t p = 0; p < received.size(); ++p) {
        auto& v = pos[received[p].first];
        v.push_back(static_cast<int64_t>(p));
    }
    uint64_t pairs = 0, kept = 0;
    for (std::size_t i = 1; i < events.size(); ++i) {
        const Event& a = events[i - 1];
        const Event& b = events[i];
        if (a.dir == b.dir) continue;
        ++pairs;
        if (a.k < pos[a.dir].size() && b.k < pos[b.dir].size() && pos[a.dir][a.k] < pos[b.dir][b.k]) ++kept;
    }
    return pairs ? 100.0 * static_cast<double>(kept) / static_cast<double>(pairs) : 0.0;
}

double ThreadCpuSeconds(const std::vector<std::string>& names)
{
    double total = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(entry.path() / "comm");
        std::string comm;
        std::getline(in, comm);
        if (std::find(names.begin(), names.end(), comm) == names.end()) continue;
        const pid_t tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u);
        timespec ts{};
        if (::clock_gettime(clock, &ts) == 0) total += static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }
    return total;
}

struct TapRun {
    std::mutex mutex;
    std::vector<std::pair<int, uint32_t>> received;
    std::vector<int64_t> arrival;
    uint32_t count[2] = {0, 0};
    static void Data(const uint8_t* data, uint32_t n, void* user)
    {
        if (n < 2) return;
        const int64_t now = Now();
        auto* self = static_cast<TapRun*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        for (uint32_t i = 0; i + 1 < n; i += 2) {
            if ((data[i] >> 5) != 1) continue;
            const int dir = (data[i] & 0x08) ? 1 : 0;
            self->received.emplace_back(dir, self->count[dir]++);
            self->arrival.push_back(now);
        }
    }
    static void Lost(const uint8_t*, uint32_t, void*) {}
};

void RunTap(benchmark::State& state, const std::vector<Event>& events)
{
    Pty txd, rxd;
    Pty* ports[2] = {&txd, &rxd};
    ::setenv("KS_TAP_TXD", txd.name.c_str(), 1);
    ::setenv("KS_TAP_RXD", rxd.name.c_str(), 1);
    TapRun run;
    CUSBCom link;
    link.SetCallbacks(&TapRun::Data, &TapRun::Lost, &run);
    char self[4096] = {};
    const ssize_t len = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string dir = std::filesystem::path(std::string(self, len > 0 ? static_cast<std::size_t>(len) : 0)).parent_path();
    link.SetLibraryPath(dir + "/libCorvane-tap.so");
    if (!link.Open()) {
        state.SkipWithError("the tap did not open");
        return;
    }
    const uint8_t block[8] = {18, 0, 0, 0, 0x07, 0, 0, 0};
    link.SetParameters(block, 8);
    link.RequestStart();
    const std::vector<std::string> threads = {"ks-tap-read", "ks-tap-lines", "ks-link-reader", "ks-link-draw"};
    const double cpu0 = ThreadCpuSeconds(threads);
    std::vector<int64_t> written;
    std::thread([&] { written = Feed(events, ports); }).join();
    const int64_t until = Now() + 2000000000;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(run.mutex);
            if (run.received.size() >= events.size() || Now() > until) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double cpu1 = ThreadCpuSeconds(threads);
    for (const std::string& t : threads) {
        const double c = ThreadCpuSeconds({t});
        state.counters["tap_cpu_" + t] = c;
    }
    link.RequestStop();
    link.Close();

    std::lock_guard<std::mutex> lock(run.mutex);
    // Latency: the i-th character of a direction is the i-th event of it.
    std::vector<std::size_t> eventOf[2];
    for (std::size_t e = 0; e < events.size(); ++e) eventOf[events[e].dir].push_back(e);
    std::vector<double> lat;
    for (std::size_t p = 0; p < run.received.size(); ++p) {
        const auto [d, k] = run.received[p];
        if (k < eventOf[d].size()) lat.push_back(static_cast<double>(run.arrival[p] - written[eventOf[d][k]]) / 1e6);
    }
    std::sort(lat.begin(), lat.end());
    const auto pct = [&](double q) { return lat.empty() ? 0.0 : lat[static_cast<std::size_t>(q * static_cast<double>(lat.size() - 1))]; };
    const double bytes = static_cast<double>(run.received.size());
    state.counters["tap_bytes"] = bytes;
    state.counters["tap_cpu_ns_per_byte"] = bytes > 0 ? (cpu1 - cpu0) * 1e9 / bytes : 0;
    state.counters["tap_order_pct"] = OrderKeptPct(events, run.received);
    state.counters["tap_latency_median_ms"] = pct(0.5);
    state.counters["tap_latency_p99_ms"] = pct(0.99);
}

void RunJpnevulator(benchmark::State& state, const std::vector<Event>& events)
{
    Pty txd, rxd;
    Pty* ports[2] = {&txd, &rxd};
    char outName[] = "/tmp/ks-bench-jp-XXXXXX";
    const int out = ::mkstemp(outName);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    const std::string count = "--count=" + std::to_string(events.size());
    const std::string t1 = "--tty=" + txd.name, t2 = "--tty=" + rxd.name;
    const char* argv[] = {"jpnevulator", "--read", t1.c_str(), t2.c_str(), "--timing-print", count.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "jpnevulator", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        ::close(out);
        ::unlink(outName);
        state.SkipWithError("jpnevulator is not installed");
        return;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it open its ports
    std::thread([&] { Feed(events, ports); }).join();
    int status = 0;
    rusage usage{};
    const int64_t until = Now() + 5000000000LL;
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (Now() > until) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(out);
    // Its listing: a line "time: tty" whenever the port changes, then the
    // bytes in hexadecimal.
    std::ifstream in(outName);
    std::vector<std::pair<int, uint32_t>> received;
    uint32_t n[2] = {0, 0};
    int dir = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(": /dev/") != std::string::npos) {
            dir = line.find(rxd.name) != std::string::npos ? 1 : 0;
            continue;
        }
        std::istringstream hex(line);
        std::string byte;
        while (hex >> byte) received.emplace_back(dir, n[dir]++);
    }
    ::unlink(outName);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const double bytes = static_cast<double>(received.size());
    state.counters["jp_bytes"] = bytes;
    state.counters["jp_cpu_ns_per_byte"] = bytes > 0 ? cpu * 1e9 / bytes : 0;
    state.counters["jp_order_pct"] = OrderKeptPct(events, received);
}

void BM_TapBesideJpnevulator(benchmark::State& state)
{
    // Nothing of the user's own tap configuration is read.
    char dir[] = "/tmp/ks-bench-tap-XXXXXX";
    if (::mkdtemp(dir)) ::setenv("XDG_CONFIG_HOME", dir, 1);
    ::signal(SIGPIPE, SIG_IGN);
    const std::vector<Event> events = Schedule(static_cast<int>(state.range(0)), static_cast<double>(state.range(1)));
    for (auto _ : state) {
        RunTap(state, events);
        RunJpnevulator(state, events);
    }
    state.counters["bytes_fed"] = static_cast<double>(events.size());
    if (state.counters["jp_cpu_ns_per_byte"] > 0)
        state.counters["cpu_ratio_tap_to_jp"] = state.counters["tap_cpu_ns_per_byte"] / state.counters["jp_cpu_ns_per_byte"];
    ::rmdir(dir);
}
BENCHMARK(BM_TapBesideJpnevulator)->ArgNames({"traffic", "s"})->Args({0, 8})->Args({1, 8})->Iterations(1)
    ->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
