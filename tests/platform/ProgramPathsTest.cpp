// Where the settings file goes: beside the program when a write there can
// succeed, else per user; and a write that fails anyway is said once.
#include "ProgramPaths.h"
#include "Profile.h"
#include "support/RunInChild.h"
#include "support/TempDir.h"

#include <QDir>
#include <QString>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace ks;

int settingsMessages = 0;

void CountSettingsMessages(QtMsgType, const QMessageLogContext&, const QString& text)
{
    if (text.contains(QStringLiteral("ks-settings.ini"))) ++settingsMessages;
}

class ProgramPathsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeReachable(tmp.Root());
        QDir().mkpath(QString::fromStdString(program));
        QDir().mkpath(QString::fromStdString(perUser));
        MakeReachable(program);
        MakeWritableForAll(perUser);
    }
    TempDir tmp;
    std::string program = tmp.Path("program") + "/";
    std::string perUser = tmp.Path("user") + "/";
    std::string beside = program + kSettingsFileName;
};

} // namespace

TEST_F(ProgramPathsTest, AWritableFolderKeepsTheFileBesideTheProgram)
{
    EXPECT_EQ(ChooseSettingsFile(program, perUser), beside);
    WriteFileText(beside, "[COM]\nBaudrate=3\n");
    EXPECT_EQ(ChooseSettingsFile(program, perUser), beside);
    EXPECT_EQ(QDir(QString::fromStdString(program)).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "the write test leaves nothing behind";
}

TEST_F(ProgramPathsTest, AReadOnlyFolderWithAWritableFileMovesTheSettingsPerUser)
{
    // As an installed program would be: the file beside it may be written
    // by everybody, but its folder takes no new file, which the atomic
    // replacement needs.
    WriteFileText(beside, "[COM]\nBaudrate=3\n");
    ::chmod(beside.c_str(), 0666);
    ::chmod(program.c_str(), 0555);
    const int result = RunUnprivileged([this] {
        const std::string chosen = ChooseSettingsFile(program, perUser);
        if (chosen != perUser + kSettingsFileName) return 1;
        // The user's file starts from the presets beside the program.
        if (GetPrivateProfileIntA("COM", "Baudrate", 0, chosen) != 3) return 5;
        if (!WritePrivateProfileStringA("COM", "Baudrate", "5", chosen)) return 2;
        if (GetPrivateProfileIntA("COM", "Baudrate", 0, chosen) != 5) return 3;
        // Written there anyway, every write fails, and that is said once.
        settingsMessages = 0;
        const QtMessageHandler previous = qInstallMessageHandler(CountSettingsMessages);
        int written = 0;
        for (const char* key : {"Baudrate", "Databit", "Parity"})
            written += WritePrivateProfileStringA("COM", key, "1", beside) ? 1 : 0;
        qInstallMessageHandler(previous);
        if (written != 0) return 4;
        if (settingsMessages != 1) return 10 + settingsMessages;
        return 0;
    });
    ::chmod(program.c_str(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFileText(beside), "[COM]\nBaudrate=3\n");
}

TEST_F(ProgramPathsTest, AnUnreadableFileBesideTheProgramIsNotChosen)
{
    // Writing back means reading first; a file that cannot be read would
    // refuse every write.
    MakeWritableForAll(program);
    WriteFileText(beside, "[COM]\nBaudrate=3\n");
    ::chmod(beside.c_str(), 0222);
    const int result = RunUnprivileged([this] { return ChooseSettingsFile(program, perUser) == beside ? 1 : 0; });
    ::chmod(beside.c_str(), 0644);
    EXPECT_EQ(result, 0);
}
