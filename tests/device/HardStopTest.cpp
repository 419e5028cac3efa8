// Recordings ended the hard way. ks-capture into one file, ks-capture into a
// series, and the whole program with a capture running are killed with
// SIGKILL while the numbered transport streams; then every file left behind
// must open as a capture, its numbered records must run on without a loss,
// repeat or reordering, and everything the program had read from the probe
// more than a second before the kill (for the window's recovery file, more
// than its update interval and a second) must be in it. The transport's log
// says what the program had read, and when.
#include "LinkTestSupport.h"
#include "CCaptureFile.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "NumberedRecords.h"
#include "SeriesNames.h"
#include "support/DiskTempDir.h"
#include "support/TempDir.h"

#include "ChildProcess.h"

#include <QDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <signal.h>

namespace {

int64_t MonotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Records the program had read by `ms` (monotonic), from the transport's log.
uint64_t TakenBy(const std::string& log, int64_t ms)
{
    std::ifstream in(log);
    long long t = 0;
    unsigned long long taken = 0, result = 0;
    while (in >> t >> taken)
        if (t <= ms) result = taken;
    return result;
}

// Opens `path` with the program's reader and follows its numbered records on
// from `next` (the absolute number expected first); the number after the
// last, or `next` unchanged with a failure.
uint64_t FollowNumbers(const std::string& path, uint64_t next)
{
    CCaptureFile capture;
    EXPECT_EQ(capture.Read(path), CCaptureFile::Result::Ok) << path;
    CDisplayMode mode;
    mode.cxLine = 770;
    mode.cxChar = 8;
    mode.cyChar = 16;
    EXPECT_TRUE(capture.ParseHeader(mode)) << path << ": the header is whole";
    CLines lines;
    capture.DecodeBody(lines, mode);
    ByteBuffer stream;
    lines.EncodeStoredStream(stream);
    for (std::size_t i = 0; i + 1 < stream.size(); i += 2) {
        const int value = NumberedValue(stream[i], stream[i + 1]);
        if (value < 0) continue;
        if (static_cast<uint64_t>(value) != next % KS_NUMBERED_MODULUS) {
            ADD_FAILURE() << path << ": record " << next << " expected, found " << value << " (mod 8192)";
            return next;
        }
        ++next;
    }
    return next;
}

struct KilledRun {
    uint64_t takenSecondBefore = 0; // read by the program a second before the kill
    uint64_t takenAtKill = 0;       // as the log last said before the kill (it writes every 100 ms)
    std::string errors;
};

// Starts `program`, kills it `afterMs` after it said it captures.
KilledRun RunAndKill(const std::string& program, const std::vector<std::string>& args, const std::string& log,
                     const std::string& rate, int afterMs, int allowanceMs = 1000)
{
    KilledRun r;
    ChildProcess child;
    if (!child.Start(program, args, {{"KS_NUMBERED_LOG", log}, {"KS_NUMBERED_RATE", rate}, {"QT_QPA_PLATFORM", "offscreen"}})) {
        ADD_FAILURE() << "cannot start " << program;
        return r;
    }
    if (!child.WaitForError("Capturing")) ADD_FAILURE() << child.Errors();
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    child.Signal(SIGKILL);
    const int64_t killed = MonotonicMs();
    EXPECT_EQ(child.Finish(), -1) << "killed";
    r.takenSecondBefore = TakenBy(log, killed - allowanceMs);
    r.takenAtKill = TakenBy(log, killed);
    r.errors = child.Errors();
    return r;
}

} // namespace

TEST(HardStop, AKilledCaptureFileHoldsEverythingButTheLastSecond)
{
    TempDir out;
    const std::string file = out.Path("line.ksf");
    for (int afterMs : {700, 2300}) {
        const KilledRun r = RunAndKill(BinDirectory() + "/ks-capture", {"--transport", "numbered", "--output", file},
                                       out.Path("log" + std::to_string(afterMs)), "46080", afterMs);
        ASSERT_GT(r.takenAtKill, 10000u) << r.errors;
        const uint64_t held = FollowNumbers(file, 0);
        EXPECT_GE(held, r.takenSecondBefore) << "killed after " << afterMs << " ms";
    }
}

TEST(HardStop, AKilledSeriesHoldsEverythingButTheLastSecondInFilesThatOpen)
{
    DiskTempDir disk;
    const std::string base = disk.Std("night");
    // 100,000 records a second: a buffer fills in 2.1 s and a file of two in
    // 4.2 s, so the kill meets the second file with 1.8 s in its buffer.
    const KilledRun r = RunAndKill(BinDirectory() + "/ks-capture",
                                   {"--transport", "numbered", "--series", base, "--file-size", "2", "--files", "50"},
                                   disk.Std("log"), "100000", 6000);
    ASSERT_GT(r.takenAtKill, 450000u) << r.errors;
    uint64_t next = 0;
    uint32_t files = 0;
    for (; std::filesystem::exists(series::FileName(base, files, 50)); ++files)
        next = FollowNumbers(series::FileName(base, files, 50), next);
    EXPECT_GE(files, 2u);
    EXPECT_GE(next, r.takenSecondBefore);
}

TEST(HardStop, AKilledWindowLeavesItsCaptureForTheNextStart)
{
    TempDir work;
    const KilledRun r = RunAndKill(BinDirectory() + "/ks-window-recorder", {work.Root(), "--transport", "numbered"},
                                   work.Path("log"), "20000", 4500, 2000 + 1000);
    ASSERT_GT(r.takenAtKill, 20000u) << r.errors;
    const QStringList kept = QDir(QString::fromStdString(work.Path("data"))).entryList({QStringLiteral("recovered-*.ksf")});
    ASSERT_EQ(kept.size(), 1) << r.errors;
    // Far fewer records than the window's 2048 lines: it holds them all.
    const uint64_t held = FollowNumbers(work.Path("data/" + kept[0].toStdString()), 0);
    EXPECT_GE(held, r.takenSecondBefore);
}
