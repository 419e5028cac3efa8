// Find over a loaded 10-million-record capture: HighLight All for a two-byte
// pattern, a Find Next that finds nothing (one whole pass), and the same
// count through the ks-convert process, loading included.
#include "CDisplayMode.h"
#include "CFindEngine.h"
#include "CLines.h"
#include "FindText.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr std::size_t kFileRecords = 10'000'000;

CDisplayMode Mode()
{
    CDisplayMode mode;
    mode.Status = mode.Stamp = 1;
    mode.cxChar = 10;
    mode.cyChar = 19;
    mode.cxLine = 770;
    return mode;
}

// Probe-like traffic: printable characters in both directions, a status
// change now and then, stamp groups between bursts. No record holds a
// byte below 0x20, so x00x01 is never found.
std::string MakeFile(const QTemporaryDir& dir)
{
    const std::string path = dir.filePath(QStringLiteral("big.ksf")).toStdString();
    std::string header;
    Mode().BuildHeader(header);
    std::vector<uint8_t> body;
    body.reserve(kFileRecords * 2 + 1024);
    std::mt19937 rng(7);
    uint8_t status = 0x5F;
    std::size_t records = 0;
    while (records < kFileRecords) {
        const unsigned r = rng() % 1000;
        if (r < 990) {
            body.push_back(static_cast<uint8_t>(0x20 | (r % 2 ? 0x08 : 0)));
            body.push_back(static_cast<uint8_t>(0x20 + rng() % 95));
            ++records;
        } else if (r < 995) {
            status = static_cast<uint8_t>(0x40 | ((status ^ (1u << (rng() % 5))) & 0x1F));
            body.push_back(status);
            body.push_back(status);
            ++records;
        } else {
            const uint32_t ms = rng() % 5000;
            for (int shift = 24; shift >= 0; shift -= 8) {
                body.push_back(0x80);
                body.push_back(static_cast<uint8_t>(ms >> shift));
            }
            for (int shift = 24; shift >= 0; shift -= 8) {
                body.push_back(0xC0);
                body.push_back(static_cast<uint8_t>(1700000000u >> shift));
            }
            records += 8;
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
    return path;
}

struct LoadedLog {
    QTemporaryDir dir;
    std::string path;
    CDisplayMode mode = Mode();
    CLines lines;
    LoadedLog()
    {
        path = MakeFile(dir);
        lines.OpenCaptureBody(path, mode);
    }
};

LoadedLog& Log()
{
    static LoadedLog log;
    return log;
}

FindQuery DataQuery(const char* hex)
{
    FindQuery q;
    q.page = FIND_DATA;
    q.pattern = ParseFindText(QString::fromLatin1(hex), FORMAT_HEX).bytes;
    q.directionFilter = FIND_BOTH;
    return q;
}

void BM_HighLightAllTwoBytes(benchmark::State& state)
{
    LoadedLog& log = Log();
    CFindEngine engine(log.lines, log.mode);
    const FindQuery q = DataQuery("x41x54");
    int matches = 0;
    for (auto _ : state) matches = engine.HighLightAll(q);
    state.counters["matches"] = matches;
    state.counters["lines"] = log.lines.GetLineCount();
}
BENCHMARK(BM_HighLightAllTwoBytes)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FindNextNothingFound(benchmark::State& state)
{
    LoadedLog& log = Log();
    CFindEngine engine(log.lines, log.mode);
    const FindQuery q = DataQuery("x00x01");
    for (auto _ : state) {
        if (engine.FindNext(q, engine.FreshStart(0, true), true, true)) state.SkipWithError("found the unfindable");
    }
}
BENCHMARK(BM_FindNextNothingFound)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StatusHighLightAll(benchmark::State& state)
{
    LoadedLog& log = Log();
    CFindEngine engine(log.lines, log.mode);
    FindQuery q;
    q.page = FIND_STATUS;
    q.conditions = {COND_RISE, COND_ANY, COND_ANY, COND_ANY, COND_ANY};
    for (auto _ : state) benchmark::DoNotOptimize(engine.HighLightAll(q));
}
BENCHMARK(BM_StatusHighLightAll)->Unit(benchmark::kMillisecond)->Iterations(5);

std::string ProgramDirectory()
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    std::string exe(buffer.data(), static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

// The whole command as a user runs it: start, load, search, count.
void BM_ConvertFindHexCount(benchmark::State& state)
{
    LoadedLog& log = Log();
    const std::string program = ProgramDirectory() + "ks-convert";
    if (::access(program.c_str(), X_OK) != 0) {
        state.SkipWithError("ks-convert is not built beside the benchmark");
        return;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::string> args{program, "--find-hex", "x41x54", "--count", log.path};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("ks-convert failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_ConvertFindHexCount)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
