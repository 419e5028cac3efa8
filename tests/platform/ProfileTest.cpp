#include "Profile.h"
#include "support/RunInChild.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <thread>

using namespace ks;

class ProfileTest : public ::testing::Test {
protected:
    TempDir tmp;
    std::string path = tmp.Path("settings.ini");
};

TEST_F(ProfileTest, AbsentFileSectionOrKeyGivesDefaults)
{
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Baudrate", 10, path), 10);
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("BufSetting", "FileNum", "1", buf, sizeof buf, path), 1u);
    EXPECT_STREQ(buf, "1");

    WriteFileText(path, "[COM]\nDatabit=0\n");
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Baudrate", 10, path), 10);
    EXPECT_EQ(GetPrivateProfileIntA("Other", "Databit", 1, path), 1);
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Databit", 1, path), 0);
}

TEST_F(ProfileTest, NamesMatchWithoutRegardToCase)
{
    WriteFileText(path, "[displaymode]\nCRBKCOLOR = 255\n");
    EXPECT_EQ(GetPrivateProfileIntA("DisplayMode", "crBkColor", 0, path), 255);
    WritePrivateProfileStringA("DISPLAYMODE", "crbkcolor", "7", path);
    // The key was replaced in place, not added a second time.
    EXPECT_EQ(ReadFileText(path), "[displaymode]\ncrbkcolor=7\n");
    EXPECT_EQ(GetPrivateProfileIntA("DisplayMode", "crBkColor", 0, path), 7);
}

TEST_F(ProfileTest, IntegersFollowTheLeadingSignAndDigitsRule)
{
    WriteFileText(path, "[S]\na=-12x\nb=abc\nc=+7\nd=\ne=99999999999\nf= 42 \n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "a", 5, path), -12);
    EXPECT_EQ(GetPrivateProfileIntA("S", "b", 5, path), 0);
    EXPECT_EQ(GetPrivateProfileIntA("S", "c", 5, path), 7);
    EXPECT_EQ(GetPrivateProfileIntA("S", "d", 5, path), 5); // empty value: the default
    EXPECT_EQ(GetPrivateProfileIntA("S", "e", 5, path), 2147483647);
    EXPECT_EQ(GetPrivateProfileIntA("S", "f", 5, path), 42);
}

TEST_F(ProfileTest, StringsAreCutToBufferSizeMinusOne)
{
    WriteFileText(path, "[BufSetting]\nFileNum=9999999\nDesPath=" + std::string(300, 'p') + "\n");
    char num[7];
    EXPECT_EQ(GetPrivateProfileStringA("BufSetting", "FileNum", "1", num, sizeof num, path), 6u);
    EXPECT_STREQ(num, "999999");
    EXPECT_EQ(GetPrivateProfileString("BufSetting", "DesPath", "", 259, path), std::string(259, 'p'));
}

TEST_F(ProfileTest, WriteChangesOneLineAndKeepsEverythingElse)
{
    const std::string before = "; comment kept\n[COM]\nBaudrate=10\n  Parity = 2\n\n[Find]\nFindStr=AT\n";
    WriteFileText(path, before);
    EXPECT_TRUE(WritePrivateProfileStringA("COM", "Baudrate", "18", path));
    EXPECT_EQ(ReadFileText(path), "; comment kept\n[COM]\nBaudrate=18\n  Parity = 2\n\n[Find]\nFindStr=AT\n");

    // A new key joins its section, after the last key of it.
    EXPECT_TRUE(WritePrivateProfileStringA("COM", "Stopbit", "1", path));
    EXPECT_EQ(ReadFileText(path),
              "; comment kept\n[COM]\nBaudrate=18\n  Parity = 2\nStopbit=1\n\n[Find]\nFindStr=AT\n");
    EXPECT_EQ(GetPrivateProfileIntA("Find", "Stopbit", -1, path), -1);

    // A value with a line break would split its line: refused, file as it was.
    const std::string kept = ReadFileText(path);
    EXPECT_FALSE(WritePrivateProfileStringA("Find", "FindStr", "a\n[COM]\nBaudrate=3", path));
    EXPECT_FALSE(WritePrivateProfileStringA("Find", "FindStr", "a\rb", path));
    EXPECT_EQ(ReadFileText(path), kept);
}

TEST_F(ProfileTest, FirstWriteCreatesFileAndSection)
{
    EXPECT_TRUE(WritePrivateProfileStringA("DisplayMode", "cxLine", "-1", path));
    EXPECT_TRUE(WritePrivateProfileStringA("COM", "Parity", "0", path));
    EXPECT_EQ(ReadFileText(path), "[DisplayMode]\ncxLine=-1\n[COM]\nParity=0\n");
    EXPECT_EQ(GetPrivateProfileIntA("DisplayMode", "cxLine", 0, path), -1);
}

TEST_F(ProfileTest, EveryLineKeepsItsOwnEnding)
{
    // A file written on another system: CRLF endings, and one LF line.
    WriteFileText(path, "[COM]\r\nBaudrate=3\r\nParity=1\n\r\n[Find]\r\nFindStr=AT\r\n");
    EXPECT_TRUE(WritePrivateProfileStringA("COM", "Baudrate", "18", path));
    EXPECT_EQ(ReadFileText(path), "[COM]\r\nBaudrate=18\r\nParity=1\n\r\n[Find]\r\nFindStr=AT\r\n");
    // Added lines take the ending of the line they follow, or the file's.
    EXPECT_TRUE(WritePrivateProfileStringA("Find", "Txd", "2", path));
    EXPECT_TRUE(WritePrivateProfileStringA("BufSetting", "FileNum", "7", path));
    EXPECT_EQ(ReadFileText(path), "[COM]\r\nBaudrate=18\r\nParity=1\n\r\n[Find]\r\nFindStr=AT\r\nTxd=2\r\n"
                                  "[BufSetting]\r\nFileNum=7\r\n");
}

TEST_F(ProfileTest, ToleratesCarriageReturnsAndMissingFinalNewline)
{
    WriteFileText(path, "[COM]\r\nBaudrate=3\r\nParity=1");
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Baudrate", 10, path), 3);
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Parity", 0, path), 1);
    WritePrivateProfileStringA("COM", "Parity", "2", path);
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Parity", 0, path), 2);
    EXPECT_EQ(GetPrivateProfileIntA("COM", "Baudrate", 10, path), 3);
}

TEST_F(ProfileTest, FailedWriteLeavesTheOldFileWhole)
{
    WriteFileText(path, "[COM]\nBaudrate=10\n");
    // A directory in place of the temporary file's folder makes the write
    // fail; the old file must still be complete afterwards.
    const std::string inMissingDir = tmp.Path("no/such/dir/settings.ini");
    EXPECT_FALSE(WritePrivateProfileStringA("COM", "Baudrate", "1", inMissingDir));
    QFile::setPermissions(QString::fromStdString(tmp.Root()), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool wrote = WritePrivateProfileStringA("COM", "Baudrate", "1", path);
    QFile::setPermissions(QString::fromStdString(tmp.Root()),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!wrote) {
        EXPECT_EQ(ReadFileText(path), "[COM]\nBaudrate=10\n");
    }
    // No temporary files are left behind either way.
    EXPECT_EQ(QDir(QString::fromStdString(tmp.Root())).entryList(QDir::Files).size(), 1);
}

TEST_F(ProfileTest, AFileThatCannotBeReadIsNeverReplaced)
{
    // Readable by nobody but writable by everybody: the read fails, and a
    // write must not replace the file with the one key it knows of.
    MakeReachable(tmp.Root());
    MakeWritableForAll(tmp.Root());
    const std::string before = "[COM]\r\nBaudrate=3\r\nParity=1\r\n[Find]\r\nFindStr=ATZ\r\n";
    WriteFileText(path, before);
    ::chmod(path.c_str(), 0222);
    const int result = RunUnprivileged([this] {
        if (GetPrivateProfileIntA("COM", "Baudrate", 10, path) != 10) return 1; // the default, as for no file
        if (WritePrivateProfileStringA("COM", "Parity", "2", path)) return 2;
        if (WritePrivateProfileStringA("DisplayMode", "Data", "0", path)) return 3;
        return 0;
    });
    ::chmod(path.c_str(), 0644);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFileText(path), before);
    EXPECT_EQ(QDir(QString::fromStdString(tmp.Root())).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file left behind";
}

TEST_F(ProfileTest, AFifoOrAFolderInPlaceOfTheFileIsLeftAloneAtOnce)
{
    ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
    const std::string folder = tmp.Path("folder.ini");
    QDir().mkpath(QString::fromStdString(folder));
    // Bounded: reading a FIFO the usual way would wait for a writer forever.
    const int result = RunInChild([&] {
        for (const std::string& p : {path, folder}) {
            if (GetPrivateProfileIntA("COM", "Baudrate", 10, p) != 10) return 1;
            if (GetPrivateProfileString("Find", "FindStr", "x", 259, p) != "x") return 2;
            if (WritePrivateProfileStringA("COM", "Baudrate", "3", p)) return 3;
        }
        return 0;
    }, 10000);
    EXPECT_EQ(result, 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "not replaced by a file";
}

TEST_F(ProfileTest, TwoThreadsWritingDifferentKeysLoseNone)
{
    constexpr int kEach = 100;
    auto writer = [this](char prefix) {
        for (int i = 0; i < kEach; ++i) {
            const std::string key = prefix + std::to_string(i);
            WritePrivateProfileStringA("S", key.c_str(), std::to_string(i).c_str(), path);
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    int missing = 0;
    for (char prefix : {'a', 'b'}) {
        for (int i = 0; i < kEach; ++i) {
            const std::string key = prefix + std::to_string(i);
            if (GetPrivateProfileIntA("S", key.c_str(), -1, path) != i) ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
}
