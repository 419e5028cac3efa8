// The program ended from outside: the desktop session closing, a service
// manager or a terminal sending SIGTERM, SIGHUP or SIGINT. It closes the
// normal way (settings written back), and a capture nobody could be asked
// about is kept and offered at the next start.
#include "AppFixture.h"

#include "CCaptureFile.h"
#include "CLines.h"
#include "CommandIds.h"
#include "CSplashWnd.h"
#include "Profile.h"
#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// A burst of `count` characters from a worker thread, as the link delivers it.
void FeedCharacters(CAnalyzerDoc* doc, int count)
{
    std::vector<uint8_t> block;
    for (int i = 0; i < count; ++i) {
        block.push_back(i % 2 ? 0x28 : 0x20);
        block.push_back(static_cast<uint8_t>('a' + i % 26));
    }
    std::thread worker([&] {
        CAnalyzerDoc::MonitorDataCallback(block.data(), static_cast<uint32_t>(block.size()), doc);
        CAnalyzerDoc::MonitorDataCallback(nullptr, 0, doc);
    });
    worker.join();
}

class Termination : public AppFixture {
protected:
    bool Start()
    {
        Setup setup;
        setup.show = false; // no link: the test feeds the records itself
        if (!StartApp(setup)) return false;
        app->quitApplication = [this] { quit = true; };
        return true;
    }
    // Sends `signal` to this process and runs the loop until the program
    // has handled it.
    bool Receive(int signal)
    {
        ::kill(::getpid(), signal);
        return WaitUntil([this] { return quit; });
    }
    bool quit = false;
};

// Whether the process has the transport library mapped: the link is open,
// so the window is up.
bool HasLoadedTransport(int pid)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libCorvane.so") != std::string::npos) return true;
    return false;
}

} // namespace

TEST_F(Termination, SigtermDuringACaptureKeepsTheCaptureAndTheSettings)
{
    ASSERT_TRUE(Start());
    Frame()->RunCommand(ID_MODE_HEX_H);
    Doc()->OnAnalyzerStart();
    FeedCharacters(Doc(), 500);
    ASSERT_TRUE(Receive(SIGTERM));

    EXPECT_FALSE(Doc()->IsRunning()) << "the capture was stopped";
    EXPECT_TRUE(messages.Shown().empty()) << "nobody is there to answer";
    const QStringList kept = CAnalyzerApp::RecoveredCaptures();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(kept.first().startsWith(QString::fromStdString(dir.Path("data/recovered-"))));
    CCaptureFile file;
    ASSERT_EQ(file.Read(QFile::encodeName(kept.first()).toStdString()), CCaptureFile::Result::Ok);
    CDisplayMode mode = Doc()->DisplayMode();
    ASSERT_TRUE(file.ParseHeader(mode));
    EXPECT_EQ(mode.DataMode, 1);
    CLines lines;
    file.DecodeBody(lines, mode);
    EXPECT_EQ(lines.GetCounters()[CNT_TXD] + lines.GetCounters()[CNT_RXD], 500u);

    app.reset(); // what follows the end of the loop
    EXPECT_EQ(ks::GetPrivateProfileIntA("DisplayMode", "DataMode", -1, dir.Path("ks-settings.ini")), 1)
        << "settings written back";
}

TEST_F(Termination, ARunningCaptureIsKeptOnDiskUntilItIsSavedClearedOrClosed)
{
    // Nothing ends this program the hard way here: what a kill would leave
    // is the recovery file as it stands (the hard-stop tests kill a real one).
    ASSERT_TRUE(Start());
    Doc()->OnAnalyzerStart();
    FeedCharacters(Doc(), 30);
    ASSERT_TRUE(WaitUntil([] { return CAnalyzerApp::RecoveredCaptures().size() == 1; }, 4000))
        << "brought up to date while the capture runs";
    CCaptureFile file;
    ASSERT_EQ(file.Read(QFile::encodeName(CAnalyzerApp::RecoveredCaptures().first()).toStdString()), CCaptureFile::Result::Ok);
    CDisplayMode mode = Doc()->DisplayMode();
    ASSERT_TRUE(file.ParseHeader(mode));
    CLines lines;
    file.DecodeBody(lines, mode);
    EXPECT_EQ(lines.GetCounters()[CNT_TXD] + lines.GetCounters()[CNT_RXD], 30u);

    ASSERT_TRUE(Doc()->OnSaveDocument(dir.Path("saved.ksf")));
    EXPECT_TRUE(CAnalyzerApp::RecoveredCaptures().isEmpty()) << "saved";

    Doc()->OnAnalyzerStart();
    FeedCharacters(Doc(), 10);
    Doc()->OnAnalyzerStop();
    EXPECT_EQ(CAnalyzerApp::RecoveredCaptures().size(), 1) << "brought up to date at the stop";
    Doc()->OnNewDocument();
    EXPECT_TRUE(CAnalyzerApp::RecoveredCaptures().isEmpty()) << "cleared";

    Doc()->OnAnalyzerStart();
    FeedCharacters(Doc(), 10);
    Doc()->OnAnalyzerStop();
    ASSERT_EQ(CAnalyzerApp::RecoveredCaptures().size(), 1);
    app.reset(); // closed the normal way, the user having said no to saving
    EXPECT_TRUE(CAnalyzerApp::RecoveredCaptures().isEmpty()) << "closed";
}

TEST_F(Termination, SighupWithNothingUnsavedKeepsNoCapture)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Receive(SIGHUP));
    EXPECT_TRUE(CAnalyzerApp::RecoveredCaptures().isEmpty());
    app.reset();
    EXPECT_EQ(ks::GetPrivateProfileIntA("COM", "Baudrate", -1, dir.Path("ks-settings.ini")), 10);
}

TEST_F(Termination, TheKeptCaptureIsOfferedAtTheNextStart)
{
    // Three sessions ended with unsaved captures of 10, 20 and 30 characters.
    for (int count : {10, 20, 30}) {
        quit = false;
        ASSERT_TRUE(Start());
        Doc()->OnAnalyzerStart();
        FeedCharacters(Doc(), count);
        ASSERT_TRUE(Receive(SIGINT));
        app.reset();
    }
    ASSERT_EQ(CAnalyzerApp::RecoveredCaptures().size(), 3);

    // No discards each in turn. (The later sessions were offered the
    // earlier captures too; the test's answer, Ok, kept them.)
    const std::size_t askedBefore = messages.Shown().size();
    messages.yesNoCancel = ks::MessageResult::No;
    ASSERT_TRUE(Start());
    EXPECT_EQ(messages.Shown().size() - askedBefore, 3u) << "asked about each, discarding every one";
    EXPECT_TRUE(CAnalyzerApp::RecoveredCaptures().isEmpty());
    app.reset();
}

TEST_F(Termination, YesOpensTheKeptCaptureUntitledAndCancelKeepsIt)
{
    quit = false;
    ASSERT_TRUE(Start());
    Doc()->OnAnalyzerStart();
    FeedCharacters(Doc(), 40);
    ASSERT_TRUE(Receive(SIGTERM));
    app.reset();

    messages.yesNoCancel = ks::MessageResult::Cancel;
    ASSERT_TRUE(Start());
    EXPECT_EQ(CAnalyzerApp::RecoveredCaptures().size(), 1) << "kept for the next start";
    EXPECT_EQ(Doc()->Lines().GetCounters()[CNT_TXD], 0u);
    app.reset();

    messages.yesNoCancel = ks::MessageResult::Yes;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(CAnalyzerApp::RecoveredCaptures().isEmpty());
    EXPECT_EQ(Doc()->Lines().GetCounters()[CNT_TXD] + Doc()->Lines().GetCounters()[CNT_RXD], 40u);
    EXPECT_TRUE(Doc()->PathName().empty()) << "saved under a name of the user's choosing";
    EXPECT_TRUE(Doc()->Lines().IsModified());
}

TEST(TerminationOfTheProgram, SigtermAndSighupWriteTheSettingsBack)
{
    // The program itself, in a folder of its own so that its settings file
    // is this test's.
    for (int signal : {SIGTERM, SIGHUP}) {
        TempDir program;
        for (const char* f : {"kestrane", "libCorvane.so"})
            std::filesystem::copy_file(QCoreApplication::applicationDirPath().toStdString() + "/" + f, program.Path(f));
        ChildProcess child;
        ASSERT_TRUE(child.Start(program.Path("kestrane"), {}, {{"QT_QPA_PLATFORM", "offscreen"}, {"KS_SIM_SCENARIO", "modem"}}));
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HasLoadedTransport(child.Pid()) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(HasLoadedTransport(child.Pid())) << child.Errors();
        child.Signal(signal);
        EXPECT_EQ(child.Finish(), 0) << "closed, not killed: " << child.Errors();
        const std::string settings = ReadFileText(program.Path("ks-settings.ini"));
        EXPECT_NE(settings.find("[DisplayMode]"), std::string::npos) << signal;
        EXPECT_NE(settings.find("cxLine="), std::string::npos) << signal;
        EXPECT_NE(settings.find("[COM]"), std::string::npos) << signal;
        EXPECT_NE(settings.find("Baudrate=10"), std::string::npos) << signal;
    }
}

TEST(TerminationOfTheProgram, ARecoveredCaptureWaitingSurvivesTheSplashAndASignalDuringTheQuestion)
{
    // The program itself with its splash, a recovered capture waiting: the
    // question stays open past the splash's close, and a signal while it is
    // asked ends the program with the capture kept for the next start.
    TempDir program;
    for (const char* f : {"kestrane", "libCorvane.so"})
        std::filesystem::copy_file(QCoreApplication::applicationDirPath().toStdString() + "/" + f, program.Path(f));
    std::filesystem::create_directories(program.Path("data/Kestrane"));
    const std::string recovered = program.Path("data/Kestrane/recovered-20261201-120000.ksf");
    std::filesystem::copy_file(std::string(KS_SOURCE_DIR) + "/samples/modem-session.ksf", recovered);
    ChildProcess child;
    ASSERT_TRUE(child.Start(program.Path("kestrane"), {},
                            {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_DATA_HOME", program.Path("data")}}));
    // The splash closes 1.3 s after it opens, its fade after that; the start
    // before it takes a second or two at most, sanitizers included.
    std::this_thread::sleep_for(std::chrono::milliseconds(CSplashWnd::kCloseAfterMs + 3000));
    ASSERT_EQ(::kill(child.Pid(), 0), 0) << "ended while asking: " << child.Errors();
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Finish(10000), 0) << child.Errors();
    EXPECT_TRUE(std::filesystem::exists(recovered));
}
