// Plugging and pulling the probe while the program runs: the frame's
// registration through the device-notification library, its handling of
// each notice, and the simulated probe pulled and plugged by ks-probe.
#include "AppFixture.h"
#include "ScriptedProbe.h"

#include "CDeviceChangeEvent.h"
#include "CLines.h"
#include "CommandIds.h"
#include "DeviceNotice.h"
#include "DeviceNoticeHub.h"
#include "DoDevwatch.h"
#include "TestNoticeSource.h"
#include "support/RunTool.h"

#include <QAction>
#include <QCoreApplication>

#include <chrono>
#include <optional>
#include <thread>

namespace {

using ks::DeviceNotice;

const DeviceNotice kProbeNotice = DeviceNotice::ForInterface(ks::kProbeInterfaceClass);

// 300 data characters in three blocks, both directions.
std::vector<std::vector<uint8_t>> DataBlocks()
{
    std::vector<std::vector<uint8_t>> blocks(3);
    for (int b = 0; b < 3; ++b)
        for (int i = 0; i < 100; ++i) {
            blocks[static_cast<std::size_t>(b)].push_back(i % 2 ? 0x28 : 0x20);
            blocks[static_cast<std::size_t>(b)].push_back(static_cast<uint8_t>('a' + i % 26));
        }
    return blocks;
}

} // namespace

class DevicePresence : public AppFixture {
protected:
    // Hands the frame a notice as the platform does, and gives its answer.
    intptr_t Notify(uint32_t eventCode, std::optional<DeviceNotice> notice = kProbeNotice)
    {
        CDeviceChangeEvent event(eventCode, notice);
        QCoreApplication::sendEvent(Frame(), &event);
        return event.result;
    }
    // Starts the program on the scripted transport, connected.
    void StartScripted()
    {
        ASSERT_TRUE(scripted.Loaded());
        Setup setup;
        setup.linkLibrary = scripted.Path();
        ASSERT_TRUE(StartApp(setup));
        ASSERT_TRUE(Doc()->IsConnected());
    }
    bool StartEnabled()
    {
        Frame()->UpdateCommandUI();
        return Frame()->Action(ID_ANALYZER_START)->isEnabled();
    }
    uint32_t StoredCharacters()
    {
        CStoreGuard guard(View()->StoreLock());
        const Counters& c = Doc()->Lines().GetCounters();
        return c[CNT_TXD] + c[CNT_RXD];
    }
    void ExpectLostTexts()
    {
        Pump(30); // the texts are posted
        EXPECT_EQ(Pane(0), QStringLiteral("Open Device Failed!"));
        EXPECT_EQ(Pane(2), QStringLiteral("USB: Disconnect"));
        EXPECT_EQ(Pane(3), QStringLiteral("COM: Disconnect."));
        EXPECT_EQ(Pane(4), QStringLiteral("Firmware Version: Unknown."));
        Frame()->UpdateCommandUI();
        EXPECT_FALSE(Frame()->Action(ID_ANALYZER_START)->isEnabled());
        EXPECT_FALSE(Frame()->Action(ID_ANALYZER_STOP)->isEnabled());
    }

    ScriptedProbe scripted;
};

TEST_F(DevicePresence, TheFrameIsRegisteredThroughTheLibraryBesideTheProgram)
{
    StartApp();
    EXPECT_EQ(Frame()->DeviceNotificationsRegistered(), 1);
    ASSERT_TRUE(Doc()->IsConnected());
    // A notice through the registrations, not to the frame directly.
    ks::TestNoticeSource::Broadcast(ks::kDeviceRemoveComplete);
    ASSERT_TRUE(WaitUntil([this] { return Doc()->Link() == nullptr; }));
    ExpectLostTexts();
    // The registration ends with the window.
    const int before = ks::DeviceNoticeHub::Instance().RegistrationCount();
    app.reset();
    EXPECT_EQ(ks::DeviceNoticeHub::Instance().RegistrationCount(), before - 1);
}

TEST_F(DevicePresence, AMissingLibraryIsQuietAndOneWithoutTheExportIsReportedOnce)
{
    ks::SetMessageService(&messages);
    QObject window;
    EXPECT_EQ(DoDevwatch(&window, dir.Path("libDevwatch.so")), 0);
    EXPECT_TRUE(messages.Shown().empty());
    // A library that is not the device-notification library.
    const std::string other = QCoreApplication::applicationDirPath().toStdString() + "/libCorvane.so";
    EXPECT_EQ(DoDevwatch(&window, other), 0);
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0], QStringLiteral("DoDevwatch(),get function error"));
    EXPECT_EQ(ks::DeviceNoticeHub::Instance().RegistrationCount(), 0);
}

TEST_F(DevicePresence, NoticesAboutAnythingButTheProbesInterfaceAreNotOurs)
{
    StartScripted();
    CUSBCom* link = Doc()->Link();
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete, std::nullopt), 0) << "no header";
    DeviceNotice port = kProbeNotice;
    port.SetDeviceType(3);
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete, port), 0) << "not a device interface";
    // Every byte of the class counts.
    for (std::size_t i = 0; i < 16; ++i) {
        ks::InterfaceClassId other = ks::kProbeInterfaceClass;
        other[i] = static_cast<uint8_t>(other[i] ^ 0x80);
        EXPECT_EQ(Notify(ks::kDeviceRemoveComplete, DeviceNotice::ForInterface(other)), 0) << "byte " << i;
    }
    EXPECT_EQ(Doc()->Link(), link);
    EXPECT_TRUE(Doc()->IsConnected());
    EXPECT_EQ(scripted.Counts().close, 0);
}

TEST_F(DevicePresence, AnArrivalWhileConnectedOrAnotherEventChangesNothing)
{
    StartScripted();
    CUSBCom* link = Doc()->Link();
    Frame()->RunCommand(ID_ANALYZER_START);
    ASSERT_TRUE(Doc()->IsRunning());
    EXPECT_EQ(Notify(ks::kDeviceArrival), 1);
    EXPECT_EQ(Notify(0x8006), 1) << "ours, though nothing is done";
    EXPECT_EQ(Doc()->Link(), link);
    EXPECT_TRUE(Doc()->IsRunning()) << "the capture goes on";
    EXPECT_EQ(scripted.Counts().openMask, 1);
}

TEST_F(DevicePresence, AnArrivalOpensTheLinkButStartsNoCapture)
{
    scripted.FailOpenMask(true);
    ASSERT_TRUE(scripted.Loaded());
    Setup setup;
    setup.linkLibrary = scripted.Path();
    ASSERT_TRUE(StartApp(setup));
    ASSERT_FALSE(Doc()->IsConnected());
    EXPECT_FALSE(StartEnabled());

    scripted.FailOpenMask(false);
    EXPECT_EQ(Notify(ks::kDeviceArrival), 1);
    EXPECT_TRUE(Doc()->IsConnected());
    EXPECT_FALSE(Doc()->IsRunning());
    EXPECT_TRUE(StartEnabled());
    Pump(30);
    EXPECT_EQ(Pane(2), QStringLiteral("USB: Connect"));
    EXPECT_EQ(Pane(3), QStringLiteral("COM: 9600-8-N-1"));
    EXPECT_EQ(Pane(4), QStringLiteral("Firmware Version: SCRIPTED"));
    EXPECT_EQ(Pane(0), QStringLiteral("Open Device Successfully!"));
}

TEST_F(DevicePresence, NoticesHeldBackByAnOpensMessageBoxAreHandledBeforeNewerOnes)
{
    StartScripted();
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete), 1);
    // The probe comes back, but its open fails with a box; while the box is
    // up the probe is pulled, and just after it is answered plugged in again.
    scripted.FailOpenPipe(true);
    messages.whileShown = [this](const QString&) {
        messages.whileShown = nullptr;
        Notify(ks::kDeviceRemoveComplete);
    };
    Notify(ks::kDeviceArrival);
    ASSERT_FALSE(Doc()->IsConnected());
    scripted.FailOpenPipe(false);
    Notify(ks::kDeviceArrival);
    Pump(300);
    EXPECT_TRUE(Doc()->IsConnected()) << "the last notice was the plug";
    EXPECT_NE(Doc()->Link(), nullptr);
}

TEST_F(DevicePresence, ARemovalDuringACaptureKeepsEverythingTheLinkReceived)
{
    StartScripted();
    Frame()->RunCommand(ID_ANALYZER_START);
    for (const auto& block : DataBlocks()) ASSERT_TRUE(scripted.Send(block));
    // Read by the link; maybe not yet handed on when the probe goes.
    ASSERT_TRUE(scripted.WaitConsumed());
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete), 1);
    EXPECT_FALSE(Doc()->IsRunning());
    EXPECT_EQ(Doc()->Link(), nullptr);
    EXPECT_FALSE(Doc()->IsConnected());
    EXPECT_EQ(StoredCharacters(), 300u);
    EXPECT_EQ(Doc()->BytesDroppedWhileStopped(), 0u);
    ExpectLostTexts();
    EXPECT_EQ(StoredCharacters(), 300u) << "the capture stays after the link went";
}

TEST_F(DevicePresence, ARemovalGreysTheLineIndicators)
{
    StartScripted();
    Frame()->RunCommand(ID_ANALYZER_START);
    ASSERT_TRUE(scripted.Send({0x44, 0x00}));
    ASSERT_TRUE(scripted.WaitConsumed());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Doc()->IndicatorColour(0) == CAnalyzerDoc::kIndicatorGrey && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(Doc()->IndicatorColour(3), CAnalyzerDoc::kIndicatorBlack) << "the status record was not shown";
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete), 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Doc()->IndicatorColour(i), CAnalyzerDoc::kIndicatorGrey) << "indicator " << i;
}

TEST_F(DevicePresence, ARemovalAfterTheLinkReportedItsLossClosesItOnce)
{
    StartScripted();
    scripted.Unplug();
    // The loss is reported on the link's thread; the frame has not yet
    // answered it when the removal notice comes.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Doc()->IsConnected() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_FALSE(Doc()->IsConnected());
    ASSERT_NE(Doc()->Link(), nullptr);
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete), 1);
    EXPECT_EQ(Doc()->Link(), nullptr);
    Pump(300); // the frame's answer to the loss finds no link
    EXPECT_EQ(scripted.Counts().close, 1);
    ExpectLostTexts();
}

TEST_F(DevicePresence, ARemovalAfterTheFrameClosedTheLostLinkFindsNothingToClose)
{
    StartScripted();
    scripted.Unplug();
    ASSERT_TRUE(WaitUntil([this] { return Doc()->Link() == nullptr; }));
    EXPECT_EQ(Notify(ks::kDeviceRemoveComplete), 1);
    EXPECT_EQ(scripted.Counts().close, 1);
    ExpectLostTexts();
}

TEST_F(DevicePresence, TheSimulatedProbePulledAndPluggedByTheProbeCommand)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    ASSERT_FALSE(Doc()->IsConnected());
    EXPECT_TRUE(messages.Shown().empty()) << "an absent probe does not nag";
    const std::string tool = QCoreApplication::applicationDirPath().toStdString() + "/ks-probe";
    auto probe = [&](const char* command) { return RunTool(tool, {"--dir", libraryFolder, command}); };

    ASSERT_EQ(probe("plug"), 0);
    ASSERT_TRUE(WaitUntil([this] { return Pane(2) == QStringLiteral("USB: Connect"); }, 1000)) << "within a second";
    EXPECT_TRUE(Doc()->IsConnected());
    EXPECT_FALSE(Doc()->IsRunning());
    EXPECT_TRUE(StartEnabled());

    Frame()->RunCommand(ID_ANALYZER_START);
    ASSERT_TRUE(WaitUntil([this] { return StoredCharacters() > 0; }, 8000));
    ASSERT_EQ(probe("pull"), 0);
    ASSERT_TRUE(WaitUntil([this] { return Doc()->Link() == nullptr; }, 1000));
    EXPECT_FALSE(Doc()->IsRunning());
    ExpectLostTexts();
    const uint32_t kept = StoredCharacters();
    EXPECT_GT(kept, 0u);

    ASSERT_EQ(probe("plug"), 0);
    ASSERT_TRUE(WaitUntil([this] { return Doc()->IsConnected(); }, 1000));
    EXPECT_FALSE(Doc()->IsRunning()) << "a plug never starts a capture";
    EXPECT_GE(StoredCharacters(), kept) << "what was captured is still there";
    EXPECT_TRUE(messages.Shown().empty());
}
