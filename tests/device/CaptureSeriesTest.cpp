// ks-capture --series run as the user runs it, on the simulated probe's
// numbered full-rate traffic: numbered files until the series is full, the
// one file rewritten by Overwrite, Ctrl+C, a pulled probe, a real write error
// (a file-size limit), and the exit status that says which. Every file is
// read back with the program's reader and the numbering checked end to end.
// A buffer is about 4.6 s of full-rate traffic, so some runs take a while.
#include "LinkTestSupport.h"
#include "SeriesNames.h"
#include "support/SeriesFiles.h"
#include "support/TempDir.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include <signal.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string errors;
};

ToolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                const std::function<void(ChildProcess&)>& whileRunning = {})
{
    ChildProcess child;
    ToolRun r;
    if (!child.Start(program, args, {{"KS_SIM_SCENARIO", "full"}})) return r;
    if (whileRunning && child.WaitForError("Capturing")) whileRunning(child);
    r.exitCode = child.Finish(60000);
    r.errors = child.Errors();
    return r;
}

std::vector<std::string> Args(const std::string& base, std::vector<std::string> more)
{
    std::vector<std::string> args = {"--series", base, "--baud", "230400"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The files' pairs run on without a gap (from pair 0 unless `fromZero` is
// false); each file opens with the program's reader and, unless it was cut
// short, ends with its mark. The pair count.
uint64_t CheckPairs(const std::vector<std::string>& paths, bool fromZero = true, bool closed = true)
{
    PairChecker pairs = fromZero ? PairChecker(0) : PairChecker::Synchronising();
    for (const std::string& path : paths) {
        const SeriesFileContent f = ReadSeriesFile(path);
        EXPECT_TRUE(f.opened) << path;
        EXPECT_EQ(f.readerData, DataOf(f.tokens)) << path;
        EXPECT_TRUE(pairs.Take(f.tokens)) << path << ": " << pairs.Problem();
        if (closed) {
            EXPECT_TRUE(!f.tokens.empty() && f.tokens.back().kind == SeriesToken::Mark) << path << " ends with its mark";
        }
    }
    return pairs.Next();
}

} // namespace

TEST(CaptureSeries, NumberedFilesUntilTheSeriesIsFull)
{
    TempDir out;
    const std::string base = out.Path("run");
    const ToolRun r = RunTool(BinDirectory() + "/ks-capture", Args(base, {"--file-size", "2", "--files", "2"}));
    ASSERT_EQ(r.exitCode, 4) << r.errors;
    EXPECT_NE(r.errors.find("the series is full"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find("2 files written"), std::string::npos) << r.errors;
    EXPECT_FALSE(std::filesystem::exists(series::FileName(base, 2, 2)));
    // Two files of two buffers each: about 200,000 records.
    EXPECT_GT(CheckPairs({series::FileName(base, 0, 2), series::FileName(base, 1, 2)}), 100000u);
}

TEST(CaptureSeries, OverwriteRewritesTheOneFileOfASeries)
{
    TempDir out;
    const std::string base = out.Path("ring");
    const ToolRun r = RunTool(BinDirectory() + "/ks-capture",
                              Args(base + ".ksf", {"--file-size", "2", "--files", "1", "--overwrite", "--seconds", "11"}));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_NE(r.errors.find("2 files written"), std::string::npos) << r.errors;
    const std::string only = base + ".ksf";
    const SeriesFileContent f = ReadSeriesFile(only);
    ASSERT_FALSE(f.tokens.empty());
    EXPECT_EQ(f.tokens.front().kind, SeriesToken::Mark) << "the hand-over's mark opens the new file";
    EXPECT_GT(CheckPairs({only}, false), 10000u) << "the records after the first two buffers";
}

TEST(CaptureSeries, CtrlCAndAPulledProbeKeepEveryRecord)
{
    TempDir out;
    const std::string base = out.Path("run");
    ToolRun r = RunTool(BinDirectory() + "/ks-capture", Args(base, {"--files", "10"}), [](ChildProcess& p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        p.Signal(SIGINT);
    });
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    EXPECT_NE(r.errors.find("1 file written"), std::string::npos) << r.errors;
    EXPECT_GT(CheckPairs({series::FileName(base, 0, 10)}), 5000u);

    TempDir program;
    for (const char* f : {"ks-capture", "libCorvane.so"}) std::filesystem::copy_file(BinDirectory() + "/" + f, program.Path(f));
    std::filesystem::permissions(program.Path("ks-capture"), std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
    r = RunTool(program.Path("ks-capture"), Args(base, {"--files", "10"}), [&](ChildProcess&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        WriteFileText(program.Path("ks-sim-probe.unplugged"), "");
    });
    ASSERT_EQ(r.exitCode, 3) << r.errors;
    EXPECT_GT(CheckPairs({series::FileName(base, 0, 10)}), 1000u);
}

TEST(CaptureSeries, AWriteErrorGivesItsStatusAndKeepsWhatReachedTheDisk)
{
    TempDir out;
    const std::string base = out.Path("small");
    // A real limit: 1000 blocks of 512 bytes take the header and the first
    // buffer, not the second.
    std::string command = "ulimit -f 1000; trap '' XFSZ; exec '" + BinDirectory() + "/ks-capture'";
    for (const std::string& a : Args(base, {"--file-size", "7"})) command += " '" + a + "'";
    const ToolRun r = RunTool("/bin/sh", {"-c", command});
    ASSERT_EQ(r.exitCode, 1) << r.errors;
    EXPECT_NE(r.errors.find("Write file failed!"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find(std::strerror(EFBIG)), std::string::npos) << r.errors;
    const std::string file = base + ".ksf";
    EXPECT_EQ(std::filesystem::file_size(file), 512000u);
    EXPECT_GT(CheckPairs({file}, true, false), 100000u);
    // The closing line says what the file holds, the cut-short write included.
    EXPECT_NE(r.errors.find(", " + std::to_string((512000 - kCurrentHeaderSize) / 2) + " records in the files"), std::string::npos)
        << r.errors;
}

TEST(CaptureSeries, WrongArgumentsAndAMissingFolderAreRefusedAtOnce)
{
    TempDir out;
    const std::string tool = BinDirectory() + "/ks-capture";
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--series", out.Path("x"), "--output", out.Path("y.ksf")},
          {"--series", out.Path("x"), "--file-size", "8"},
          {"--series", out.Path("x"), "--file-size", "1"},
          {"--series", out.Path("x"), "--files", "0"},
          {"--series", out.Path("x"), "--files", "1000000"},
          {"--series", out.Root()},
          {"--output", out.Path("y.ksf"), "--overwrite"}}) {
        EXPECT_EQ(RunTool(tool, bad).exitCode, 2) << bad[0] << " " << bad[1] << " " << bad.back();
    }
    const ToolRun r = RunTool(tool, {"--series", out.Path("no/such/folder/run"), "--seconds", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.errors.find("cannot write"), std::string::npos) << r.errors;
}
