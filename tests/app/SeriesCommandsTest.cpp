// Long captures to disk from the live program: Buffer setup (226) clears the
// log after asking, the dialog's Start and Stop run a series through the
// document (1234, 1235) on the simulated probe's numbered full-rate traffic,
// and each way a series ends (Stop, a full series, a pulled probe, a write
// error, a low disk, closing the dialog) leaves every record that was taken
// in files the program opens. Buffers are made small so that a second of
// traffic fills many.
#include "AppFixture.h"

#include "CBufferDlg.h"
#include "CSeriesControl.h"
#include "CToolBarStatus.h"
#include "CommandIds.h"
#include "LocalStrings.h"
#include "SeriesNames.h"
#include "DeviceNotice.h"
#include "TestNoticeSource.h"
#include "WindowMessages.h"
#include "support/DiskTempDir.h"
#include "support/SeriesFiles.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <csignal>
#include <thread>
#include <filesystem>

#include <sys/resource.h>

namespace {

// Answers questions as told and keeps every text shown.
class AnsweringMessages : public ks::MessageService {
public:
    ks::MessageResult Show(const QString& text, ks::MessageButtons buttons) override
    {
        std::lock_guard<std::mutex> guard(mutex);
        shown.push_back(text);
        if (buttons == ks::MessageButtons::YesNo || buttons == ks::MessageButtons::YesNoCancel)
            return answerYes ? ks::MessageResult::Yes : ks::MessageResult::No;
        return ks::MessageResult::Ok;
    }
    std::vector<QString> Shown()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return shown;
    }
    bool WasShown(const QString& text)
    {
        const std::vector<QString> texts = Shown();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    bool answerYes = true;

private:
    std::mutex mutex;
    std::vector<QString> shown;
};

void Click(CBufferDlg& dlg, int id)
{
    auto* button = qobject_cast<QPushButton*>(dlg.Control(id));
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isEnabled()) << id;
    button->click();
}

QString Text(CBufferDlg& dlg, int id) { return static_cast<QLabel*>(dlg.Control(id))->text(); }

class SeriesCommands : public AppFixture {
protected:
    // 20,000 bytes a buffer: about 10,000 records, a fifth of a second at
    // the full line rate.
    void StartSeriesApp(uint64_t diskFreeThreshold = 0)
    {
        WriteFileText(dir.Path("ks-settings.ini"), "[COM]\nBaudrate=18\n[BufSetting]\nDesPath=" + disk.Std() + "\n");
        Setup setup;
        setup.scenario = "full";
        ASSERT_TRUE(StartApp(setup));
        ASSERT_TRUE(Doc()->IsConnected());
        ks::SetMessageService(&answers);
        SeriesLimits limits;
        limits.appendLimit = 20000;
        limits.bufferCapacity = 21000;
        limits.diskFreeThreshold = diskFreeThreshold;
        Doc()->Series().SetLimitsForTesting(limits);
    }

    // Runs command 226 with `inside` driving the dialog instead of a user.
    void RunSetup(const std::function<void(CBufferDlg&)>& inside)
    {
        Doc()->runDialog = [&](QDialog& dialog) {
            auto& dlg = static_cast<CBufferDlg&>(dialog);
            dlg.show();
            inside(dlg);
            if (dlg.isVisible()) Click(dlg, 167);
            return dialog.result();
        };
        ASSERT_TRUE(Frame()->RunCommand(ID_BUFFER_SETUP));
    }

    static void Fill(CBufferDlg& dlg, const QString& name, int fileSize, const QString& files, bool overwrite)
    {
        static_cast<QLineEdit*>(dlg.Control(200))->setText(name);
        static_cast<QSlider*>(dlg.Control(202))->setValue(fileSize);
        static_cast<QLineEdit*>(dlg.Control(204))->setText(files);
        static_cast<QCheckBox*>(dlg.Control(205))->setChecked(overwrite);
    }

    std::string File(uint32_t n, uint32_t maxFiles) const { return series::FileName(disk.Std("run"), n, maxFiles); }

    // The files of the series that exist, in number order.
    std::vector<SeriesFileContent> Files(uint32_t maxFiles) const
    {
        std::vector<SeriesFileContent> files;
        for (uint32_t n = 0; n < maxFiles && std::filesystem::exists(File(n, maxFiles)); ++n)
            files.push_back(ReadSeriesFile(File(n, maxFiles)));
        return files;
    }

    // Every file opens, and the numbered pairs run on without a gap through
    // the files in the given order, from pair 0 or (when `fromZero` is
    // false) from the first whole pair; the count of pairs.
    static uint64_t CheckPairs(const std::vector<SeriesFileContent>& files, bool fromZero = true)
    {
        PairChecker pairs = fromZero ? PairChecker(0) : PairChecker::Synchronising();
        for (std::size_t n = 0; n < files.size(); ++n) {
            EXPECT_TRUE(files[n].opened) << "file " << n;
            EXPECT_EQ(files[n].readerData, DataOf(files[n].tokens)) << "file " << n;
            EXPECT_TRUE(pairs.Take(files[n].tokens)) << "file " << n << ": " << pairs.Problem();
        }
        return pairs.Next();
    }

    uint32_t FilesCreated() const { return Doc()->Series().Writer().GetStats().filesCreated; }

    // Characters in the line store, read as the view reads it.
    uint32_t TxdCount() const
    {
        CStoreGuard guard(Doc()->StoreLock());
        return Doc()->Lines().GetCounters()[CNT_TXD];
    }

    DiskTempDir disk;
    AnsweringMessages answers;
};

} // namespace

TEST_F(SeriesCommands, BufferSetupAsksBeforeItClearsTheLogAndSavesTheDialogsSettings)
{
    StartSeriesApp();
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_START));
    ASSERT_TRUE(WaitUntil([this] { return TxdCount() > 100; }));
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_STOP));
    const uint32_t captured = TxdCount();

    int shown = 0;
    answers.answerYes = false;
    RunSetup([&](CBufferDlg&) { ++shown; });
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(TxdCount(), captured) << "No keeps the log";
    EXPECT_TRUE(answers.WasShown(QStringLiteral("This operation will CLEAR the Current log. Do you want to continue?")));

    answers.answerYes = true;
    RunSetup([&](CBufferDlg& dlg) {
        ++shown;
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Buffer Setup"));
        EXPECT_EQ(static_cast<QLineEdit*>(dlg.Control(197))->text(), disk.Path());
        EXPECT_FALSE(dlg.Control(190)->isEnabled());
        EXPECT_FALSE(dlg.Control(195)->isVisible());
        EXPECT_EQ(Text(dlg, 193), QStringLiteral("Stop Time:"));
        EXPECT_EQ(Text(dlg, 209), QStringLiteral("819.20 KB")) << "two buffers, one file";
        EXPECT_NE(Text(dlg, 207), QStringLiteral("-"));
        Fill(dlg, QStringLiteral("kept"), 4, QStringLiteral("12"), true);
        static_cast<QLineEdit*>(dlg.Control(197))->setText(disk.Path() + QStringLiteral("/"));
    });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(TxdCount(), 0u) << "Yes clears the log";
    const std::string ini = ReadFileText(dir.Path("ks-settings.ini"));
    for (const std::string& line : {std::string("FileSize=4"), std::string("FileNum=12"), std::string("OverWrite=1"),
                                    "DesPath=" + disk.Std() + "/"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
    EXPECT_EQ(Doc()->Series().Setup().fileName, QStringLiteral("kept")) << "the values stay for the next showing";
}

TEST_F(SeriesCommands, ASeriesKeepsEveryRecordInNumberedFilesAndStopReturnsToMonitoring)
{
    StartSeriesApp();
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 2, QStringLiteral("50"), false);
        Click(dlg, 189);
        ASSERT_TRUE(dlg.IsRunning());
        EXPECT_TRUE(Doc()->IsRunning());
        EXPECT_EQ(Text(dlg, 193), QStringLiteral("Current Time:"));
        EXPECT_FALSE(Text(dlg, 192).isEmpty());
        for (int id : {167, 189, 197, 198, 200, 202, 204, 205}) EXPECT_FALSE(dlg.Control(id)->isEnabled()) << id;
        EXPECT_TRUE(dlg.Control(190)->isEnabled());
        ASSERT_TRUE(WaitUntil([&] { return dlg.ReadingShown(); }));
        EXPECT_TRUE(dlg.Control(195)->isVisible());
        EXPECT_EQ(Text(dlg, 195), QStringLiteral("Reading data!"));
        ASSERT_TRUE(WaitUntil([&] { return FilesCreated() >= 3; }, 10000));
        Click(dlg, 190);
        EXPECT_FALSE(dlg.IsRunning());
        EXPECT_EQ(Text(dlg, 193), QStringLiteral("Stop Time:"));
        EXPECT_FALSE(Text(dlg, 194).isEmpty());
        EXPECT_FALSE(dlg.Control(195)->isVisible());
        EXPECT_TRUE(dlg.Control(189)->isEnabled());
    });
    EXPECT_EQ(TxdCount(), 0u) << "a series bypasses the display";
    EXPECT_TRUE(Doc()->IsConnected());
    EXPECT_FALSE(Doc()->IsRunning()) << "back on the monitor path, stopped";

    const std::vector<SeriesFileContent> files = Files(50);
    ASSERT_GE(files.size(), 3u);
    EXPECT_GT(CheckPairs(files), 20000u);
    for (std::size_t n = 0; n < files.size(); ++n) {
        ASSERT_FALSE(files[n].tokens.empty());
        EXPECT_EQ(files[n].tokens.front().kind, SeriesToken::Mark) << n;
        EXPECT_EQ(files[n].tokens.back().kind, SeriesToken::Mark) << n;
        EXPECT_EQ(files[n].mode.Data, 1);
    }
}

TEST_F(SeriesCommands, AFullSeriesStopsByItselfAndOverwriteGoesRoundAgain)
{
    StartSeriesApp();
    // Without Overwrite: two files of two buffers, then the series stops.
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 2, QStringLiteral("2"), false);
        Click(dlg, 189);
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsRunning(); }, 10000)) << "the dialog's Stop came by itself";
        EXPECT_TRUE(dlg.isVisible());
    });
    std::vector<SeriesFileContent> files = Files(2);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(File(2, 2)));
    EXPECT_GT(CheckPairs(files), 15000u);

    // With Overwrite the first file is made again and continues the second.
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 2, QStringLiteral("2"), true);
        Click(dlg, 189); // the first file exists: answered Yes
        ASSERT_TRUE(WaitUntil([&] { return FilesCreated() >= 3; }, 10000));
        EXPECT_TRUE(dlg.IsRunning());
        Click(dlg, 190);
    });
    files = Files(2);
    ASSERT_EQ(files.size(), 2u);
    // Files are made 0, 1, 0, 1, ...: the one made last holds the newest
    // records and follows the other without a gap.
    const uint32_t created = FilesCreated();
    ASSERT_GE(created, 3u);
    const std::size_t newest = (created - 1) % 2;
    const uint64_t last = CheckPairs({files[1 - newest], files[newest]}, false);
    EXPECT_GT(last, 15000u);
}

TEST_F(SeriesCommands, APulledProbeEndsTheSeriesWithEverythingItSent)
{
    StartSeriesApp();
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 3, QStringLiteral("100"), false);
        Click(dlg, 189);
        ASSERT_TRUE(WaitUntil([&] { return FilesCreated() >= 2; }, 10000));
        SetUnplugged(true);
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsRunning(); }, 10000)) << "closing the lost link stops the series";
    });
    EXPECT_FALSE(Doc()->IsConnected());
    EXPECT_EQ(Doc()->Link(), nullptr);
    const std::vector<SeriesFileContent> files = Files(100);
    ASSERT_GE(files.size(), 2u);
    EXPECT_GT(CheckPairs(files), 10000u);
    EXPECT_EQ(files.back().tokens.back().kind, SeriesToken::Mark) << "the stop mark";
}

TEST_F(SeriesCommands, ARemovalNoticeEndsTheSeriesFirstAndLeavesNoLink)
{
    StartSeriesApp();
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 3, QStringLiteral("100"), false);
        Click(dlg, 189);
        ASSERT_TRUE(WaitUntil([&] { return FilesCreated() >= 2; }, 10000));
        // The platform's notice that the probe left, while the probe itself
        // still sends: the series is stopped through the dialog (which goes
        // back to monitoring), and then that link is closed as well.
        ks::TestNoticeSource::Broadcast(ks::kDeviceRemoveComplete);
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsRunning(); }, 10000)) << "the removal stops the series";
    });
    EXPECT_FALSE(Doc()->IsConnected());
    EXPECT_EQ(Doc()->Link(), nullptr) << "no link is left behind";
    const std::vector<SeriesFileContent> files = Files(100);
    ASSERT_GE(files.size(), 2u);
    EXPECT_GT(CheckPairs(files), 10000u);
    EXPECT_EQ(files.back().tokens.back().kind, SeriesToken::Mark) << "the stop mark";
}

TEST_F(SeriesCommands, AnotherOpenOfTheLinkEndsTheSeriesFirst)
{
    StartSeriesApp();
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 3, QStringLiteral("100"), false);
        Click(dlg, 189);
        ASSERT_TRUE(WaitUntil([&] { return FilesCreated() >= 2; }, 10000));
        // As a probe plugged in again would: the monitor link opens.
        EXPECT_TRUE(Doc()->OpenLink(&CAnalyzerDoc::MonitorDataCallback));
        EXPECT_FALSE(dlg.IsRunning()) << "the series ended through the dialog";
    });
    EXPECT_TRUE(Doc()->IsConnected());
    EXPECT_FALSE(Doc()->IsRunning());
    const std::vector<SeriesFileContent> files = Files(100);
    ASSERT_GE(files.size(), 2u);
    EXPECT_GT(CheckPairs(files), 10000u);
    EXPECT_EQ(files.back().tokens.back().kind, SeriesToken::Mark) << "the stop mark";
}

TEST_F(SeriesCommands, AWriteErrorClosesTheDialogWithItsCause)
{
    StartSeriesApp();
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* handler = std::signal(SIGXFSZ, SIG_IGN);
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 7, QStringLiteral("1"), false);
        // The file may grow to its header and a buffer and a half.
        rlimit limit = saved;
        limit.rlim_cur = kCurrentHeaderSize + 30000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Click(dlg, 189);
        EXPECT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }, 10000)) << "the writer closes the dialog";
        ::setrlimit(RLIMIT_FSIZE, &saved);
    });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_TRUE(answers.WasShown(QStringLiteral("Write file failed!")));
    EXPECT_TRUE(answers.WasShown(QStringLiteral("error:%1").arg(EFBIG)));
    EXPECT_FALSE(Doc()->Series().Writer().IsActive());
    const std::vector<SeriesFileContent> files = {ReadSeriesFile(disk.Std("run.ksf"))};
    EXPECT_EQ(files[0].body.size(), 30000u);
    EXPECT_GT(CheckPairs(files), 7000u) << "what reached the disk opens";
}

TEST_F(SeriesCommands, AFailureTheUserStopsBeforeSeeingIsStillReported)
{
    StartSeriesApp();
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* handler = std::signal(SIGXFSZ, SIG_IGN);
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 7, QStringLiteral("1"), false);
        rlimit limit = saved;
        limit.rlim_cur = kCurrentHeaderSize + 5000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Click(dlg, 189);
        // The first write fails while the window is busy; the user presses
        // Stop before the report is handled.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        Click(dlg, 190);
        EXPECT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }, 10000)) << "the report closes the dialog";
    });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_TRUE(answers.WasShown(QStringLiteral("Write file failed!")));
    EXPECT_TRUE(answers.WasShown(QStringLiteral("error:%1").arg(EFBIG)));
}

TEST_F(SeriesCommands, AnOverrunTakesStopAwayAtOnceAndIsReported)
{
    StartSeriesApp();
    // Every block of the full rate fills both buffers: an overrun at once.
    SeriesLimits limits;
    limits.appendLimit = 100;
    limits.bufferCapacity = 300;
    limits.diskFreeThreshold = 0;
    Doc()->Series().SetLimitsForTesting(limits);
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 7, QStringLiteral("1"), false);
        Click(dlg, 189);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        // What the writer said so far up to the overrun, not yet its end.
        QCoreApplication::sendPostedEvents(&Doc()->Series(), WM_SERIES_FIRST_DATA);
        QCoreApplication::sendPostedEvents(&Doc()->Series(), WM_SERIES_OVERRUN);
        EXPECT_FALSE(dlg.Control(190)->isEnabled()) << "nothing is recorded any more";
        EXPECT_TRUE(dlg.Control(195)->isHidden());
        EXPECT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }, 10000)) << "the end closes the dialog";
    });
    EXPECT_TRUE(answers.WasShown(LoadLocalString(325)));
    EXPECT_TRUE(WaitUntil([this] { return Pane(0) == LoadLocalString(331); }));
}

TEST_F(SeriesCommands, ALowDiskStopsTheSeriesAfterWritingWhatWasBuffered)
{
    StartSeriesApp(UINT64_MAX); // every disk has "200 MiB or less" now
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 7, QStringLiteral("1"), false);
        Click(dlg, 189);
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsRunning(); }, 10000));
        EXPECT_TRUE(dlg.isVisible()) << "the dialog stays for another try";
    });
    EXPECT_TRUE(answers.WasShown(LoadLocalString(305)));
    EXPECT_TRUE(WaitUntil([this] { return Pane(0) == LoadLocalString(305); }));
    const std::vector<SeriesFileContent> files = {ReadSeriesFile(disk.Std("run.ksf"))};
    // One buffer written before the check, and the flush after it.
    EXPECT_GT(CheckPairs(files), 5000u);
    EXPECT_GT(files[0].body.size(), 20000u);
    EXPECT_EQ(files[0].tokens.back().kind, SeriesToken::Mark);
}

TEST_F(SeriesCommands, ClosingTheDialogWhileRecordingAsksAndStopsFirst)
{
    StartSeriesApp();
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 2, QStringLiteral("20"), false);
        Click(dlg, 189);
        ASSERT_TRUE(WaitUntil([&] { return FilesCreated() >= 2; }, 10000));
        answers.answerYes = false;
        dlg.reject(); // Esc or the title bar's close
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(dlg.IsRunning());
        answers.answerYes = true;
        dlg.reject();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_FALSE(dlg.IsRunning());
        EXPECT_FALSE(Text(dlg, 194).isEmpty()) << "the stop time";
    });
    EXPECT_TRUE(answers.WasShown(LoadLocalString(311)));
    EXPECT_FALSE(Doc()->Series().Writer().IsActive()) << "stopped before the dialog closed";
    EXPECT_GT(CheckPairs(Files(20)), 1000u);
}

TEST_F(SeriesCommands, AnExistingFirstFileIsOverwrittenOnlyWhenTheUserAgrees)
{
    StartSeriesApp();
    WriteFileText(File(0, 3), "an older capture");
    RunSetup([&](CBufferDlg& dlg) {
        Fill(dlg, QStringLiteral("run"), 2, QStringLiteral("3"), false);
        answers.answerYes = false;
        Click(dlg, 189);
        EXPECT_FALSE(dlg.IsRunning());
        auto* name = static_cast<QLineEdit*>(dlg.Control(200));
        EXPECT_EQ(name->selectedText(), QStringLiteral("run")) << "the name is offered for editing";
        EXPECT_EQ(ReadFileText(File(0, 3)), "an older capture");

        answers.answerYes = true;
        Click(dlg, 189);
        ASSERT_TRUE(dlg.IsRunning());
        ASSERT_TRUE(WaitUntil([&] { return dlg.ReadingShown(); }));
        Click(dlg, 190);
    });
    EXPECT_TRUE(answers.WasShown(LoadLocalString(310)));
    EXPECT_GT(CheckPairs(Files(3)), 100u);
}

TEST_F(SeriesCommands, TheLiveWindowSaysOnceWhenItStartsDroppingLines)
{
    WriteFileText(dir.Path("ks-settings.ini"), "[COM]\nBaudrate=18\n[DisplayMode]\nDataMode=1\n");
    Setup setup;
    setup.scenario = "full";
    ASSERT_TRUE(StartApp(setup));
    const QString notice = LoadLocalString(CAnalyzerDoc::kLinesDroppedNotice);
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_START));
    ASSERT_TRUE(WaitUntil([&] { return Pane(0) == notice; }, 20000));
    Frame()->StatusBar()->SetPaneText(0, QStringLiteral("seen"));
    Pump(600); // more lines go, nothing more is said
    EXPECT_EQ(Pane(0), QStringLiteral("seen"));
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_STOP));
}
