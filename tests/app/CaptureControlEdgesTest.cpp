// Capture control where it meets the edges of a capture: a capture stopped in
// the middle of a burst, a link lost under a running capture, and status
// bytes whose DTR and DSR differ.
#include "AppFixture.h"

#include "CLineInfo.h"
#include "CLines.h"
#include "CShape.h"
#include "CommandIds.h"
#include "ScriptedControl.h"

#include <QAction>
#include <QCoreApplication>

#include <dlfcn.h>
#include <thread>

namespace {

// Blocks handed to the document's data callback from a worker thread, as the
// link's dispatch thread does; `endBurst` adds the empty call of a dry queue.
void Feed(CAnalyzerDoc* doc, const std::vector<uint8_t>& block, bool endBurst)
{
    std::thread worker([&] {
        CAnalyzerDoc::MonitorDataCallback(block.data(), static_cast<uint32_t>(block.size()), doc);
        if (endBurst) CAnalyzerDoc::MonitorDataCallback(nullptr, 0, doc);
    });
    worker.join();
}

bool EndsWithProvisionalStamp(const CLines& lines)
{
    const CLineInfo* last = lines.GetLine(lines.GetLastLineIndex());
    if (!last || last->GetItemCount() == 0) return false;
    const CShape* item = last->GetItem(last->GetItemCount() - 1);
    return item && item->GetKind() == KIND_STAMP && lines.IsProvisional();
}

// The scripted transport as a test drives it: the same file the link loads.
class Scripted {
public:
    Scripted()
    {
        path = QCoreApplication::applicationDirPath().toStdString() + "/libks-scripted.so";
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        reset = reinterpret_cast<Scripted_Reset_fn>(::dlsym(handle, "Scripted_Reset"));
        unplug = reinterpret_cast<Scripted_Unplug_fn>(::dlsym(handle, "Scripted_Unplug"));
        calls = reinterpret_cast<Scripted_VendorCalls_fn>(::dlsym(handle, "Scripted_VendorCalls"));
        if (reset) reset();
    }
    ~Scripted()
    {
        if (!handle) return;
        if (reset) reset();
        ::dlclose(handle);
    }
    bool Loaded() const { return handle && reset && unplug && calls; }
    void Unplug() { unplug(); }
    int Requests(int request)
    {
        std::vector<ScriptedVendorCall> log(256);
        const int n = std::min(calls(log.data(), static_cast<int>(log.size())), static_cast<int>(log.size()));
        int count = 0;
        for (int i = 0; i < n; ++i) count += log[static_cast<std::size_t>(i)].request == request ? 1 : 0;
        return count;
    }
    std::string path;

private:
    void* handle = nullptr;
    Scripted_Reset_fn reset = nullptr;
    Scripted_Unplug_fn unplug = nullptr;
    Scripted_VendorCalls_fn calls = nullptr;
};

constexpr int kRequestStop = 2; // the probe's stop request

} // namespace

using CaptureControlEdges = AppFixture;

TEST_F(CaptureControlEdges, TheIdleStampRunsAgainAfterACaptureStoppedMidBurst)
{
    Setup setup;
    setup.unplugged = true; // the test feeds the records itself
    ASSERT_TRUE(StartApp(setup));
    Frame()->RunCommand(ID_SHOW_STAMP);
    ASSERT_EQ(Doc()->DisplayMode().Stamp, 1);

    Doc()->OnAnalyzerStart();
    Feed(Doc(), {0x20, 'A', 0x28, 'B'}, false); // the queue never ran dry
    ASSERT_TRUE(Doc()->IsBurstActive());
    Doc()->OnAnalyzerStop();

    Doc()->OnAnalyzerStart();
    Doc()->OnIdleTick(); // what timer 327 does on a silent line
    {
        CStoreGuard guard(View()->StoreLock());
        EXPECT_TRUE(EndsWithProvisionalStamp(Doc()->Lines())) << "a silent line gets its provisional stamp";
    }
    // And a burst after it takes the stamp away again, as always.
    Feed(Doc(), {0x20, 'C'}, true);
    {
        CStoreGuard guard(View()->StoreLock());
        EXPECT_FALSE(Doc()->Lines().IsProvisional());
    }
    Doc()->OnAnalyzerStop();
}

TEST_F(CaptureControlEdges, ALostLinkIsNotConnectedTheMomentItIsLost)
{
    Scripted scripted;
    ASSERT_TRUE(scripted.Loaded());
    Setup setup;
    setup.show = false;
    ASSERT_TRUE(StartApp(setup));
    Doc()->SetLinkLibraryPath(scripted.path);
    ASSERT_TRUE(Doc()->OpenLink());
    Frame()->RunCommand(ID_ANALYZER_START);
    ASSERT_TRUE(Doc()->IsRunning());

    scripted.Unplug();
    // The event loop is not run: what the document says must not wait for
    // the frame's handling of the lost link.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Doc()->IsConnected() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(Doc()->IsConnected());
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(Frame()->Action(ID_ANALYZER_START)->isEnabled());
    EXPECT_FALSE(Frame()->Action(ID_ANALYZER_STOP)->isEnabled());
    const int stopsBefore = scripted.Requests(kRequestStop);
    Doc()->OnAnalyzerStop();
    EXPECT_EQ(scripted.Requests(kRequestStop), stopsBefore) << "no request to a probe that is gone";
    EXPECT_FALSE(Doc()->IsRunning());

    ASSERT_TRUE(WaitUntil([this] { return Doc()->Link() == nullptr; })) << "the frame closes the link";
}

TEST_F(CaptureControlEdges, DtrAndDsrIndicatorsFollowTheirOwnBits)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    Doc()->OnAnalyzerStart();
    const uint32_t on = CAnalyzerDoc::kIndicatorGreen, off = CAnalyzerDoc::kIndicatorBlack;
    // Order of the indicators: RTS, CTS, DTR, DSR, CD. A set bit is the
    // line's inactive level: CTS 0x10, RTS 0x08, DSR 0x04, DTR 0x02, CD 0x01.
    const struct {
        uint8_t status;
        uint32_t colours[5];
    } cases[] = {
        {0x44, {on, on, on, off, on}},    // DSR inactive, DTR active
        {0x42, {on, on, off, on, on}},    // DTR inactive, DSR active
        {0x51, {on, off, on, on, off}},   // CTS and CD inactive
        {0x48, {off, on, on, on, on}},    // RTS inactive
    };
    for (const auto& c : cases) {
        Feed(Doc(), {c.status, 0x00}, true);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Doc()->IndicatorColour(i), c.colours[i]) << "status 0x" << std::hex << int(c.status) << " indicator " << i;
    }
    Doc()->OnAnalyzerStop();
}
