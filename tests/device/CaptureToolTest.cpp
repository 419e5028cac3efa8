// ks-capture run as the user runs it: a real process on the simulated probe,
// its exit status, its messages and the file it leaves.
#include "LinkTestSupport.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "support/TempDir.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <signal.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString errors;
};

// Starts ks-capture from `programDir`; `whileRunning` is called once it says
// it is capturing. Every wait is bounded.
ToolRun RunCapture(const std::string& programDir, const QStringList& args,
                   const std::function<void(ChildProcess&)>& whileRunning = {})
{
    std::vector<std::string> argv;
    for (const QString& a : args) argv.push_back(a.toStdString());
    ChildProcess child;
    ToolRun r;
    if (!child.Start(programDir + "/ks-capture", argv, {{"KS_SIM_SCENARIO", "full"}})) return r;
    if (whileRunning && child.WaitForError("Capturing")) whileRunning(child);
    r.exitCode = child.Finish();
    r.errors = QString::fromStdString(child.Errors());
    return r;
}

// Checks the stored stream of a capture of the numbered full-rate traffic:
// every pair from 0 on, none lost, none repeated. Returns the pair count.
uint64_t CheckFile(const std::string& path, CDisplayMode& mode, int& dateTimes, int& stamps)
{
    EXPECT_TRUE(mode.ReadHeader(path));
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_GT(bytes.size(), kCurrentHeaderSize);
    uint64_t k = 0;
    int txd = 0;
    dateTimes = stamps = 0;
    for (std::size_t i = kCurrentHeaderSize; i + 1 < bytes.size(); i += 2) {
        const uint8_t b0 = bytes[i], b1 = bytes[i + 1];
        if (b0 == 0xA0) {
            ++dateTimes;
            i += 6;
        } else if ((b0 >> 5) == 4) {
            ++stamps;
            i += 14;
        } else if (b0 == 0x20) {
            EXPECT_EQ(b1, k & 0xFF) << "pair " << k;
            ++txd;
        } else if (b0 == 0x28) {
            EXPECT_EQ(b1, (k >> 8) & 0xFF) << "pair " << k;
            ++k;
            if (::testing::Test::HasFailure()) return k;
        }
    }
    EXPECT_EQ(static_cast<uint64_t>(txd), k);
    // The program reads the same file back with the same counts.
    CLines lines;
    EXPECT_TRUE(lines.OpenCaptureBody(path, mode));
    EXPECT_EQ(lines.GetCounters()[CNT_TXD], k);
    EXPECT_EQ(lines.GetCounters()[CNT_RXD], k);
    return k;
}

TEST(CaptureTool, RecordsForTheGivenTimeAndKeepsEveryRecordInOrder)
{
    TempDir out;
    const std::string file = out.Path("timed.ksf");
    const ToolRun r = RunCapture(BinDirectory(), {QStringLiteral("--output"), QString::fromStdString(file), QStringLiteral("--seconds"),
                                              QStringLiteral("1"), QStringLiteral("--baud"), QStringLiteral("230400"),
                                              QStringLiteral("--status"), QStringLiteral("--stamp")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains(QStringLiteral("COM: 230400-8-N-1"))) << r.errors.toStdString();
    CDisplayMode mode;
    int dateTimes = 0, stamps = 0;
    EXPECT_GT(CheckFile(file, mode, dateTimes, stamps), 10000u);
    EXPECT_EQ(mode.Status, 1);
    EXPECT_EQ(mode.Stamp, 1);
    EXPECT_EQ(mode.Data, 1);
    EXPECT_EQ(dateTimes, 2) << "start and stop";
    EXPECT_GT(stamps, 0);
}

TEST(CaptureTool, InterruptStopsTheProbeAndSavesWhatArrived)
{
    TempDir out;
    const std::string file = out.Path("interrupted.ksf");
    const ToolRun r = RunCapture(BinDirectory(),
                             {QStringLiteral("--output"), QString::fromStdString(file), QStringLiteral("--baud"), QStringLiteral("115200"),
                              QStringLiteral("--data"), QStringLiteral("8"), QStringLiteral("--parity"), QStringLiteral("even"),
                              QStringLiteral("--stop"), QStringLiteral("2")},
                             [](ChildProcess& p) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                 p.Signal(SIGINT);
                             });
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_TRUE(r.errors.contains(QStringLiteral("COM: 115200-8-E-2"))) << r.errors.toStdString();
    CDisplayMode mode;
    int dateTimes = 0, stamps = 0;
    EXPECT_GT(CheckFile(file, mode, dateTimes, stamps), 100u);
    EXPECT_EQ(mode.Stamp, 0);
    EXPECT_EQ(stamps, 0);
}

TEST(CaptureTool, WithoutDataOnlyTheLineRowsAreKept)
{
    TempDir out;
    const std::string file = out.Path("lines.ksf");
    const ToolRun r = RunCapture(BinDirectory(), {QStringLiteral("--output"), QString::fromStdString(file), QStringLiteral("--seconds"),
                                                  QStringLiteral("1"), QStringLiteral("--no-data"), QStringLiteral("--status")});
    ASSERT_EQ(r.exitCode, 0) << r.errors.toStdString();
    CDisplayMode mode;
    ASSERT_TRUE(mode.ReadHeader(file));
    EXPECT_EQ(mode.Data, 0);
    EXPECT_EQ(mode.Status, 1);
    const std::vector<uint8_t> bytes = ReadFileBytes(file);
    int data = 0, status = 0;
    for (std::size_t i = kCurrentHeaderSize; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == 0xA0) i += 6;
        else if ((bytes[i] >> 5) == 1) ++data;
        else if ((bytes[i] >> 5) == 2) ++status;
    }
    EXPECT_EQ(data, 0);
    EXPECT_GT(status, 0);
}

TEST(CaptureTool, ProbeLostMidCaptureStillSavesEverythingReceived)
{
    TempDir program;
    for (const char* f : {"ks-capture", "libCorvane.so"})
        std::filesystem::copy_file(BinDirectory() + "/" + f, program.Path(f));
    std::filesystem::permissions(program.Path("ks-capture"), std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    const std::string file = program.Path("lost.ksf");
    const ToolRun r = RunCapture(program.Root(), {QStringLiteral("--output"), QString::fromStdString(file), QStringLiteral("--baud"),
                                              QStringLiteral("230400")},
                             [&](ChildProcess&) {
                                 std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                 WriteFileText(program.Path("ks-sim-probe.unplugged"), "");
                             });
    ASSERT_EQ(r.exitCode, 3) << r.errors.toStdString();
    CDisplayMode mode;
    int dateTimes = 0, stamps = 0;
    EXPECT_GT(CheckFile(file, mode, dateTimes, stamps), 100u);
}

TEST(CaptureTool, FailuresGiveTheirExitStatusAndLeaveNoFile)
{
    TempDir program;
    std::filesystem::copy_file(BinDirectory() + "/ks-capture", program.Path("ks-capture"));
    const std::string file = program.Path("never.ksf");
    // No transport beside the program: no probe.
    ToolRun r = RunCapture(program.Root(), {QStringLiteral("--output"), QString::fromStdString(file), QStringLiteral("--seconds"), QStringLiteral("1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains(QStringLiteral("Open Device Failed!"))) << r.errors.toStdString();
    EXPECT_FALSE(std::filesystem::exists(file));

    r = RunCapture(BinDirectory(), {QStringLiteral("--output"), QString::fromStdString(program.Path("no/such/dir/x.ksf"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.errors.contains(QStringLiteral("cannot write"))) << r.errors.toStdString();

    for (const QStringList& bad : {QStringList{}, QStringList{QStringLiteral("--output"), QStringLiteral("x.txt")},
                                   QStringList{QStringLiteral("--output"), QStringLiteral("x.ksf"), QStringLiteral("--baud"), QStringLiteral("12345")},
                                   QStringList{QStringLiteral("--output"), QStringLiteral("x.ksf"), QStringLiteral("--data"), QStringLiteral("9")},
                                   QStringList{QStringLiteral("--output"), QStringLiteral("x.ksf"), QStringLiteral("--seconds"), QStringLiteral("0")},
                                   QStringList{QStringLiteral("--output"), QStringLiteral("x.ksf"), QStringLiteral("--bogus")}}) {
        r = RunCapture(program.Root(), bad);
        EXPECT_EQ(r.exitCode, 2) << bad.join(QLatin1Char(' ')).toStdString();
    }
}

} // namespace
