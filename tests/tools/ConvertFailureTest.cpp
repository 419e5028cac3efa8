// Files the converter cannot read, odd paths and command line errors: each
// gives its message and exit status, never a crash or a listing of garbage.
#include "CaptureBytes.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

const std::string kTypeError = "File type error!\n";
const std::string kOpenFailed = "Open file failed!\n";

Bytes ValidCurrent()
{
    StoredStream body;
    body.Data('A');
    return CurrentHeader(HeaderFields{}) + body.bytes;
}

TEST(ConvertFailure, UnreadableFilesGiveTheProgramsMessages)
{
    TempDir dir;
    Bytes badCheck = ValidCurrent();
    badCheck[10] ^= 0x01;
    Bytes oldWithZero = OldHeader(HeaderFields{});
    oldWithZero[40] = 0;
    const Bytes valid = ValidCurrent(), oldHeader = OldHeader(HeaderFields{});
    HeaderFields tooHigh;
    tooHigh.stampMode = "4"; // above '3' at offset 55
    struct Case {
        const char* name;
        Bytes bytes;
        std::string message;
    };
    const std::vector<Case> cases{
        {"notes.txt", ValidCurrent(), kTypeError},
        {"noending", ValidCurrent(), kTypeError},
        {"dot.", ValidCurrent(), kTypeError},
        {"empty.ksf", {}, kOpenFailed},
        {"short.ksf", Bytes(valid.begin(), valid.begin() + 93), kOpenFailed},
        {"check.ksf", badCheck, kOpenFailed},
        {"text.ksf", Bytes(200, 'x'), kOpenFailed},
        {"short.df", Bytes(oldHeader.begin(), oldHeader.begin() + 90), kOpenFailed},
        {"zero.df", oldWithZero, kOpenFailed},
        {"high.df", OldHeader(tooHigh), kOpenFailed},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path(c.name);
        WriteFileBytes(path, c.bytes);
        const ConvertRun run = RunConvert({"--counters", Arg(path)});
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_EQ(run.err, c.message) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
    }

    // Not there at all, and a folder whose name has the right ending.
    QDir(QString::fromStdString(dir.Root())).mkdir("folder.ksf");
    for (const std::string& path : {dir.Path("absent.ksf"), dir.Path("absent.df"), dir.Path("folder.ksf")}) {
        const ConvertRun run = RunConvert({Arg(path)});
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(run.err, kOpenFailed) << path;
    }
}

TEST(ConvertFailure, EndingsAreJudgedByTheirLastLettersInAnyCase)
{
    TempDir dir;
    StoredStream current;
    current.Data('A');
    OldStream old;
    old.Txd('B', 0x1F);
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases{
        {"upper.KSF", CurrentHeader(HeaderFields{}) + current.bytes},
        {"mixed.Ksf", CurrentHeader(HeaderFields{}) + current.bytes},
        {"nodotksf", CurrentHeader(HeaderFields{}) + current.bytes},
        {"report.PDF", OldHeader(HeaderFields{}) + old.bytes},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path(c.name);
        WriteFileBytes(path, c.bytes);
        const ConvertRun run = RunConvert({"--counters", Arg(path)});
        EXPECT_EQ(run.exitCode, 0) << c.name << run.err;
        EXPECT_TRUE(run.out.starts_with("TXD:1\n")) << c.name << run.out;
    }
}

TEST(ConvertFailure, HeaderOnlyFileIsAnEmptyLog)
{
    TempDir dir;
    const std::string current = dir.Path("empty.ksf"), old = dir.Path("empty.df");
    WriteFileBytes(current, CurrentHeader(HeaderFields{}));
    WriteFileBytes(old, OldHeader(HeaderFields{}));
    for (const std::string& path : {current, old}) {
        const ConvertRun listing = RunConvert({Arg(path)});
        EXPECT_EQ(listing.exitCode, 0) << path;
        EXPECT_EQ(listing.out, "") << path;
        const ConvertRun csv = RunConvert({"--csv", Arg(path)});
        EXPECT_EQ(csv.OutLines().size(), 1u) << path;
    }
}

TEST(ConvertFailure, GroupsCutShortAtTheEndKeepWhatWasRead)
{
    TempDir dir;
    HeaderFields fields;
    fields.stamp = "1";
    // A stamp group cut after its second value record, and a lone odd byte.
    const Bytes body{0x21, 'A', 0x80, 0x00, 0x80, 0x10, 0x28};
    const std::string path = dir.Path("cut.ksf");
    WriteFileBytes(path, CurrentHeader(fields) + body);
    const ConvertRun run = RunConvert({Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (std::vector<std::string>{"      1  DATA      TXD  41  A     -",
                                                        "      1  STAMP     1048576 ms  1970-01-01 00:00:00"}));
}

TEST(ConvertFailure, CommandLineErrorsExitWithTwo)
{
    const std::vector<QStringList> bad{
        {},
        {"--csv"},
        {"--bogus", "a.ksf"},
        {"--line-width"},
        {"--line-width", "0", "a.ksf"},
        {"--line-width", "12px", "a.ksf"},
        {"--line-width=-5", "a.ksf"},
        {"--line-width", "99999999", "a.ksf"},
        {"--csv", "--counters", "a.ksf"},
    };
    for (const QStringList& args : bad) {
        const ConvertRun run = RunConvert(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(run.err.find("ks-convert: "), std::string::npos) << args.join(' ').toStdString();
        EXPECT_EQ(run.out, "");
    }
}

TEST(ConvertFailure, HelpDocumentsTheFormsAndVersionNamesTheTool)
{
    const ConvertRun help = RunConvert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--csv", "--counters", "--header", "--line-width", "770", "local time",
                             "File type error!", "Open file failed!"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;

    const ConvertRun version = RunConvert({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.starts_with("ks-convert ")) << version.out;

    // After "--" a name that looks like an option is a file.
    const ConvertRun dashed = RunConvert({"--", "--csv"});
    EXPECT_EQ(dashed.exitCode, 1);
    EXPECT_EQ(dashed.err, kTypeError);
}

} // namespace
