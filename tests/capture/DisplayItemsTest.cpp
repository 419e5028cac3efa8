// Display items as a user sees them: painted into an image, checked by colour
// and position.
#include "CDataChar.h"
#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "CStamp.h"
#include "CStampTime.h"
#include "CStatus.h"
#include "ColorRef.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <gtest/gtest.h>

namespace {

class ItemPaintTest : public ::testing::Test {
protected:
    ItemPaintTest() : image(200, 200, QImage::Format_RGB32)
    {
        const CharCell cell = fonts.MeasureCell();
        mode.cxChar = cell.cxChar;
        mode.cyChar = cell.cyChar;
        image.fill(Qt::black);
    }

    QRect Cell() const { return QRect(10, 10, mode.cxChar, mode.cyChar); }

    void Paint(const CShape& item, const QRect& rect)
    {
        QPainter p(&image);
        item.Draw(p, rect, fonts, mode);
    }

    // How many pixels of `rect` have `colour`, give or take the blending of
    // anti-aliased glyph edges.
    int Count(const QRect& rect, int32_t colour) const
    {
        const QColor want = ColorFromRef(colour);
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                         std::abs(c.blue() - want.blue()) <= 90;
            }
        }
        return n;
    }

    CDisplayFonts fonts;
    CDisplayMode mode;
    QImage image;
};

} // namespace

TEST_F(ItemPaintTest, TxdAndRxdCharactersTakeTheirRowAndColour)
{
    Paint(CDataChar('A', 0x20), Cell());
    const QRect lower = Cell().translated(0, mode.cyChar);
    EXPECT_GT(Count(Cell(), mode.crDataTXD), 3);
    EXPECT_GT(Count(Cell(), mode.crBkColor), Cell().width() * Cell().height() / 2);
    EXPECT_EQ(Count(lower, mode.crBkColor), 0); // nothing spills into the RXD row

    image.fill(Qt::black);
    Paint(CDataChar('A', 0x28), Cell());
    EXPECT_EQ(Count(Cell(), mode.crBkColor), 0);
    EXPECT_GT(Count(lower, mode.crDataRXD), 3);
}

TEST_F(ItemPaintTest, SpecialCharactersUseTheirColourInAsciiModeOnly)
{
    for (uint8_t c : {uint8_t(0x0D), uint8_t(0x1B), uint8_t(0x85), uint8_t(0xE9), uint8_t(0x20)}) {
        image.fill(Qt::black);
        Paint(CDataChar(c, 0x20), Cell());
        EXPECT_EQ(Count(Cell(), mode.crDataTXD), 0) << int(c);
        if (c != 0x20) {
            EXPECT_GT(Count(Cell(), mode.crSpecChar), 0) << int(c);
        }
    }
    mode.DataMode = 1;
    image.fill(Qt::black);
    Paint(CDataChar(0x1B, 0x20), Cell());
    EXPECT_GT(Count(Cell(), mode.crDataTXD), 0);
    EXPECT_EQ(Count(Cell(), mode.crSpecChar), 0);
}

TEST_F(ItemPaintTest, ErrorBackgroundsAndTheFindMark)
{
    const int area = Cell().width() * Cell().height();
    Paint(CDataChar('x', 0x32), Cell()); // error, framing
    EXPECT_GT(Count(Cell(), mode.crErrFrame), area / 2);
    Paint(CDataChar('x', 0x30), Cell()); // error, parity
    EXPECT_GT(Count(Cell(), mode.crErrParity), area / 2);
    mode.Error = 0;
    Paint(CDataChar('x', 0x30), Cell());
    EXPECT_GT(Count(Cell(), mode.crBkColor), area / 2);
    mode.Error = 1;
    mode.crHighlight = RefFromColor(QColor(0, 255, 128));
    CDataChar marked('x', 0x32);
    marked.mark = 1;
    Paint(marked, Cell());
    EXPECT_GT(Count(Cell(), mode.crHighlight), area / 2);
}

TEST_F(ItemPaintTest, GlyphsComeFromTheFontThatHoldsThem)
{
    using G = CDataChar::Glyph;
    auto is = [](G g, int font, int code) { return g.font == font && g.code == code; };
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x41, 0), CDisplayFonts::SPC, 0x41));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x0D, 0), CDisplayFonts::SPC, 0x0D));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x1B, 0), CDisplayFonts::PATTERN, 0x6B));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x85, 0), CDisplayFonts::PATTERN, 0x25));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0xB7, 0), CDisplayFonts::PATTERN, 0x57));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0xE9, 0), CDisplayFonts::SPC, 0xE9));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x1B, 1), CDisplayFonts::PATTERN, 0x4B));
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x41, 1), CDisplayFonts::HEX, 0x41));
    // A data mode from a hand-edited file draws as ASCII.
    EXPECT_TRUE(is(CDataChar::GlyphFor(0x1B, 9), CDisplayFonts::PATTERN, 0x6B));
}

TEST_F(ItemPaintTest, HexVerticalCellsAreSquareAndStillInk)
{
    mode.DataMode = 2;
    const CDataChar c(0x0A, 0x20);
    EXPECT_EQ(c.GetExtent(mode, 1), (Extent{mode.cxChar, mode.cxChar}));
    const QRect cell(10, 10, mode.cxChar, mode.cxChar);
    Paint(c, cell);
    EXPECT_GT(Count(cell, mode.crDataTXD), 3);
    // With Data off, stamps and status items are two text rows high.
    mode.Data = 0;
    mode.Stamp = mode.Status = 1;
    EXPECT_EQ(CStamp(5, 0).GetExtent(mode, 1).cy, 2 * mode.cyChar);
    EXPECT_EQ(CStatus(0x47, 0x5F).GetExtent(mode, 1).cy, 2 * mode.cyChar);
}

TEST_F(ItemPaintTest, StatusItemsShowTheEdgeOfTheLineThatChanged)
{
    mode.Status = 1;
    const CStatus item(0x57, 0x5F); // RTS goes active, the rest stay inactive
    EXPECT_EQ(item.GetExtent(mode, 1).cx, mode.cxChar);
    QPen pens[2] = {QPen(ColorFromRef(mode.crDataTXD)), QPen(ColorFromRef(mode.crDataRXD))};
    const int x = 20, y = 20, w = mode.cxChar, cy = mode.cyChar;
    {
        QPainter p(&image);
        item.PaintLineRows(p, pens, x, y, w, mode, 1);
    }
    const QRgb txd = ColorFromRef(mode.crDataTXD).rgb();
    const QRgb rxd = ColorFromRef(mode.crDataRXD).rgb();
    // RTS row: low at the left, a step two pixels in, high afterwards.
    EXPECT_EQ(image.pixel(x + 1, y + cy - 2), txd);
    EXPECT_EQ(image.pixel(x + 2, y + cy / 2), txd);
    EXPECT_EQ(image.pixel(x + w - 1, y + 2), txd);
    EXPECT_NE(image.pixel(x + w - 1, y + cy - 2), txd);
    // CTS row (second, RXD pen): flat at the bottom, no step.
    EXPECT_EQ(image.pixel(x + w - 1, y + cy + cy - 2), rxd);
    EXPECT_NE(image.pixel(x + 2, y + cy + cy / 2), rxd);
    // DTR row (fourth) uses the TXD pen, DSR (fifth) the RXD pen.
    EXPECT_EQ(image.pixel(x + w - 1, y + 4 * cy - 2), txd);
    EXPECT_EQ(image.pixel(x + w - 1, y + 5 * cy - 2), rxd);
}

TEST(DisplayItemsTest, StatusPreviousByteAndLineStarts)
{
    CDisplayMode mode;
    mode.Status = 1;
    mode.cxChar = 8;
    mode.cyChar = 16;
    EXPECT_EQ(CStatus(0x47, 0x5F).Previous(), 0x5F);
    const CStatus fromPlain(0x47, 0x1F);
    EXPECT_EQ(fromPlain.Previous(), 0x07);
    EXPECT_EQ(fromPlain.GetExtent(mode, 1).cx, 8);
    CStatus start(0x47, 0x47);
    start.MakeLineStart();
    EXPECT_EQ(start.GetExtent(mode, 1), Extent{});
    ByteBuffer out;
    start.GetRecord(out);
    EXPECT_EQ(out, (ByteBuffer{0x47, 0x47}));
}

TEST(DisplayItemsTest, StampTextsThresholdsAndCarry)
{
    CDisplayMode mode;
    mode.Stamp = 1;
    mode.cxChar = 8;
    mode.cyChar = 16;
    EXPECT_EQ(CStamp(3723004, 0).Text(0), QStringLiteral("01:02 \n03:004"));
    EXPECT_EQ(CStamp(100u * 3600000u, 0).Text(1), QStringLiteral("100:00 \n00:000"));
    mode.StampMode = 3;
    EXPECT_EQ(CStamp(999, 0).GetExtent(mode, 1), Extent{});
    mode.StampMode = 0;
    EXPECT_EQ(CStamp(999, 0).GetExtent(mode, 2), (Extent{2 + 24, 32}));
    EXPECT_EQ(CStamp(999, 0).Text(0), QStringLiteral("00:00 \n00:999"));
    mode.StampMode = 42; // garbage from a file: treated as the finest resolution
    EXPECT_EQ(CStamp(1, 0).GetExtent(mode, 1).cx, 25);

    CStamp day(86399000, 0);
    EXPECT_EQ(day.Accumulate(5000, 9), 4000u);
    EXPECT_EQ(day.Elapsed(), 86400000u);
    EXPECT_EQ(day.Time(), 9);
    EXPECT_EQ(day.Accumulate(0, 10), 0u);

    // Date-and-time mode and start/stop marks read local time.
    qputenv("TZ", "UTC");
    tzset();
    EXPECT_EQ(CStamp(0, 1700000000).Text(4), QStringLiteral("D11/14\n221320"));
    EXPECT_EQ(CStampTime(1700000000).Text(), QStringLiteral("23/11/14\n22:13:20"));
    mode.DateTime = 0;
    EXPECT_EQ(CStampTime(0).GetExtent(mode, 1), Extent{});
}

TEST_F(ItemPaintTest, ACharacterNeverPaintsOutsideItsCellEvenInAFontTooLarge)
{
    // Every picture of the display fonts lies inside its cell, so they are
    // drawn without a clip; a font whose glyph does not (a substitute, here a
    // data font three times too large) is clipped to the cell.
    for (int c = 0; c < 256; ++c) {
        const CDataChar::Glyph g = CDataChar::GlyphFor(static_cast<uint8_t>(c), c % 2);
        const QRectF ink = fonts.GlyphBounds(g.font, g.code).translated(0, QFontMetrics(fonts[g.font]).ascent());
        EXPECT_TRUE(ink.isEmpty() || QRectF(0, 0, mode.cxChar, mode.cyChar).contains(ink)) << "byte " << c;
    }
    fonts[CDisplayFonts::SPC].setPixelSize(3 * mode.cyChar);
    Paint(CDataChar('W', 0x20), Cell().translated(40, 40));
    const QRect inside = Cell().translated(40, 40);
    int outside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) outside += !inside.contains(x, y) && image.pixelColor(x, y) != Qt::black;
    EXPECT_EQ(outside, 0);
    EXPECT_GT(Count(inside, mode.crDataTXD), 3) << "the part of the glyph inside the cell is drawn";
}
