// The converter and the files it is pointed at the way users point it: the
// target naming the capture by another spelling or through a link, standard
// output sent into the capture, a name that is not UTF-8, and names that are
// not files at all (a FIFO, a device).
#include "CaptureBytes.h"
#include "ConvertJob.h"
#include "ConvertRunner.h"
#include "support/TempDir.h"

#include <QString>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

Bytes SmallCapture()
{
    StoredStream body;
    body.Data('H').Data('i').Data('!', true);
    return CurrentHeader(HeaderFields{}) + body.bytes;
}

const char kCounters[] = "TXD:2\nRXD:1\nRTS:0\nRTS:0\nCTS:0\nCTS:0\nCD:0\nCD:0\nDTR:0\nDTR:0\nDSR:0\nDSR:0\nERR:0\n";

} // namespace

TEST(ConvertPaths, ATargetThatIsTheCaptureUnderAnotherNameIsRefused)
{
    TempDir dir;
    const std::string capture = dir.Path("x.ksf");
    WriteFileBytes(capture, SmallCapture());
    ASSERT_EQ(::mkdir(dir.Path("sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(capture.c_str(), dir.Path("soft.txt").c_str()), 0);
    ASSERT_EQ(::link(capture.c_str(), dir.Path("hard.txt").c_str()), 0);
    const Layout layout = ScreenLayout(ConvertOptions::kDefaultLineWidth);
    for (const std::string& target : {dir.Path("sub/../x.ksf"), dir.Root() + "./x.ksf", dir.Path("soft.txt"),
                                      dir.Path("hard.txt")}) {
        EXPECT_EQ(ConvertToFile(capture, target, OutputForm::Listing, layout), "The target must not be the capture file.")
            << target;
        EXPECT_EQ(ReadFileBytes(capture), SmallCapture()) << target;
    }
    struct stat st {};
    ASSERT_EQ(::lstat(dir.Path("soft.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link is left as it was";
    EXPECT_EQ(ConvertToFile(capture, dir.Path("x.txt"), OutputForm::Counters, layout), "");
    EXPECT_EQ(ReadFileText(dir.Path("x.txt")), kCounters);
}

TEST(ConvertPaths, StandardOutputIntoTheCaptureIsRefused)
{
    TempDir dir;
    WriteFileBytes(dir.Path("x.ksf"), SmallCapture());
    WriteFileBytes(dir.Path("y.ksf"), SmallCapture());
    const ConvertRun run = RunConvertInShell(QStringLiteral("\"$KS_CONVERT\" --counters y.ksf ./x.ksf >> x.ksf"),
                                             QString::fromStdString(dir.Root()));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("x.ksf: the output is this capture file"), std::string::npos) << run.err;
    const Bytes after = ReadFileBytes(dir.Path("x.ksf"));
    ASSERT_GE(after.size(), SmallCapture().size());
    EXPECT_EQ(Bytes(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(SmallCapture().size())), SmallCapture());
    EXPECT_NE(std::string(after.begin(), after.end()).find(kCounters), std::string::npos) << "the other file is converted";
}

TEST(ConvertPaths, ANameInLatinOneOpensAsItStands)
{
    // "café.ksf" as a Latin-1 file system stores it: 0xE9 alone is not UTF-8.
    TempDir dir;
    WriteFileBytes(dir.Root() + "caf\xE9.ksf", SmallCapture()); // raw bytes, not through a QString
    const ConvertRun run = RunConvertInShell(QStringLiteral("\"$KS_CONVERT\" --counters \"$(printf 'caf\\351.ksf')\""),
                                             QString::fromStdString(dir.Root()));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, kCounters);
    ::unlink((dir.Root() + "caf\xE9.ksf").c_str()); // the folder's clean-up goes through QString names
}

TEST(ConvertPaths, AFifoOrADeviceIsRefusedAtOnce)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("pipe.ksf").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(dir.Path("pipe.df").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.Path("zero.ksf").c_str()), 0);
    for (const char* name : {"pipe.ksf", "pipe.df", "zero.ksf"}) {
        const ConvertRun run = RunConvert({Arg(dir.Path(name))});
        EXPECT_TRUE(run.finished) << name;
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_EQ(run.err, "Open file failed!\n") << name;
    }
}
