// ks-convert over a large capture: the resident memory and the rate of its
// counting and finding walks. Run alone: build/bin/ks-bench-convert
// (KS_BENCH_CONVERT_MB sets the file's size, 1024 by default). The file is
// made in a temporary folder and removed at the end.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string ProgramDirectory()
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(n))).parent_path().string()
                 : std::string(".");
}

// A capture of `megabytes` whose records alternate both directions' data,
// with a CR LF every 64 characters. The header comes from the sample.
std::string MakeCapture(const std::string& dir, std::size_t megabytes)
{
    const std::string path = dir + "/large.ksf";
    std::ifstream sample(std::string(KS_SOURCE_DIR) + "/samples/modem-session.ksf", std::ios::binary);
    std::string header(94, '\0');
    sample.read(header.data(), 94);
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), 94);
    std::string chunk;
    for (int i = 0; i < 1 << 19; ++i) {
        const bool rxd = (i / 64) % 2 == 1;
        const char c = i % 64 == 62 ? '\r' : i % 64 == 63 ? '\n' : static_cast<char>('A' + i % 26);
        chunk += static_cast<char>(rxd ? 0x28 : 0x20);
        chunk += c;
    }
    for (std::size_t written = 0; written < megabytes << 20; written += chunk.size()) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return path;
}

// Runs ks-convert with `args`; its peak resident memory in kB.
long RunConvert(const std::vector<std::string>& args)
{
    const std::string program = ProgramDirectory() + "/ks-convert";
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        ::execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) <= 1 ? usage.ru_maxrss : -1;
}

void BM_ConvertLargeFile(benchmark::State& state)
{
    const char* mb = std::getenv("KS_BENCH_CONVERT_MB");
    const std::size_t megabytes = mb ? std::strtoul(mb, nullptr, 10) : 1024;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ks-bench-convert-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = MakeCapture(dir.string(), megabytes);
    const double bytes = static_cast<double>(std::filesystem::file_size(path));
    const std::vector<std::string> args = state.range(0) == 0
        ? std::vector<std::string>{"--counters", path}
        : std::vector<std::string>{"--find-hex", "0D 0A", "--count", path};
    long rss = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        rss = RunConvert(args);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    std::filesystem::remove_all(dir);
    if (rss < 0) state.SkipWithError("ks-convert failed");
    state.counters["file_mb"] = bytes / (1 << 20);
    state.counters["resident_mb"] = static_cast<double>(rss) / 1024;
    state.counters["mb_per_s"] = bytes / (1 << 20) / seconds;
}

// A Modbus RTU capture of 10 million records: polls of 10 registers and
// their answers, both with good CRCs (computed here, bitwise).
std::string MakeModbusCapture(const std::string& dir)
{
    const std::string path = dir + "/modbus.ksf";
    std::ifstream sample(std::string(KS_SOURCE_DIR) + "/samples/modem-session.ksf", std::ios::binary);
    std::string header(94, '\0');
    sample.read(header.data(), 94);
    std::string body;
    auto put = [&body](std::vector<unsigned char> frame, bool rxd) {
        unsigned crc = 0xFFFF;
        for (unsigned char b : frame) {
            crc ^= b;
            for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        frame.push_back(static_cast<unsigned char>(crc));
        frame.push_back(static_cast<unsigned char>(crc >> 8));
        for (unsigned char b : frame) {
            body += static_cast<char>(rxd ? 0x28 : 0x20);
            body += static_cast<char>(b);
        }
    };
    for (unsigned poll = 0; body.size() < 20'000'000; ++poll) {
        const auto slave = static_cast<unsigned char>(1 + poll % 16);
        put({slave, 3, 0, static_cast<unsigned char>(poll), 0, 10}, false);
        std::vector<unsigned char> answer = {slave, 3, 20};
        for (int r = 0; r < 10; ++r) {
            answer.push_back(static_cast<unsigned char>(poll >> 8));
            answer.push_back(static_cast<unsigned char>(poll + r));
        }
        put(answer, true);
    }
    body.resize(20'000'000);
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), 94);
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    return path;
}

// ks-convert --decode modbus-rtu --count on 10 million records, loading included.
void BM_DecodeModbusCapture(benchmark::State& state)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ks-bench-decode-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = MakeModbusCapture(dir.string());
    long rss = 0;
    for (auto _ : state) rss = RunConvert({"--decode", "modbus-rtu", "--count", path});
    std::filesystem::remove_all(dir);
    if (rss < 0) state.SkipWithError("ks-convert failed");
    state.counters["resident_mb"] = static_cast<double>(rss) / 1024;
}

} // namespace

BENCHMARK(BM_DecodeModbusCapture)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertLargeFile)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_MAIN();
