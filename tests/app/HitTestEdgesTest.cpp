// The pointer on the edges of character cells: a cell's last pixel is that
// cell, the next pixel already the next cell, and past a line's last item
// there is no character at all.
#include "AppFixture.h"

#include "CLineInfo.h"
#include "CLines.h"
#include "ViewGeometry.h"
#include "WindowMessages.h"

using HitTestEdges = AppFixture;

TEST_F(HitTestEdges, ACellEndsWhereTheNextBegins)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    int perLine = 0;
    {
        CStoreGuard guard(View()->StoreLock());
        CDisplayMode& mode = Doc()->DisplayMode();
        // TXD and RXD alternate, so neighbouring cells are in different rows.
        for (int i = 0; i < 2 * (mode.cxLine / mode.cxChar); ++i)
            Doc()->Lines().AddDataChar(static_cast<uint8_t>('a' + i % 26), (i % 2) ? 0x28 : 0x20, mode);
        perLine = Doc()->Lines().GetLine(0)->GetDataCount();
    }
    SendMessage(View(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
    SendMessage(View(), WM_VIEW_STATE, VIEW_CAPTURE_STOPPED);
    ASSERT_GT(perLine, 3);

    const int cx = Doc()->DisplayMode().cxChar;
    const int cy = Doc()->DisplayMode().cyChar;
    const int left = viewgeo::kCaptionWidth;
    auto rowOf = [&](int index) { return (index % 2 ? cy : 0) + cy / 2; }; // line 0, band 0
    for (int k : {0, 1, 2}) {
        EXPECT_EQ(View()->HitTest(QPoint(left + k * cx, rowOf(k))), std::make_pair(0, k)) << "first pixel of " << k;
        EXPECT_EQ(View()->HitTest(QPoint(left + (k + 1) * cx - 1, rowOf(k))), std::make_pair(0, k)) << "last pixel of " << k;
        // The next pixel belongs to cell k + 1, whose character is in the other row.
        EXPECT_EQ(View()->HitTest(QPoint(left + (k + 1) * cx, rowOf(k))), std::make_pair(0, -1)) << "right edge of " << k;
    }
    const int last = perLine - 1;
    EXPECT_EQ(View()->HitTest(QPoint(left + perLine * cx - 1, rowOf(last))), std::make_pair(0, last));
    EXPECT_EQ(View()->HitTest(QPoint(left + perLine * cx, rowOf(last))), std::make_pair(0, -1)) << "just past the line";
}
