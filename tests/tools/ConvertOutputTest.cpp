// The converter's text forms, run as a process on files written here.
#include "CaptureBytes.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include "CDisplayFonts.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

constexpr uint32_t kStart = 1710235800; // 2024-03-12 09:30:00 UTC

HeaderFields StatusAndStamps()
{
    HeaderFields fields;
    fields.status = "1";
    fields.stamp = "1";
    return fields;
}

// One item of every kind, the data with both error kinds.
Bytes EveryKindFile()
{
    StoredStream body;
    body.DateTime(kStart)
        .Status(0x1D)
        .Stamp(1500, kStart + 1)
        .Data('A')
        .Data('\r', true, 0x12)
        .Data(0xE9, true, 0x10)
        .Status(0x1F);
    return CurrentHeader(StatusAndStamps()) + body.bytes;
}

TEST(ConvertOutput, ListingShowsEveryItemKindInLogOrder)
{
    TempDir dir;
    const std::string path = dir.Path("kinds.ksf");
    WriteFileBytes(path, EveryKindFile());

    const ConvertRun run = RunConvert({Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (Lines{
                                  "      1  DATETIME  2024-03-12 09:30:00",
                                  "      1  STATUS    RTS=L CTS=L CD=L DTR=H DSR=L  DTR+",
                                  "      1  STAMP     1500 ms  2024-03-12 09:30:01",
                                  "      1  DATA      TXD  41  A     -",
                                  "      1  DATA      RXD  0D  CR    FRAMING",
                                  "      1  DATA      RXD  E9  .     PARITY",
                                  "      1  STATUS    RTS=L CTS=L CD=L DTR=L DSR=L  DTR-",
                              }));
    EXPECT_EQ(run.err, "");
}

TEST(ConvertOutput, TimesAreLocalTime)
{
    TempDir dir;
    const std::string path = dir.Path("kinds.ksf");
    WriteFileBytes(path, EveryKindFile());

    // Nine hours east of UTC, spelled so that no zone database is needed.
    const ConvertRun run = RunConvert({Arg(path)}, "XST-9");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Lines lines = run.OutLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "      1  DATETIME  2024-03-12 18:30:00");
    EXPECT_EQ(lines[2], "      1  STAMP     1500 ms  2024-03-12 18:30:01");
}

TEST(ConvertOutput, CsvHasHeaderRowEmptyUnusedColumnsAndQuotedSeparators)
{
    TempDir dir;
    const std::string path = dir.Path("csv.ksf");
    StoredStream body;
    body.Status(0x1D).Data(',').Data('"', true).Data(' ').Stamp(20, kStart).DateTime(kStart);
    WriteFileBytes(path, CurrentHeader(StatusAndStamps()) + body.bytes);

    const ConvertRun run = RunConvert({"--csv", Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (Lines{
                                  "line,kind,direction,hex,char,error,rts,cts,cd,dtr,dsr,changes,elapsed_ms,time",
                                  "1,STATUS,,,,,L,L,L,H,L,DTR+,,",
                                  "1,DATA,TXD,2C,\",\",,,,,,,,,",
                                  "1,DATA,RXD,22,\"\"\"\",,,,,,,,,",
                                  "1,DATA,TXD,20,SP,,,,,,,,,",
                                  "1,STAMP,,,,,,,,,,,20,2024-03-12 09:30:00",
                                  "1,DATETIME,,,,,,,,,,,,2024-03-12 09:30:00",
                              }));
}

TEST(ConvertOutput, OldFileCharactersCarryTheirLineLevelsAndTicksBecomeStamps)
{
    TempDir dir;
    const std::string path = dir.Path("old.df");
    OldStream body;
    // RTS inactive, the other four active: one status change, then the character.
    body.Txd('A', 0x08).Rxd('B', 0x08).Tick(150, kStart).ErrorChar(0x3E, 0x0A);
    WriteFileBytes(path, OldHeader(StatusAndStamps()) + body.bytes);

    const ConvertRun run = RunConvert({Arg(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.OutLines(), (Lines{
                                  "      1  STATUS    RTS=L CTS=H CD=H DTR=H DSR=H  CTS+ CD+ DTR+ DSR+",
                                  "      1  DATA      TXD  41  A     -",
                                  "      1  DATA      RXD  42  B     -",
                                  "      1  STAMP     1500 ms  2024-03-12 09:30:00",
                                  "      1  DATA      RXD  3E  >     FRAMING",
                              }));
}

TEST(ConvertOutput, HeaderGivesTheStoredSettingsWithSettingsFileKeys)
{
    TempDir dir;
    HeaderFields fields;
    fields.dataMode = "2";
    fields.crDataTXD = 1;
    fields.crDataRXD = 2;
    fields.crSpecChar = 3;
    fields.error = "0";
    fields.crErrFrame = 4;
    fields.crErrParity = 5;
    fields.status = "1";
    fields.stamp = "1";
    fields.stampMode = "3";
    fields.dateTime = "0";
    fields.crStampFore = 6;
    fields.crStampBack = 7;
    fields.noDisplay = "1";
    fields.crBkColor = 0;
    fields.cxLine = 640;
    WriteFileBytes(dir.Path("a.ksf"), CurrentHeader(fields));
    fields.dateTime = "1"; // an old header has no such field: it reads as 0
    WriteFileBytes(dir.Path("b.df"), OldHeader(fields));

    const Lines expected{"Data=1",     "DataMode=2",  "crDataTXD=1",   "crDataRXD=2",   "crSpecChar=3", "Error=0",
                         "crErrFrame=4", "crErrParity=5", "Status=1",   "Stamp=1",       "StampMode=3",  "DateTime=0",
                         "crStampFore=6", "crStampBack=7", "NoDisplay=1", "crBkColor=0"};
    for (const char* name : {"a.ksf", "b.df"}) {
        const ConvertRun run = RunConvert({"--header", Arg(dir.Path(name))});
        ASSERT_EQ(run.exitCode, 0) << name << run.err;
        EXPECT_EQ(run.OutLines(), expected) << name;
    }
}

TEST(ConvertOutput, LineWidthDecidesTheDisplayLineNumbers)
{
    TempDir dir;
    const std::string path = dir.Path("thirty.ksf");
    StoredStream body;
    for (int i = 0; i < 30; ++i) body.Data(static_cast<uint8_t>('0' + i));
    WriteFileBytes(path, CurrentHeader(HeaderFields{}) + body.bytes);

    // The converter lays lines out with the same font cell as measured here.
    const int cxChar = CDisplayFonts(16).MeasureCell().cxChar;
    ASSERT_GT(cxChar, 0);

    const auto lineNumbers = [&](const QStringList& extra) {
        ConvertRun run = RunConvert(extra + QStringList{"--csv", Arg(path)});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::vector<int> numbers;
        const Lines lines = run.OutLines();
        for (std::size_t i = 1; i < lines.size(); ++i) numbers.push_back(std::stoi(lines[i]));
        return numbers;
    };
    const auto expectedFor = [](int perLine) {
        std::vector<int> numbers;
        for (int i = 0; i < 30; ++i) numbers.push_back(i / perLine + 1);
        return numbers;
    };

    EXPECT_EQ(lineNumbers({}), expectedFor(30)) << "770 pixels by default";
    // Exactly ten cells fit; one pixel less leaves room for nine.
    EXPECT_EQ(lineNumbers({"--line-width", QString::number(10 * cxChar)}), expectedFor(10));
    EXPECT_EQ(lineNumbers({QString("--line-width=%1").arg(10 * cxChar - 1)}), expectedFor(9));
    // An item wider than the line stands alone on its own line.
    EXPECT_EQ(lineNumbers({"--line-width", "1"}), expectedFor(1));
}

TEST(ConvertOutput, SeveralFilesAreIntroducedByNameAndABadOneDoesNotStopTheRest)
{
    TempDir dir;
    StoredStream current;
    current.Data('A').Data('B', true);
    OldStream old;
    old.Rxd('x', 0x1F);
    const std::string a = dir.Path("a.ksf"), bad = dir.Path("missing.ksf"), b = dir.Path("b.df");
    WriteFileBytes(a, CurrentHeader(HeaderFields{}) + current.bytes);
    WriteFileBytes(b, OldHeader(HeaderFields{}) + old.bytes);

    const ConvertRun run = RunConvert({"--counters", Arg(a), Arg(bad), Arg(b)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, bad + ": Open file failed!\n");
    const uint32_t first[13] = {1, 1};
    const uint32_t third[13] = {0, 1};
    EXPECT_EQ(run.out, "== " + a + " ==\n" + CountersText(first) + "\n== " + bad + " ==\n\n== " + b +
                           " ==\n" + CountersText(third));
}

TEST(ConvertOutput, SampleCapturesConvert)
{
    const std::string root = KS_SOURCE_DIR;
    for (const char* name : {"/samples/modem-session.ksf", "/samples/old-format.df"}) {
        const Bytes file = ReadFileBytes(root + name);
        const bool old = std::string(name).ends_with(".df");
        const ReferenceResult expected = ReferenceCounters(file, old);
        ASSERT_TRUE(expected.ok) << name;
        const ConvertRun run = RunConvert({"--counters", Arg(root + name)});
        ASSERT_EQ(run.exitCode, 0) << name << run.err;
        EXPECT_EQ(run.out, CountersText(expected.counters)) << name;
        const ConvertRun listing = RunConvert({Arg(root + name)});
        EXPECT_EQ(listing.exitCode, 0) << name;
        EXPECT_GT(listing.OutLines().size(), 50u) << name;
    }
}

} // namespace
