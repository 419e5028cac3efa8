// When the link opens: at start-up, on New and Open and on arrival, never
// because the frame became active again. A failing transport is reported
// once per attempt, and the program stays usable around it.
#include "AppFixture.h"
#include "ScriptedProbe.h"

#include "CDeviceChangeEvent.h"
#include "CommandIds.h"
#include "DeviceNotice.h"
#include "WindowMessages.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr const char* kMissingFunction = "Get USB DLL function Failed!\n";

// What dismissing a message box does to the main window: another window was
// active, and the frame becomes active again.
void ReturnToFrame(QWidget* frame)
{
    QWidget box;
    box.show();
    QApplication::setActiveWindow(&box);
    QApplication::setActiveWindow(frame);
}

} // namespace

class Activation : public AppFixture {
protected:
    // The frame comes back to the front whenever a box is answered (up to a
    // bound, so that a program that asks again and again still ends).
    void ReturnToFrameAfterEachBox()
    {
        messages.whileShown = [this](const QString&) {
            if (++boxesAnswered > 5) return;
            if (Frame() && Frame()->isVisible()) ReturnToFrame(Frame());
        };
    }
    int boxesAnswered = 0;
};

TEST_F(Activation, AFailingTransportIsReportedOnceAndTheProgramStaysUsable)
{
    ScriptedProbe broken("USB_Close");
    ASSERT_TRUE(broken.Loaded());
    ReturnToFrameAfterEachBox();
    Setup setup;
    setup.linkLibrary = broken.Path();
    ASSERT_TRUE(StartApp(setup));
    Pump(100);
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0], QString::fromLatin1(kMissingFunction));
    EXPECT_FALSE(Doc()->IsConnected());

    // Coming back to the window, again and again, asks nothing.
    for (int i = 0; i < 3; ++i) ReturnToFrame(Frame());
    Pump(50);
    EXPECT_EQ(messages.Shown().size(), 1u);

    // The capture can be saved.
    const std::string saved = dir.Path("kept.ksf");
    Doc()->chooseSaveFile = [&](const QString&) { return QString::fromStdString(saved); };
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE_AS));
    EXPECT_FALSE(ReadFileBytes(saved).empty());
    EXPECT_EQ(messages.Shown().size(), 1u);

    // New tries the link again: one more attempt, one more report.
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_NEW));
    Pump(50);
    EXPECT_EQ(messages.Shown().size(), 2u);
}

TEST_F(Activation, ANoticeDuringTheOpensMessageBoxWaitsUntilTheBoxIsAnswered)
{
    ScriptedProbe broken("USB_Close");
    ASSERT_TRUE(broken.Loaded());
    int depth = 0, deepest = 0;
    messages.whileShown = [&](const QString&) {
        deepest = std::max(deepest, ++depth);
        if (messages.Shown().size() == 1) {
            // The probe is plugged in while the first box is up; the box's
            // own event loop hands the notice to the frame.
            CDeviceChangeEvent::Post(Frame(), ks::kDeviceArrival, ks::DeviceNotice::ForInterface(ks::kProbeInterfaceClass));
            QEventLoop box;
            QTimer::singleShot(150, &box, &QEventLoop::quit);
            box.exec();
        }
        --depth;
    };
    Setup setup;
    setup.linkLibrary = broken.Path();
    ASSERT_TRUE(StartApp(setup));
    ASSERT_TRUE(WaitUntil([this] { return messages.Shown().size() >= 2; }, 2000)) << "the arrival is handled after the box";
    EXPECT_EQ(deepest, 1) << "one open at a time";
    EXPECT_NE(Doc()->Link(), nullptr);
    EXPECT_FALSE(Doc()->IsConnected());
}

// A link whose probe is pulled while it opens: after its reader started and
// before Open returns, the reader reports the loss.
class LinkLosingItsProbeWhileOpening : public CUSBCom {
public:
    explicit LinkLosingItsProbeWhileOpening(ScriptedProbe& probe) : probe(probe) {}
    ~LinkLosingItsProbeWhileOpening() override { Close(); }

protected:
    bool StartThread(ThreadRole role, std::thread& thread, void (*entry)(CUSBCom*)) override
    {
        if (role == ThreadRole::Dispatch) {
            probe.Unplug();
            // The reader (named once it runs) reads the end of the pipe,
            // reports and ends.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while ((!readerPolled || CountThreads("ks-link-reader") > 0) && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return CUSBCom::StartThread(role, thread, entry);
    }
    int PollPipe(pollfd* fds, unsigned count, int timeoutMs) override
    {
        readerPolled = true;
        return CUSBCom::PollPipe(fds, count, timeoutMs);
    }

private:
    ScriptedProbe& probe;
    std::atomic<bool> readerPolled{false};
};

TEST_F(Activation, ALossReportedWhileTheLinkOpensIsNotOverwrittenByItsSuccess)
{
    ScriptedProbe probe;
    ASSERT_TRUE(probe.Loaded());
    Setup setup;
    setup.linkLibrary = probe.Path();
    setup.show = false;
    ASSERT_TRUE(StartApp(setup));
    Doc()->makeLink = [&probe] { return std::make_unique<LinkLosingItsProbeWhileOpening>(probe); };
    EXPECT_FALSE(Doc()->OpenLink());
    EXPECT_FALSE(Doc()->IsConnected());
    EXPECT_EQ(probe.Counts().openPipe, 1) << "the open itself went through";
    // The frame answers the loss by closing the link; the panes say so.
    ASSERT_TRUE(WaitUntil([this] { return Doc()->Link() == nullptr; }));
    Pump(30);
    EXPECT_EQ(Pane(2), QStringLiteral("USB: Disconnect"));
    EXPECT_EQ(Pane(0), QStringLiteral("Open Device Failed!"));
}

TEST_F(Activation, ALossReportedBeforeANewLinkOpenedDoesNotCloseTheNewOne)
{
    ScriptedProbe probe;
    ASSERT_TRUE(probe.Loaded());
    Setup setup;
    setup.linkLibrary = probe.Path();
    ASSERT_TRUE(StartApp(setup));
    ASSERT_TRUE(Doc()->IsConnected());
    // Pulled and plugged in again quickly: the frame hears of the loss
    // only after the new link is open.
    probe.Unplug();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Doc()->IsConnected() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(Doc()->OpenLink());
    CUSBCom* fresh = Doc()->Link();
    Pump(300);
    EXPECT_EQ(Doc()->Link(), fresh);
    EXPECT_TRUE(Doc()->IsConnected());
}
