// ks-convert's searches, run as a process on files written byte by byte:
// the matches of each kind with their lines and items, the counts, the
// direction filter, the exit statuses of grep and the command line's
// refusals.
#include "CaptureBytes.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include "CDisplayFonts.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;
constexpr uint32_t kTime = 1710235800; // 2024-03-12 09:30:00 UTC

// TXD A, RXD z, TXD T, RXD A | RXD T, TXD A, TXD A, TXD T (four to a line
// at the width below): "AT" twice in TXD, once in RXD across the lines.
Bytes DataFile()
{
    StoredStream body;
    body.Data('A').Data('z', true).Data('T').Data('A', true).Data('T', true).Data('A').Data('A').Data('T');
    return CurrentHeader(HeaderFields{}) + body.bytes;
}

Bytes StatusAndStampFile()
{
    HeaderFields fields;
    fields.status = "1";
    fields.stamp = "1";
    StoredStream body;
    // Set bits are low lines; every line starts low.
    body.Status(0x0F)   // CTS rises (the first change of the log)
        .Status(0x07)   // RTS rises while CTS is high
        .Status(0x0F)   // RTS falls
        .Status(0x17)   // RTS rises, CTS falls
        .Status(0x07);  // CTS rises
    for (uint32_t ms : {1500u, 2000u, 2001u, 7200000u, 4294967295u}) body.Stamp(ms, kTime);
    return CurrentHeader(fields) + body.bytes;
}

class ConvertFind : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = dir.Path("data.ksf");
        lines = dir.Path("lines.ksf");
        WriteFileBytes(data, DataFile());
        WriteFileBytes(lines, StatusAndStampFile());
        const int cxChar = CDisplayFonts(16).MeasureCell().cxChar;
        ASSERT_GT(cxChar, 0);
        fourCells = QString::number(4 * cxChar);
    }
    std::string Count(const QStringList& args, const std::string& file, int expectedExit = 0)
    {
        const ConvertRun run = RunConvert(args + QStringList{"--count", Arg(file)});
        EXPECT_EQ(run.exitCode, expectedExit) << args.join(' ').toStdString() << ": " << run.err;
        return run.out;
    }

    TempDir dir;
    std::string data, lines;
    QString fourCells;
};

} // namespace

TEST_F(ConvertFind, DataMatchesListTheirLineItemAndBytes)
{
    const ConvertRun run = RunConvert({"--find-text", "AT", "--line-width", fourCells, Arg(data)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (Lines{
                                  "      1      1  DATA      TXD  41 54",
                                  "      1      4  DATA      RXD  41 54",
                                  "      2      3  DATA      TXD  41 54",
                              }));
    EXPECT_EQ(run.err, "");

    EXPECT_EQ(Count({"--find-text", "AT"}, data), "3\n");
    EXPECT_EQ(Count({"--find-hex", "x41x54", "--dir", "txd"}, data), "2\n");
    EXPECT_EQ(Count({"--find-hex=41 54", "--dir=rxd"}, data), "1\n") << "bytes separated by a space";
    EXPECT_EQ(Count({"--find-hex=0x41 0x54", "--dir=rxd"}, data), "1\n");
    EXPECT_EQ(Count({"--find-hex=4154", "--dir=rxd"}, data), "1\n") << "pairs run together";
    EXPECT_EQ(Count({"--find-text", "AA"}, data), "1\n");
    EXPECT_EQ(Count({"--find-text", "zA"}, data), "1\n");
    EXPECT_EQ(Count({"--find-text", "Az"}, data, 1), "0\n") << "directions never mix";
    EXPECT_EQ(Count({"--find-text", "at"}, data, 1), "0\n") << "case counts";
    EXPECT_EQ(Count({"--find-text", "", "--dir", "rxd"}, data, 2), "") << "an empty pattern finds nothing to find";
    for (const char* unclear : {"0D0", "41zz", "x", ""}) {
        const ConvertRun refused = RunConvert({"--find-hex", unclear, "--count", Arg(data)});
        EXPECT_EQ(refused.exitCode, 2) << unclear;
        EXPECT_NE(refused.err.find(std::string(unclear).empty() || std::string(unclear) == "x" ? "empty" : unclear), std::string::npos)
            << "names what it refuses: " << refused.err;
    }
}

TEST_F(ConvertFind, StatusAndStampSearchesCountAsHighLightAllMarks)
{
    EXPECT_EQ(Count({"--find-status", "RTS=rise,CTS=high"}, lines), "1\n");
    EXPECT_EQ(Count({"--find-status", "rts=RISE"}, lines), "2\n");
    EXPECT_EQ(Count({"--find-status", "CTS=rise"}, lines), "2\n") << "the first change rises from all low";
    EXPECT_EQ(Count({"--find-status", "CTS=change, DSR=low"}, lines), "3\n");
    EXPECT_EQ(Count({"--find-status", "DTR=high"}, lines, 1), "0\n");

    EXPECT_EQ(Count({"--find-stamp", ">2s"}, lines), "3\n");
    EXPECT_EQ(Count({"--find-stamp", "=2000ms"}, lines), "1\n");
    EXPECT_EQ(Count({"--find-stamp", "< 2 s"}, lines), "1\n");
    EXPECT_EQ(Count({"--find-stamp", "<2001ms"}, lines), "2\n");
    EXPECT_EQ(Count({"--find-stamp", "=120min"}, lines), "1\n");
    EXPECT_EQ(Count({"--find-stamp", "=5000000s"}, lines), "1\n") << "saturates at 4294967295 ms";
    EXPECT_EQ(Count({"--find-stamp", ">1193h"}, lines), "1\n");
    EXPECT_EQ(Count({"--find-stamp", ">1194h"}, lines, 1), "0\n");

    const ConvertRun run = RunConvert({"--find-status", "RTS=rise", Arg(lines)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (Lines{
                                  "      1      2  STATUS    RTS=H CTS=H CD=L DTR=L DSR=L  RTS+",
                                  "      1      4  STATUS    RTS=H CTS=L CD=L DTR=L DSR=L  RTS+ CTS-",
                              }));
    const ConvertRun stamp = RunConvert({"--find-stamp", "=2h", Arg(lines)});
    EXPECT_EQ(stamp.OutLines(), (Lines{"      1      9  STAMP     7200000 ms  2024-03-12 09:30:00"}));
}

TEST_F(ConvertFind, NothingFoundIsStatusOneAndTroubleIsTwo)
{
    const ConvertRun none = RunConvert({"--find-text", "nothing", Arg(data)});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "");

    const ConvertRun missing = RunConvert({"--find-text", "AT", Arg(dir.Path("missing.ksf"))});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, "Open file failed!\n");
    const ConvertRun wrongType = RunConvert({"--find-text", "AT", Arg(dir.Path("notes.txt"))});
    EXPECT_EQ(wrongType.exitCode, 2);

    // Several files: each under its name; one match anywhere is a match.
    const ConvertRun several = RunConvert({"--find-text", "AT", "--count", Arg(data), Arg(lines)});
    EXPECT_EQ(several.exitCode, 0);
    EXPECT_EQ(several.out, "== " + data + " ==\n3\n\n== " + lines + " ==\n0\n");
    const ConvertRun partly = RunConvert({"--find-text", "AT", "--count", Arg(data), Arg(dir.Path("missing.ksf"))});
    EXPECT_EQ(partly.exitCode, 2) << "a file that could not be searched";
}

TEST_F(ConvertFind, CommandLinesThatCannotBeSearchedAreUsageErrors)
{
    const std::vector<QStringList> refused{
        {"--find-status", "RTS=up"},
        {"--find-status", "RI=low"},
        {"--find-status", "RTS=low,rts=high"},
        {"--find-status", ""},
        {"--find-stamp", ">2"},
        {"--find-stamp", "2s"},
        {"--find-stamp", ">4294967296ms"},
        {"--find-stamp", ">=2s"},
        {"--find-hex", "x41xZZ"},
        {"--find-hex", QString(261, u'1').replace(u'1', QStringLiteral("x1"))},
        {"--find-text", "AT", "--dir", "sideways"},
        {"--find-status", "RTS=low", "--dir", "txd"},
        {"--find-text", "AT", "--csv"},
        {"--find-text", "AT", "--find-hex", "x41"},
        {"--counters", "--count"},
        {"--dir", "txd"},
        {"--find-text"},
    };
    for (const QStringList& args : refused) {
        const ConvertRun run = RunConvert(args + QStringList{Arg(data)});
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.out, "") << args.join(' ').toStdString();
        EXPECT_NE(run.err.find("Try 'ks-convert --help'"), std::string::npos) << args.join(' ').toStdString();
    }
    const ConvertRun help = RunConvert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--find-text", "--find-hex", "--find-status", "--find-stamp", "--dir", "--count", "grep"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}
