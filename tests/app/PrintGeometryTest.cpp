// The page arithmetic of printing, without a printer.
#include "PrintGeometry.h"

#include <gtest/gtest.h>

using namespace printgeo;

TEST(PrintGeometry, ScreenPixelsBecomePrinterPixelsRoundedHalfAwayFromZero)
{
    EXPECT_EQ(Convert(30, 600), 188);   // 187.5
    EXPECT_EQ(Convert(1, 600), 6);      // 6.25
    EXPECT_EQ(Convert(26, 600), 163);   // 162.5
    EXPECT_EQ(Convert(-26, 600), -163);
    EXPECT_EQ(Convert(16, 96), 16);
    EXPECT_EQ(Convert(9999 + 30, 2400), 250725) << "no overflow at large widths and resolutions";
}

TEST(PrintGeometry, A600DpiPageScalesTheLineToThePrintableWidth)
{
    const PrintScale s = ComputeScale(600, 4800, 770);
    EXPECT_EQ(s.margin, 188);
    EXPECT_NEAR(s.scale, 4424.0 / 5000.0, 1e-6);
    EXPECT_EQ(s.fontHeight, 88);
    EXPECT_EQ(s.stampFontHeight, 66);   // 75 x 0.8848
    EXPECT_EQ(s.lineGap, 38);           // 44 x 0.8848
    EXPECT_EQ(s.unit, 6);
    EXPECT_EQ(s.captionWidth, 163);     // 26 screen pixels
    EXPECT_TRUE(s.Usable());
    // The whole line and its captions fit between the margins.
    EXPECT_LE(s.captionWidth + Convert(770, 600) * s.scale, 4800 - 2 * s.margin);
}

TEST(PrintGeometry, PagesArePaginatedByWholeBands)
{
    // 150 lines at 40 a page: 4 pages, the last from line 120 to 149.
    EXPECT_EQ(PageCount(150, 40), 4);
    EXPECT_EQ(FirstLineOfPage(4, 40), 120);
    EXPECT_EQ(FirstLineOfPage(1, 40), 0);
    EXPECT_EQ(PageCount(160, 40), 4);
    EXPECT_EQ(PageCount(161, 40), 5);
    // A band that ends exactly at the bottom of the page area is printed;
    // one pixel less and it is not.
    EXPECT_EQ(LinesPerPage(100, 10, 0, 100), 1);
    EXPECT_EQ(LinesPerPage(100, 10, 0, 99), 0);
    EXPECT_EQ(LinesPerPage(100, 10, 50, 260), 2);
    EXPECT_EQ(LinesPerPage(100, 10, 50, 259), 1);
    EXPECT_EQ(LinesPerPage(100, 0, 0, 1000), 10);
    const Edges area = PageArea(Edges{0, 0, 4800, 6600}, 188);
    EXPECT_EQ(area.Width(), 4424);
    EXPECT_EQ(area.Height(), 6224);
}

TEST(PrintGeometry, NothingFitsOrNothingToPrintGivesNoPagesAndNoDivision)
{
    EXPECT_EQ(PageCount(0, 40), 0) << "an empty store";
    EXPECT_EQ(PageCount(150, 0), 0) << "not one band fits";
    EXPECT_EQ(LinesPerPage(0, 5, 0, 1000), 0);
    EXPECT_FALSE(ComputeScale(600, 300, 770).Usable()) << "margins wider than the page";
    EXPECT_FALSE(ComputeScale(0, 4800, 770).Usable()) << "a printer without a resolution";
    EXPECT_FALSE(ComputeScale(600, 377, 770).Usable()) << "one pixel between the margins is no font";
    EXPECT_TRUE(ComputeScale(600, 4800, -1).Usable()) << "a line width not set yet";
}
