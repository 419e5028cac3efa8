// The conversion the converter's window runs: the same text as the command
// line, into a file that is replaced only by a complete output.
#include "CaptureBytes.h"
#include "ConvertJob.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include <QFileInfo>

#include <ctime>

#include <gtest/gtest.h>

namespace {

Bytes SmallCapture()
{
    StoredStream body;
    body.DateTime(1710235800).Data('H').Data('i').Data('\r', true).Data('o', true);
    return CurrentHeader(HeaderFields{}) + body.bytes;
}

} // namespace

TEST(ConvertToFile, WritesWhatTheCommandLinePrintsInEveryForm)
{
    // Times are listed in local time; the process runs in UTC, so does this.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "UTC");
    tzset();
    TempDir dir;
    const std::string capture = dir.Path("cap.ksf");
    WriteFileBytes(capture, SmallCapture());
    const Layout layout = ScreenLayout(ConvertOptions::kDefaultLineWidth);
    const struct {
        OutputForm form;
        const char* option;
    } forms[] = {{OutputForm::Listing, nullptr}, {OutputForm::Csv, "--csv"}, {OutputForm::Counters, "--counters"},
                 {OutputForm::Header, "--header"}};
    for (const auto& f : forms) {
        const std::string target = dir.Path("out.txt");
        ASSERT_EQ(ConvertToFile(capture, target, f.form, layout), "") << static_cast<int>(f.form);
        QStringList args;
        if (f.option) args << QString::fromLatin1(f.option);
        args << Arg(capture);
        const ConvertRun run = RunConvert(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadFileText(target), run.out) << static_cast<int>(f.form);
    }
    if (zone.isNull()) qunsetenv("TZ");
    else qputenv("TZ", zone);
    tzset();
}

TEST(ConvertToFile, FailuresSayWhatAndLeaveTheTargetAlone)
{
    TempDir dir;
    const Layout layout = ScreenLayout(ConvertOptions::kDefaultLineWidth);
    const std::string target = dir.Path("keep.txt");
    WriteFileText(target, "earlier output");

    WriteFileBytes(dir.Path("cap.txt"), SmallCapture());
    EXPECT_EQ(ConvertToFile(dir.Path("cap.txt"), target, OutputForm::Listing, layout), "File type error!");
    Bytes damaged = SmallCapture();
    damaged[5] ^= 1;
    WriteFileBytes(dir.Path("bad.ksf"), damaged);
    EXPECT_EQ(ConvertToFile(dir.Path("bad.ksf"), target, OutputForm::Listing, layout), "Open file failed!");
    EXPECT_EQ(ReadFileText(target), "earlier output");

    WriteFileBytes(dir.Path("cap.ksf"), SmallCapture());
    EXPECT_FALSE(ConvertToFile(dir.Path("cap.ksf"), dir.Path("no/such/out.txt"), OutputForm::Listing, layout).empty());
    EXPECT_FALSE(ConvertToFile(dir.Path("cap.ksf"), dir.Path("cap.ksf"), OutputForm::Listing, layout).empty())
        << "never over its own input";
    EXPECT_EQ(ReadFileBytes(dir.Path("cap.ksf")), SmallCapture());
    EXPECT_FALSE(ConvertToFile("", target, OutputForm::Listing, layout).empty());
    EXPECT_FALSE(ConvertToFile(dir.Path("cap.ksf"), "", OutputForm::Listing, layout).empty());
    EXPECT_EQ(ReadFileText(target), "earlier output");
}

TEST(ConvertToFile, WithoutArgumentsAndWithoutADisplayItStaysACommandLineTool)
{
    const ConvertRun run = RunConvert({});
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 2) << run.err;
}
