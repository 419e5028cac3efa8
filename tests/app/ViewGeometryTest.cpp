// The view's layout arithmetic, without a window.
#include "ViewGeometry.h"

#include <gtest/gtest.h>

using namespace viewgeo;

TEST(ViewGeometry, BandHeightFollowsModeAndStatusRows)
{
    BandLayout ascii{8, 16, true, 0, false};
    EXPECT_EQ(ascii.BandHeight(), 32);
    EXPECT_EQ(ascii.Pitch(), 39);
    BandLayout vertical{8, 16, true, 2, true};
    EXPECT_EQ(vertical.RowHeight(), 8) << "HEX vertical rows are a rotated cell";
    EXPECT_EQ(vertical.BandHeight(), 2 * 8 + 5 * 16);
    BandLayout noData{8, 16, false, 2, false};
    EXPECT_EQ(noData.RowHeight(), 16) << "without Data the mode does not matter";
}

TEST(ViewGeometry, VisibleLinesAndPaintedBandsAtTheBottomEdge)
{
    const int h = 32;
    const int exact = 3 * h + 2 * kBandGap;
    EXPECT_EQ(VisibleLineCount(h, 0, exact), 3);
    EXPECT_EQ(VisibleLineCount(h, 0, exact - 1), 2);
    EXPECT_EQ(VisibleLineCount(0, 0, 500), 0);
    EXPECT_EQ(VisibleLineCount(-5, 0, 500), 0);
    EXPECT_EQ(VisibleLineCount(h, 0, h - 1), 0);

    // One pixel short: the third band is cut, so it is painted only at rest.
    const int thirdTop = 2 * (h + kBandGap);
    EXPECT_FALSE(BandPainted(thirdTop, h, exact - 1, true));
    EXPECT_TRUE(BandPainted(thirdTop, h, exact - 1, false));
    EXPECT_TRUE(BandPainted(thirdTop, h, exact, true));
}

TEST(ViewGeometry, BandAtSeparatesBandsFromGaps)
{
    const int h = 32;
    EXPECT_EQ(BandAt(0, h), 0);
    EXPECT_EQ(BandAt(h - 1, h), 0);
    EXPECT_EQ(BandAt(h, h), -1) << "first pixel of the gap";
    EXPECT_EQ(BandAt(h + kBandGap - 1, h), -1);
    EXPECT_EQ(BandAt(h + kBandGap, h), 1);
    EXPECT_EQ(BandAt(-1, h), -1);
    EXPECT_EQ(BandAt(10, 0), -1);
}

TEST(ViewGeometry, FirstLineIsCorrectedWhenBeyondTheStore)
{
    EXPECT_EQ(CorrectFirstLine(5, 100, 20), 5);
    EXPECT_EQ(CorrectFirstLine(100, 100, 20), 80) << "past the end: the last page";
    EXPECT_EQ(CorrectFirstLine(-3, 100, 20), 80) << "negative counts as not below the count";
    EXPECT_EQ(CorrectFirstLine(50, 10, 20), 0) << "everything fits";
    EXPECT_EQ(CorrectFirstLine(0, 0, 20), 0);
    // After the store dropped 8 lines the view's line moves with its text.
    EXPECT_EQ(CorrectFirstLine(100 - 8, 2048, 20), 92);
}

TEST(ViewGeometry, VerticalScrollCodesClampToTheLastPage)
{
    const ScrollRange range = VerticalRange(99, 20); // 100 lines, 20 visible
    EXPECT_EQ(range.MaxPosition(), 80);
    EXPECT_EQ(VerticalScroll(range, 10, ScrollCode::LineUp), 9);
    EXPECT_EQ(VerticalScroll(range, 0, ScrollCode::LineUp), 0);
    EXPECT_EQ(VerticalScroll(range, 80, ScrollCode::LineDown), 80);
    EXPECT_EQ(VerticalScroll(range, 70, ScrollCode::PageDown), 80);
    EXPECT_EQ(VerticalScroll(range, 30, ScrollCode::PageUp), 10);
    EXPECT_EQ(VerticalScroll(range, 30, ScrollCode::Top), 0);
    EXPECT_EQ(VerticalScroll(range, 30, ScrollCode::Bottom), 80);
    EXPECT_EQ(VerticalScroll(range, 30, ScrollCode::ThumbPosition, 41), 41);
    EXPECT_EQ(VerticalScroll(range, 30, ScrollCode::ThumbTrack, 41), 30) << "dragging does not move the view";

    const ScrollRange empty = VerticalRange(0, 20);
    EXPECT_EQ(empty.MaxPosition(), 0);
    EXPECT_EQ(VerticalScroll(empty, 0, ScrollCode::Bottom), 0);
}

TEST(ViewGeometry, HorizontalRangeCoversTheLineWidth)
{
    const ScrollRange wide = HorizontalRange(1000, 630); // data area 600 wide
    EXPECT_EQ(wide.page, 600);
    EXPECT_EQ(wide.MaxPosition(), 400);
    EXPECT_EQ(HorizontalRange(500, 630).MaxPosition(), 0) << "the data area fits: no scrolling";
    EXPECT_EQ(HorizontalRange(-1, 100).MaxPosition(), 0);
}

TEST(ViewGeometry, LiveDrawingScrollsOnlyWhenNoWholeBandFits)
{
    const int h = 32, bottom = 3 * h + 2 * kBandGap;
    EXPECT_FALSE(NeedsScrollForNextBand(0, h, bottom));
    EXPECT_FALSE(NeedsScrollForNextBand(h + kBandGap, h, bottom));
    EXPECT_TRUE(NeedsScrollForNextBand(2 * (h + kBandGap), h, bottom));
}

TEST(ViewGeometry, PositionPopupStaysInsideTheView)
{
    auto p = PlacePositionPopup(100, 100, 1000, 800);
    EXPECT_EQ(p.left, 100);
    EXPECT_EQ(p.top, 100);
    p = PlacePositionPopup(900, 750, 1000, 800);
    EXPECT_EQ(p.left, 771);
    EXPECT_EQ(p.top, 685);
}
