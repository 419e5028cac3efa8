// The live program driven as a user would: the link opened by the frame, the
// capture started and stopped through the real actions, the panes, the
// counters and the indicators.
#include "AppFixture.h"

#include "CCoolBar.h"
#include "CLineIndicator.h"
#include "CLineInfo.h"
#include "CLines.h"
#include "CShape.h"
#include "CStamp.h"
#include "CToolBarStatus.h"
#include "CommandIds.h"
#include "WindowMessages.h"

#include <QAction>
#include <QScrollBar>

#include <thread>

namespace {

int CountItems(const CLines& lines, int kind)
{
    int count = 0;
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        for (int i = 0; i < line->GetItemCount(); ++i)
            if (line->GetItem(i) && line->GetItem(i)->GetKind() == kind) ++count;
    }
    return count;
}

// Feeds blocks through the document's data callback from a worker thread, as
// the link's dispatch thread does, ending with the empty call of a dry queue.
void FeedFromWorker(CAnalyzerDoc* doc, const std::vector<std::vector<uint8_t>>& blocks)
{
    std::thread worker([&] {
        for (const auto& block : blocks)
            CAnalyzerDoc::MonitorDataCallback(block.data(), static_cast<uint32_t>(block.size()), doc);
        CAnalyzerDoc::MonitorDataCallback(nullptr, 0, doc);
    });
    worker.join();
}

std::vector<uint8_t> DataBlock(int characters, bool rxd = false)
{
    std::vector<uint8_t> block;
    for (int i = 0; i < characters; ++i) {
        block.push_back(rxd ? 0x28 : 0x20);
        block.push_back(static_cast<uint8_t>('A' + i % 26));
    }
    return block;
}

} // namespace

using CaptureControl = AppFixture;

TEST_F(CaptureControl, FreshStartShowsZeroCountersAndAConnectedProbe)
{
    StartApp();
    const char* expected[13] = {"TXD:0", "RXD:0", "RTS:0", "RTS:0", "CTS:0", "CTS:0", "CD:0",
                                "CD:0",  "DTR:0", "DTR:0", "DSR:0", "DSR:0", "ERR:0"};
    for (int i = 0; i < 13; ++i) EXPECT_EQ(CounterLabel(i), QString::fromLatin1(expected[i])) << i;
    ASSERT_TRUE(Doc()->IsConnected());
    EXPECT_EQ(Pane(2), QStringLiteral("USB: Connect"));
    EXPECT_EQ(Pane(3), QStringLiteral("COM: 9600-8-N-1"));
    EXPECT_NE(Pane(4), QStringLiteral("Firmware Version: Unknown.")) << "the probe's own text";
    EXPECT_FALSE(Pane(4).isEmpty());
    EXPECT_EQ(Pane(0), QStringLiteral("Open Device Successfully!"));
    Frame()->UpdateCommandUI();
    EXPECT_TRUE(Frame()->Action(ID_ANALYZER_START)->isEnabled());
    EXPECT_FALSE(Frame()->Action(ID_ANALYZER_START)->isChecked());
    EXPECT_TRUE(Frame()->Action(ID_ANALYZER_STOP)->isChecked());
    // Every command of the menus is built: with a probe and no capture, all of these work.
    for (int id : {ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_COM_SETTINGS, ID_DISPLAY_SETTINGS, ID_TEXT_CONVERT, ID_FIND, ID_GOTO_LINE,
                   ID_BUFFER_SETUP, ID_FILE_PRINT})
        EXPECT_TRUE(Frame()->Action(id)->isEnabled()) << id;
}

TEST_F(CaptureControl, StartAndStopThroughTheActionsFillTheStoreAndTheCounters)
{
    StartApp();
    ASSERT_TRUE(Doc()->IsConnected());
    Frame()->Action(ID_ANALYZER_START)->trigger();
    ASSERT_TRUE(Doc()->IsRunning());
    Pump(20);
    EXPECT_FALSE(View()->verticalScrollBar()->isEnabled()) << "no scrolling while capturing";
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(Frame()->Action(ID_MODE_HEX_H)->isEnabled()) << "display modes are fixed while capturing";
    for (int id : {ID_FIND, ID_GOTO_LINE}) EXPECT_FALSE(Frame()->Action(id)->isEnabled()) << "no searching while capturing";

    ASSERT_TRUE(WaitUntil([this] { return CounterLabel(0) != QStringLiteral("TXD:0"); }, 8000))
        << "the probe's characters reach the count bar";
    Frame()->Action(ID_ANALYZER_STOP)->trigger();
    EXPECT_FALSE(Doc()->IsRunning());
    Pump(100);

    Counters counters;
    int stamps = 0;
    {
        CStoreGuard guard(View()->StoreLock());
        counters = Doc()->Lines().GetCounters();
        stamps = CountItems(Doc()->Lines(), KIND_STAMPTIME);
    }
    EXPECT_GT(counters[CNT_TXD], 0u);
    EXPECT_EQ(CounterLabel(0), QStringLiteral("TXD:%1").arg(counters[CNT_TXD]));
    EXPECT_EQ(CounterLabel(1), QStringLiteral("RXD:%1").arg(counters[CNT_RXD]));
    EXPECT_EQ(stamps, 2) << "one start and one stop mark";
    EXPECT_TRUE(View()->verticalScrollBar()->isEnabled());

    // Stopped: Stop again changes nothing; the mark count stays.
    Frame()->RunCommand(ID_ANALYZER_STOP);
    CStoreGuard guard(View()->StoreLock());
    EXPECT_EQ(CountItems(Doc()->Lines(), KIND_STAMPTIME), 2);
}

TEST_F(CaptureControl, WithoutDateTimeNoStartStopMarksAreAdded)
{
    StartApp();
    Frame()->RunCommand(ID_SHOW_DATETIME);
    ASSERT_EQ(Doc()->DisplayMode().DateTime, 0);
    Frame()->RunCommand(ID_ANALYZER_START);
    Frame()->RunCommand(ID_ANALYZER_START); // a second Start does nothing
    Pump(200);
    Frame()->RunCommand(ID_ANALYZER_STOP);
    CStoreGuard guard(View()->StoreLock());
    EXPECT_EQ(CountItems(Doc()->Lines(), KIND_STAMPTIME), 0);
}

TEST_F(CaptureControl, AProbeThatCannotBeOpenedShowsTheDisconnectedTexts)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    ASSERT_TRUE(WaitUntil([this] { return Pane(0) == QStringLiteral("Open Device Failed!"); }));
    EXPECT_FALSE(Doc()->IsConnected());
    EXPECT_EQ(Pane(2), QStringLiteral("USB: Disconnect"));
    EXPECT_EQ(Pane(3), QStringLiteral("COM: Disconnect."));
    EXPECT_EQ(Pane(4), QStringLiteral("Firmware Version: Unknown."));
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(Frame()->Action(ID_ANALYZER_START)->isEnabled());
    EXPECT_FALSE(Frame()->Action(ID_ANALYZER_STOP)->isEnabled());
    EXPECT_FALSE(Frame()->RunCommand(ID_ANALYZER_START)) << "a disabled command does not run";
    EXPECT_FALSE(Doc()->IsRunning());
}

TEST_F(CaptureControl, APulledProbeDuringACaptureClosesTheLink)
{
    StartApp();
    ASSERT_TRUE(Doc()->IsConnected());
    Frame()->RunCommand(ID_ANALYZER_START);
    Pump(200);
    SetUnplugged(true);
    ASSERT_TRUE(WaitUntil([this] { return Doc()->Link() == nullptr; }, 8000)) << "the frame closes a lost link";
    Pump(50); // the lost link's texts are posted to the frame
    EXPECT_FALSE(Doc()->IsConnected());
    EXPECT_FALSE(Doc()->IsRunning()) << "closing the link stops the capture";
    EXPECT_EQ(Pane(2), QStringLiteral("USB: Disconnect"));
    EXPECT_EQ(Pane(3), QStringLiteral("COM: Disconnect."));
    EXPECT_EQ(Pane(4), QStringLiteral("Firmware Version: Unknown."));
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(Frame()->Action(ID_ANALYZER_START)->isEnabled());
}

TEST_F(CaptureControl, IndicatorsTakeTheColoursOfTheLastStatusRecord)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Doc()->IndicatorColour(i), CAnalyzerDoc::kIndicatorGrey);
    Doc()->OnAnalyzerStart(); // no probe: the test feeds the records itself
    // 0x47: RTS and CTS low (active, green), DSR, DTR and CD high (black).
    FeedFromWorker(Doc(), {{0x5F, 0x00, 0x47, 0x00}});
    const uint32_t expected[5] = {CAnalyzerDoc::kIndicatorGreen, CAnalyzerDoc::kIndicatorGreen, CAnalyzerDoc::kIndicatorBlack,
                                  CAnalyzerDoc::kIndicatorBlack, CAnalyzerDoc::kIndicatorBlack};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Doc()->IndicatorColour(i), expected[i]) << i;
    Pump(50);
    for (int i = 0; i < 5; ++i) {
        Frame()->Indicator(i)->grab();
        EXPECT_EQ(Frame()->Indicator(i)->PaintedColour(), expected[i]) << Frame()->Indicator(i)->Caption().toStdString();
    }
    CStoreGuard guard(View()->StoreLock());
    EXPECT_EQ(CountItems(Doc()->Lines(), KIND_STATUS) - Doc()->Lines().GetLineCount(), 0)
        << "with Status off only the line-start items exist";
}

TEST_F(CaptureControl, StatusRecordsAddItemsOnlyWithStatusOnAndTicksOf8192)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    Frame()->RunCommand(ID_SHOW_STATUS);
    Frame()->RunCommand(ID_SHOW_STAMP);
    ASSERT_EQ(Doc()->DisplayMode().Status, 1);
    Doc()->OnAnalyzerStart();
    // A status change, a tick of 13 zero bits, and a trailing odd byte.
    FeedFromWorker(Doc(), {{0x47, 0x00, 0x80, 0x00, 0x20}});
    Pump(50);
    CStoreGuard guard(View()->StoreLock());
    const CLines& lines = Doc()->Lines();
    EXPECT_EQ(lines.GetCounters()[CNT_RTS_RISE], 1u);
    EXPECT_EQ(lines.GetCounters()[CNT_CTS_RISE], 1u);
    EXPECT_EQ(CountItems(lines, KIND_STATUS) - lines.GetLineCount(), 1);
    ASSERT_EQ(CountItems(lines, KIND_STAMP), 1);
    const CLineInfo* last = lines.GetLine(lines.GetLastLineIndex());
    const auto* stamp = static_cast<const CStamp*>(last->GetItem(last->GetItemCount() - 1));
    EXPECT_EQ(stamp->Elapsed(), 8192u);
}

TEST_F(CaptureControl, LiveDataIsDrawnIncrementallyAndFollowsTheTail)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    Doc()->OnAnalyzerStart();
    Pump(50);
    View()->grab(); // the first full paint
    const int rendersBefore = View()->FullRenderCount();
    const QImage before = View()->BackingImage().copy();

    for (int burst = 0; burst < 5; ++burst) {
        FeedFromWorker(Doc(), {DataBlock(3), DataBlock(2, true)});
        Pump(20);
    }
    // Live drawing is paced: the last bursts appear within a draw interval.
    EXPECT_TRUE(WaitUntil([this] { return CounterLabel(0) == QStringLiteral("TXD:15"); }, 2000));
    EXPECT_EQ(View()->FullRenderCount(), rendersBefore) << "small bursts are drawn from the last position";
    EXPECT_NE(View()->BackingImage(), before);
    EXPECT_EQ(CounterLabel(1), QStringLiteral("RXD:10"));

    // Enough for many lines at once: the view keeps showing the newest line.
    const int visible = View()->GetVisibleLineCount();
    for (int burst = 0; burst < 3; ++burst) {
        FeedFromWorker(Doc(), {DataBlock(1000), DataBlock(1000, true)});
        Pump(20);
    }
    int lineCount = 0;
    {
        CStoreGuard guard(View()->StoreLock());
        lineCount = Doc()->Lines().GetLineCount();
    }
    ASSERT_GT(lineCount, visible);
    EXPECT_TRUE(WaitUntil([&] { return View()->FirstVisibleLine() == lineCount - visible; }, 2000))
        << View()->FirstVisibleLine() << " of " << lineCount;
    Doc()->OnAnalyzerStop();
}

TEST_F(CaptureControl, DisplayModeCommandsAreCheckedAndReachTheView)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    const int asciiHeight = View()->GetLineHeight();
    Frame()->RunCommand(ID_MODE_HEX_V);
    Frame()->UpdateCommandUI();
    EXPECT_TRUE(Frame()->Action(ID_MODE_HEX_V)->isChecked());
    EXPECT_FALSE(Frame()->Action(ID_MODE_ASCII)->isChecked());
    EXPECT_EQ(View()->GetLineHeight(), 2 * Doc()->DisplayMode().cxChar);
    Frame()->RunCommand(ID_SHOW_STATUS);
    EXPECT_EQ(View()->GetLineHeight(), 2 * Doc()->DisplayMode().cxChar + 5 * Doc()->DisplayMode().cyChar);
    Frame()->RunCommand(ID_SHOW_STATUS);
    Frame()->RunCommand(ID_MODE_ASCII);
    EXPECT_EQ(View()->GetLineHeight(), asciiHeight);
}
