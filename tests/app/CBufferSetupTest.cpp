// The buffer dialog's rules without its widgets: the size texts, the space
// estimate, the settings keys, the first file's name and the checks Start
// makes, in their order, against real folders and files.
#include "CBufferSetup.h"

#include "Profile.h"
#include "support/DiskTempDir.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using DiskDir = DiskTempDir;

CBufferSetup Ready(const DiskDir& disk)
{
    CBufferSetup s;
    s.directory = disk.Path();
    s.fileName = QStringLiteral("Test");
    s.fileNumberText = QStringLiteral("5");
    s.buffersPerFile = 2;
    return s;
}

} // namespace

TEST(CBufferSetup, ByteSizesDropTheirRestAndChangeUnitAt1024)
{
    struct Case {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "0.99 KB"},
        {1535, "1.49 KB"},
        {838862, "819.20 KB"},
        {1048575, "1023.99 KB"},
        {1048576, "0.99 MB"},
        {1073741824, "0.99 GB"},
        {1099511627776, "0.99 TB"},
        {int64_t{7} * 999999 * 419431, "2.67 TB"},
    };
    for (const Case& c : cases) EXPECT_EQ(CBufferSetup::FormatByteSize(c.bytes).toStdString(), c.text) << c.bytes;
}

TEST(CBufferSetup, TheEstimateNeedsMoreFreeThanRequired)
{
    CBufferSetup s;
    s.buffersPerFile = 2;
    s.fileNumberText = QStringLiteral("1");
    EXPECT_EQ(s.SpaceFor(10'000'000).requiredText, QStringLiteral("819.20 KB"));
    s.buffersPerFile = 7;
    s.fileNumberText = QStringLiteral("999999");
    EXPECT_EQ(s.SpaceFor(0).requiredText, QStringLiteral("2.67 TB"));

    s.buffersPerFile = 3;
    s.fileNumberText = QStringLiteral("2");
    const uint64_t required = 6 * CBufferSetup::kBytesPerBuffer;
    CBufferSetup::Space equal = s.SpaceFor(required);
    EXPECT_FALSE(equal.enough);
    EXPECT_EQ(equal.remainedText, QStringLiteral("-"));
    CBufferSetup::Space more = s.SpaceFor(required + 1024);
    EXPECT_TRUE(more.enough);
    EXPECT_EQ(more.remainedText, QStringLiteral("0.99 KB"));
    EXPECT_EQ(more.freeText, CBufferSetup::FormatByteSize(static_cast<int64_t>(required + 1024)));

    // A file size out of the slider's range counts as its nearest end; no
    // digits at all is no file.
    s.buffersPerFile = 40;
    EXPECT_EQ(s.RequiredBytes(), 7 * 2 * CBufferSetup::kBytesPerBuffer);
    s.fileNumberText = QStringLiteral("ab");
    EXPECT_EQ(s.MaxFileNumber(), 0);
    EXPECT_EQ(s.RequiredBytes(), 0u);
}

TEST(CBufferSetup, SettingsKeysReadBackAsWrittenAndCutToTheirLengths)
{
    TempDir dir;
    const std::string ini = dir.Path("ks-settings.ini");
    CBufferSetup fresh;
    fresh.LoadBufferSettings(ini, QStringLiteral("/default/place"));
    EXPECT_EQ(fresh.buffersPerFile, 2);
    EXPECT_EQ(fresh.overwrite, 0);
    EXPECT_EQ(fresh.fileNumberText, QStringLiteral("1"));
    EXPECT_EQ(fresh.directory, QStringLiteral("/default/place"));

    CBufferSetup s = fresh;
    s.buffersPerFile = 6;
    s.overwrite = 1;
    s.fileNumberText = QStringLiteral("999999");
    s.directory = QStringLiteral("/data/logs/");
    s.SaveBufferSettings(ini);
    const std::string text = ReadFileText(ini);
    const std::size_t a = text.find("FileSize=6"), b = text.find("FileNum=999999"), c = text.find("OverWrite=1"),
                      d = text.find("DesPath=/data/logs/");
    ASSERT_NE(d, std::string::npos) << text;
    EXPECT_TRUE(a < b && b < c && c < d) << "written in their order:\n" << text;
    CBufferSetup back;
    back.LoadBufferSettings(ini, QStringLiteral("/default/place"));
    EXPECT_EQ(back.buffersPerFile, 6);
    EXPECT_EQ(back.overwrite, 1);
    EXPECT_EQ(back.fileNumberText, QStringLiteral("999999"));
    EXPECT_EQ(back.directory, QStringLiteral("/data/logs/"));

    // Edited by hand: letters parse to no file number, an over-long folder
    // and file number are cut.
    ks::WritePrivateProfileStringA("BufSetting", "FileNum", "12345678", ini);
    ks::WritePrivateProfileStringA("BufSetting", "DesPath", ("/" + std::string(300, 'd')).c_str(), ini);
    back.LoadBufferSettings(ini, QString());
    EXPECT_EQ(back.fileNumberText, QStringLiteral("123456"));
    EXPECT_EQ(back.directory.size(), CBufferSetup::kDirectoryLength);
    ks::WritePrivateProfileStringA("BufSetting", "FileNum", "abc", ini);
    back.LoadBufferSettings(ini, QString());
    EXPECT_EQ(back.fileNumberText, QStringLiteral("abc"));
    EXPECT_EQ(back.MaxFileNumber(), 0);
}

TEST(CBufferSetup, StartChecksInTheirOrderWithTheirFocus)
{
    DiskDir disk;
    CBufferSetup s = Ready(disk);
    auto check = [&](bool connected = true) { return s.CheckStart(connected); };
    ASSERT_TRUE(check().ok) << check().text.toStdString() << " " << check().messageId;

    EXPECT_EQ(check(false).messageId, 299) << "no probe, nothing else matters";

    // Not a local fixed disk.
    if (std::filesystem::is_directory("/dev/shm")) {
        s.directory = QStringLiteral("/dev/shm");
        EXPECT_EQ(check().messageId, 322);
        EXPECT_EQ(check().focusId, CBufferSetup::kReferenceButton);
    }
    // Missing, and not a directory.
    s.directory = disk.Path() + QStringLiteral("/missing");
    CBufferSetup::Check missing = check();
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.messageId, 0);
    EXPECT_EQ(missing.text, QStringLiteral("No such file or directory")) << "the system's own text";
    EXPECT_EQ(missing.focusId, CBufferSetup::kReferenceButton);
    WriteFileText(disk.Std("plain"), "x");
    s.directory = disk.Path() + QStringLiteral("/plain");
    EXPECT_EQ(check().messageId, 308);

    // The file number before the space: an empty number skips the estimate.
    s = Ready(disk);
    for (const char* number : {"", "0", "1000000"}) {
        s.fileNumberText = QString::fromLatin1(number);
        EXPECT_EQ(check().messageId, 323) << number;
        EXPECT_EQ(check().focusId, CBufferSetup::kFileNumberEdit);
    }
    s.fileNumberText = QStringLiteral("999999");
    s.buffersPerFile = 7; // 2.67 TB, more than any test machine has
    s.fileName.clear();
    EXPECT_EQ(check().messageId, 302);
    s.fileNumberText = QStringLiteral("1");
    EXPECT_EQ(check().messageId, 309);
    EXPECT_EQ(check().focusId, CBufferSetup::kFileNameEdit);
}

TEST(CBufferSetup, TheFirstFileIsNamedAsTypedAndMadeBeforeTheSeriesStarts)
{
    DiskDir disk;
    CBufferSetup s = Ready(disk);
    s.directory = disk.Path() + QStringLiteral("/Logs");
    QDir().mkpath(s.directory);
    s.AppendSeparator();
    s.AppendSeparator();
    EXPECT_EQ(s.directory, disk.Path() + QStringLiteral("/Logs/")) << "one separator, saved with the folder";
    // Upper case is kept: on this file system it names another file.
    EXPECT_EQ(s.CheckPath(), disk.Std("Logs/Test_000000.ksf"));
    s.fileNumberText = QStringLiteral("1");
    EXPECT_EQ(s.CheckPath(), disk.Std("Logs/Test.ksf"));

    EXPECT_EQ(s.PrepareFirstFile(), CBufferSetup::FirstFile::Created);
    EXPECT_TRUE(std::filesystem::exists(s.CheckPath()));
    EXPECT_EQ(std::filesystem::file_size(s.CheckPath()), 0u);
    EXPECT_EQ(s.PrepareFirstFile(), CBufferSetup::FirstFile::Exists);
    s.fileName = QStringLiteral("no-such-folder/Test");
    EXPECT_EQ(s.PrepareFirstFile(), CBufferSetup::FirstFile::CannotCreate);
}

TEST(CBufferSetup, TheDefaultFolderIsMadeLevelByLevel)
{
    DiskDir disk;
    const QString deep = disk.Path() + QStringLiteral("/a/b/c");
    QDir().mkpath(disk.Path() + QStringLiteral("/a"));
    CBufferSetup::CreateDirectoryLevels(deep);
    EXPECT_TRUE(QFileInfo(deep).isDir());
    CBufferSetup::CreateDirectoryLevels(deep); // all there: nothing to do, nothing fails
    EXPECT_TRUE(CBufferSetup::DefaultDirectory().endsWith(QStringLiteral("/Kestrane")));
}
