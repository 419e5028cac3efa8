// The view at rest: hit testing, the position text, scrolling by keys, wheel
// and thumb.
#include "AppFixture.h"

#include "CLineInfo.h"
#include "CLines.h"
#include "CToolBarStatus.h"
#include "WindowMessages.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

class ViewAtRest : public AppFixture {
protected:
    void SetUp() override
    {
        Setup setup;
        setup.unplugged = true;
        ASSERT_TRUE(StartApp(setup));
    }
    // Lines of `perLine` TXD/RXD pairs each, then the view told the log changed.
    void Fill(int lineCount)
    {
        {
            CStoreGuard guard(View()->StoreLock());
            CDisplayMode& mode = Doc()->DisplayMode();
            const int perLine = mode.cxLine / mode.cxChar;
            for (int i = 0; i < lineCount * perLine; ++i)
                Doc()->Lines().AddDataChar(static_cast<uint8_t>('0' + i % 10), (i % 2) ? 0x28 : 0x20, mode);
        }
        SendMessage(View(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
        SendMessage(View(), WM_VIEW_STATE, VIEW_CAPTURE_STOPPED);
    }
    void Key(int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(View(), &press);
    }
    int Pitch() const { return View()->GetLineHeight() + 7; }
    int LineCount()
    {
        CStoreGuard guard(View()->StoreLock());
        return Doc()->Lines().GetLineCount();
    }
};

} // namespace

TEST_F(ViewAtRest, EmptyStoreHasAnEmptyRangeAndNoHits)
{
    EXPECT_EQ(View()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(View()->HitTest(QPoint(100, 5)), std::make_pair(0, -1)) << "a band with no line";
    View()->grab();
    const QImage& image = View()->BackingImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(200, 5), QColor(Qt::white)) << "bands are filled with the background";
}

TEST_F(ViewAtRest, HitTestReportsTheCharacterUnderThePointer)
{
    Fill(3);
    const int cx = Doc()->DisplayMode().cxChar;
    const int r = Doc()->DisplayMode().cyChar;
    const CLineInfo* line0 = Doc()->Lines().GetLine(0);
    ASSERT_NE(line0, nullptr);
    const int perLine = line0->GetDataCount();
    // Characters alternate TXD, RXD from the start of the store; each is
    // found only in its own row.
    const int x0 = 30 + cx / 2;
    const int band1 = Pitch();
    auto rowOf = [&](int index) { return band1 + ((index % 2) ? r : 0) + 2; };
    auto otherRowOf = [&](int index) { return band1 + ((index % 2) ? 0 : r) + 2; };
    EXPECT_EQ(View()->HitTest(QPoint(x0, rowOf(perLine))), std::make_pair(1, perLine));
    EXPECT_EQ(View()->HitTest(QPoint(x0 + cx, rowOf(perLine + 1))), std::make_pair(1, perLine + 1));
    EXPECT_EQ(View()->HitTest(QPoint(x0 + cx, otherRowOf(perLine + 1))), std::make_pair(1, -1));
    EXPECT_EQ(View()->HitTest(QPoint(20, band1 + 2)), std::make_pair(1, -1)) << "caption column";
    EXPECT_EQ(View()->HitTest(QPoint(x0, View()->GetLineHeight() + 3)), std::make_pair(-1, -1)) << "in the gap";

    QMouseEvent move(QEvent::MouseMove, QPointF(x0 + cx, rowOf(perLine + 1)), QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(View()->viewport(), &move);
    Pump(20);
    EXPECT_EQ(Pane(1), QStringLiteral("Ln: 2, Idx:%1").arg(perLine + 2));
    EXPECT_EQ(CAnalyzerView::PositionText(-1, -1), QStringLiteral(" "));
    EXPECT_EQ(CAnalyzerView::PositionText(4, -1), QStringLiteral("Ln: 5"));
}

TEST_F(ViewAtRest, KeysAndWheelScrollByWholeLines)
{
    Fill(100);
    const int visible = View()->GetVisibleLineCount();
    ASSERT_GT(visible, 2);
    const int last = LineCount() - visible;
    Key(Qt::Key_End);
    EXPECT_EQ(View()->FirstVisibleLine(), last);
    Key(Qt::Key_Home);
    EXPECT_EQ(View()->FirstVisibleLine(), 0);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(View()->FirstVisibleLine(), visible);
    Key(Qt::Key_Up);
    EXPECT_EQ(View()->FirstVisibleLine(), visible - 1);
    Key(Qt::Key_Down);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(View()->FirstVisibleLine(), 0);
    Key(Qt::Key_Up);
    EXPECT_EQ(View()->FirstVisibleLine(), 0) << "clamped at the top";

    QWheelEvent wheel(QPointF(50, 50), QPointF(), QPoint(), QPoint(0, -480), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(View()->viewport(), &wheel);
    EXPECT_EQ(View()->FirstVisibleLine(), 1) << "one line per wheel message, whatever the delta";
}

TEST_F(ViewAtRest, DraggingTheThumbShowsTheTargetAndMovesOnlyOnRelease)
{
    Fill(100);
    QScrollBar* bar = View()->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(41);
    Pump(20);
    EXPECT_EQ(Pane(0), QStringLiteral("Scroll to: 42"));
    EXPECT_EQ(View()->FirstVisibleLine(), 0);
    bar->setSliderDown(false);
    Pump(20);
    EXPECT_EQ(View()->FirstVisibleLine(), 41);
    EXPECT_EQ(Pane(0), QStringLiteral("Ready"));
}

TEST_F(ViewAtRest, NoScrollingWhileCapturingAndTheTailAfterwards)
{
    Fill(100);
    Doc()->OnAnalyzerStart();
    Pump(20);
    const int tail = View()->FirstVisibleLine();
    EXPECT_EQ(tail, LineCount() - View()->GetVisibleLineCount());
    Key(Qt::Key_Home);
    EXPECT_EQ(View()->FirstVisibleLine(), tail);
    Doc()->OnAnalyzerStop();
    Pump(20);
    Key(Qt::Key_Home);
    EXPECT_EQ(View()->FirstVisibleLine(), 0);
}

TEST_F(ViewAtRest, TrimmingShiftsTheFirstVisibleLineWithItsText)
{
    Fill(100);
    Key(Qt::Key_End);
    const int first = View()->FirstVisibleLine();
    {
        CStoreGuard guard(View()->StoreLock());
        View()->ShiftFirstLineLocked(8);
    }
    EXPECT_EQ(View()->FirstVisibleLine(), first - 8);
}

TEST_F(ViewAtRest, TheLineWidthIsSetOnlyOncePerRun)
{
    const int width = Doc()->DisplayMode().cxLine;
    EXPECT_GT(width, 0);
    Frame()->resize(600, 400);
    Pump(20);
    Doc()->OnNewDocument();
    Pump(20);
    EXPECT_EQ(Doc()->DisplayMode().cxLine, width);
}
