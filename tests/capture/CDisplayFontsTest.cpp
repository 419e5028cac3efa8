// The display fonts: the embedded files really load, every code the display
// asks of a font has its own picture, every picture stays in its cell, and
// the pictures are the ones each mode needs.
#include "CDataChar.h"
#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "CStampTime.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRawFont>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// One glyph rendered into a cell with a white margin around it.
struct Rendered {
    QImage image;
    QRect cell;
};

constexpr int kMargin = 8;

Rendered Render(const CDisplayFonts& fonts, int index, char16_t code, bool viaText = false)
{
    const CharCell size = fonts.MeasureCell();
    Rendered r;
    r.cell = QRect(kMargin, kMargin, size.cxChar, size.cyChar);
    r.image = QImage(size.cxChar + 2 * kMargin, size.cyChar + 2 * kMargin, QImage::Format_RGB32);
    r.image.fill(Qt::white);
    QPainter p(&r.image);
    p.setPen(Qt::black);
    p.setFont(fonts[index]);
    const QPointF origin(r.cell.left(), r.cell.top() + QFontMetrics(fonts[index]).ascent());
    if (viaText) {
        p.drawText(origin, QString(QChar(code)));
    } else {
        fonts.DrawCode(p, index, origin, code);
    }
    return r;
}

int InkPixels(const Rendered& r, bool outsideCell)
{
    int count = 0;
    for (int y = 0; y < r.image.height(); ++y) {
        for (int x = 0; x < r.image.width(); ++x) {
            if (r.cell.contains(x, y) == outsideCell) continue;
            if (r.image.pixel(x, y) != qRgb(255, 255, 255)) ++count;
        }
    }
    return count;
}

QString Hex(int index, char16_t code)
{
    return QStringLiteral("font %1 code 0x%2").arg(index).arg(int(code), 2, 16, QLatin1Char('0'));
}

constexpr int kPictureFonts[] = {CDisplayFonts::SPC, CDisplayFonts::HEX, CDisplayFonts::PATTERN};

class DisplayFontsTest : public ::testing::Test {
protected:
    CDisplayFonts fonts{16};
};

} // namespace

TEST_F(DisplayFontsTest, EmbeddedFilesRegisterAndEveryTableEntryResolvesToItsOwnFamily)
{
    for (const char* file : {":/fonts/KS_SPC.ttf", ":/fonts/KS_HEX.ttf", ":/fonts/KS_PAT.ttf",
                             ":/fonts/LiberationMono-Regular.ttf"}) {
        EXPECT_TRUE(QFile::exists(QString::fromLatin1(file))) << file;
    }
    EXPECT_TRUE(CDisplayFonts::InstallDisplayFonts());
    EXPECT_TRUE(CDisplayFonts::InstallDisplayFonts()) << "a second call reports the same";

    const char* expected[CDisplayFonts::COUNT] = {
        CDisplayFonts::kSpcFamily,     CDisplayFonts::kCourierFamily, CDisplayFonts::kHexFamily,
        CDisplayFonts::kCourierFamily, CDisplayFonts::kCourierFamily, CDisplayFonts::kPatFamily};
    for (int i = 0; i < CDisplayFonts::COUNT; ++i) {
        const QFontInfo info(fonts[i]);
        EXPECT_EQ(info.family(), QString::fromLatin1(expected[i])) << "font " << i;
        // 16 pixels is the picture fonts' em and the typewriter face's line.
        if (expected[i] == CDisplayFonts::kCourierFamily) {
            EXPECT_LE(QFontMetrics(fonts[i]).height(), 16) << "font " << i;
            EXPECT_GE(QFontMetrics(fonts[i]).height(), 14) << "font " << i;
        } else {
            EXPECT_EQ(info.pixelSize(), 16) << "font " << i;
        }
        EXPECT_EQ(fonts[i].weight(), QFont::Normal) << "font " << i;
        EXPECT_FALSE(fonts[i].italic() || fonts[i].underline() || fonts[i].strikeOut()) << "font " << i;
        EXPECT_EQ(fonts[i].styleStrategy() & QFont::NoFontMerging, QFont::NoFontMerging) << "font " << i;
    }
    // The faces the table asks fixed pitch of really are fixed pitch.
    for (int i : {0, 1, 2, 5}) EXPECT_TRUE(QFontInfo(fonts[i]).fixedPitch()) << "font " << i;
}

TEST_F(DisplayFontsTest, EveryCodeAskedOfAFontHasItsOwnGlyphAndTheCellAdvance)
{
    const qreal cellAdvance = QRawFont::fromFont(fonts[CDisplayFonts::SPC]).advancesForGlyphIndexes(
        QRawFont::fromFont(fonts[CDisplayFonts::SPC]).glyphIndexesForString(QStringLiteral("0")))[0].x();
    for (int index : kPictureFonts) {
        const QRawFont raw = QRawFont::fromFont(fonts[index]);
        ASSERT_TRUE(raw.isValid()) << "font " << index;
        for (char16_t code : CDisplayFonts::GlyphCodes(index)) {
            EXPECT_TRUE(raw.supportsCharacter(QChar(code))) << qPrintable(Hex(index, code));
            const auto glyphs = raw.glyphIndexesForString(QString(QChar(code)));
            ASSERT_EQ(glyphs.size(), 1);
            EXPECT_NE(glyphs[0], 0u) << qPrintable(Hex(index, code)) << " is the missing-glyph box";
            EXPECT_DOUBLE_EQ(raw.advancesForGlyphIndexes(glyphs)[0].x(), cellAdvance) << qPrintable(Hex(index, code));
        }
    }
}

TEST_F(DisplayFontsTest, EveryItemGlyphIsOneTheFontsHold)
{
    // The items pick (font, code) per byte and mode; the fonts must hold
    // exactly those codes, or a byte silently draws as the missing box.
    for (int mode : {0, 1}) {
        for (int c = 0; c < 256; ++c) {
            const auto g = CDataChar::GlyphFor(static_cast<uint8_t>(c), mode);
            const auto codes = CDisplayFonts::GlyphCodes(g.font);
            EXPECT_TRUE(std::find(codes.begin(), codes.end(), g.code) != codes.end())
                << "byte 0x" << std::hex << c << " in mode " << mode << " asks " << qPrintable(Hex(g.font, g.code));
        }
    }
}

TEST_F(DisplayFontsTest, EveryPictureHasInkAndNoneLeavesItsCell)
{
    for (int index : kPictureFonts) {
        for (char16_t code : CDisplayFonts::GlyphCodes(index)) {
            const Rendered r = Render(fonts, index, code);
            EXPECT_EQ(InkPixels(r, true), 0) << qPrintable(Hex(index, code)) << " leaves its cell";
            if (index == CDisplayFonts::SPC && code == 0x20) continue;  // the space is blank
            EXPECT_GT(InkPixels(r, false), 4) << qPrintable(Hex(index, code)) << " draws nothing";
        }
    }
}

TEST_F(DisplayFontsTest, DrawCodeShowsCodesTextLayoutHidesAndOtherwiseMatchesDrawText)
{
    // Text layout never prints these, whatever the font holds.
    for (char16_t code : {u'\t', u'\n', u'\f', u'\r', u'\u00AD'}) {
        for (int index : {CDisplayFonts::SPC, CDisplayFonts::HEX}) {
            EXPECT_GT(InkPixels(Render(fonts, index, code), false), 4) << qPrintable(Hex(index, code));
        }
    }
    // Everywhere else DrawCode is drawText: same place, same pixels.
    for (int index : kPictureFonts) {
        for (char16_t code : {u'A', u'0', u'~', u'\u00E9', u'\u001B'}) {
            if (index == CDisplayFonts::PATTERN && (code == u'\u00E9' || code == u'\u001B')) continue;
            EXPECT_EQ(Render(fonts, index, code).image, Render(fonts, index, code, true).image)
                << qPrintable(Hex(index, code));
        }
    }
}

TEST_F(DisplayFontsTest, PicturesAreDistinctAndEachModeSetMatchesItsMode)
{
    const auto image = [this](int index, int code) { return Render(fonts, index, static_cast<char16_t>(code)).image; };

    // Every hex picture differs from every other: no two bytes look alike.
    std::set<QByteArray> seen;
    for (int c = 0; c < 256; ++c) {
        const QImage img = image(CDisplayFonts::HEX, c);
        const QByteArray bits(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes());
        EXPECT_TRUE(seen.insert(bits).second) << "KS_HEX 0x" << std::hex << c << " repeats an earlier picture";
    }
    // The same for the control names, and none of them is an ordinary letter.
    std::set<QByteArray> names;
    for (int c : {0x00, 0x01, 0x0A, 0x0D, 0x1B, 0x7F}) {
        const QImage img = image(CDisplayFonts::SPC, c);
        names.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
    }
    EXPECT_EQ(names.size(), 6u);

    for (int i = 0; i < 16; ++i) {
        // Bytes 0x10-0x1F: the HEX-mode set looks like KS_HEX, the ASCII-mode
        // set like KS_SPC's control names.
        EXPECT_EQ(image(CDisplayFonts::PATTERN, 0x40 + i), image(CDisplayFonts::HEX, 0x10 + i)) << i;
        EXPECT_EQ(image(CDisplayFonts::PATTERN, 0x60 + i), image(CDisplayFonts::SPC, 0x10 + i)) << i;
    }
    for (int c = 0x80; c <= 0x9F; ++c) {
        // The C1 bytes are told apart from ordinary hex bytes in HEX mode.
        EXPECT_NE(image(CDisplayFonts::PATTERN, c - 0x60), image(CDisplayFonts::HEX, c)) << c;
    }
    EXPECT_NE(image(CDisplayFonts::PATTERN, 0x56), image(CDisplayFonts::PATTERN, 0x57));
    // No-break space is visible, unlike space.
    EXPECT_GT(InkPixels(Render(fonts, CDisplayFonts::SPC, 0xA0), false), 4);
}

TEST(DisplayFontsCell, SaneAtScreenSizeAndScalesWithTheTable)
{
    const CharCell cell = CDisplayFonts(16).MeasureCell();
    // Square cells: a byte's two hex digits share one, a stamp's six
    // characters fit three.
    EXPECT_EQ(cell.cxChar, 16);
    EXPECT_GE(cell.cyChar, 14);
    EXPECT_LE(cell.cyChar, 22);

    // Printing builds the table at a larger height: the cell grows with it.
    const CharCell big = CDisplayFonts(64).MeasureCell();
    EXPECT_NEAR(big.cxChar, 4.0 * cell.cxChar, 4.0);
    EXPECT_NEAR(big.cyChar, 4.0 * cell.cyChar, 4.0);
    EXPECT_EQ(QFontInfo(CDisplayFonts(64)[CDisplayFonts::PATTERN]).pixelSize(), 64);

    // A nonsense height still gives a usable, non-zero cell.
    for (int px : {0, -16}) {
        const CharCell odd = CDisplayFonts(px).MeasureCell();
        EXPECT_GT(odd.cxChar, 0);
        EXPECT_GT(odd.cyChar, 0);
    }
    EXPECT_TRUE(CDisplayFonts::GlyphCodes(CDisplayFonts::COUNT).empty());
    EXPECT_TRUE(CDisplayFonts::GlyphCodes(-1).empty());
}

TEST(DisplayFontFiles, CommittedFontsAreWhatTheGeneratorMakes)
{
    // The fonts are generated and committed; a change to the generator that
    // was never run would leave the program drawing the old pictures.
    const QString python = QStringLiteral("/usr/bin/python3");
    const QString dejavu = QStringLiteral("/usr/share/fonts/truetype/dejavu/");
    if (!QFile::exists(python) || !QFile::exists(dejavu + QStringLiteral("DejaVuSansMono.ttf")) ||
        !QFile::exists(dejavu + QStringLiteral("DejaVuSansMono-Bold.ttf"))) {
        GTEST_SKIP() << "the generator's interpreter or base fonts are not installed";
    }
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import fontTools")});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0) GTEST_SKIP() << "fontTools is not installed";

    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(python, {QStringLiteral(KS_SOURCE_DIR "/tools/fonts/make_fonts.py"), QStringLiteral("--check")});
    ASSERT_TRUE(check.waitForFinished(120000));
    EXPECT_EQ(check.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
}

TEST(DisplayFontGaps, NeighbouringCellsAndDateMarksDoNotRunTogether)
{
    // On the display the cells touch; what keeps "77 1D" from reading as
    // "771D" is the clear columns each picture leaves at its cell's edges.
    const CDisplayFonts fonts(16);
    const CharCell cell = fonts.MeasureCell();
    CDisplayMode mode;
    mode.DataMode = 1; // HEX horizontal
    mode.cxChar = cell.cxChar;
    mode.cyChar = cell.cyChar;
    mode.crDataTXD = 0;
    mode.crBkColor = 0xFFFFFF;
    mode.crStampFore = 0;
    QImage image(cell.cxChar, cell.cyChar, QImage::Format_RGB32);
    for (int code = 0; code < 256; ++code) {
        image.fill(Qt::white);
        {
            QPainter p(&image);
            CDataChar(static_cast<uint8_t>(code), 0x20).Draw(p, image.rect(), fonts, mode);
        }
        int first = cell.cxChar, last = -1;
        for (int x = 0; x < cell.cxChar; ++x) {
            for (int y = 0; y < cell.cyChar; ++y) {
                if (qGray(image.pixel(x, y)) < 160) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
        ASSERT_LE(first, last) << "byte 0x" << std::hex << code << " has no ink";
        EXPECT_GE(first, 2) << "byte 0x" << std::hex << code;
        EXPECT_LE(last, cell.cxChar - 3) << "byte 0x" << std::hex << code;
    }

    // A stop mark followed by a start mark.
    const CStampTime stop(1230249600), start(1230249600);
    const Extent e = stop.GetExtent(mode, 1);
    QImage marks(2 * e.cx, e.cy, QImage::Format_RGB32);
    marks.fill(Qt::white);
    {
        QPainter p(&marks);
        stop.Draw(p, QRect(0, 0, e.cx, e.cy), fonts, mode);
        start.Draw(p, QRect(e.cx, 0, e.cx, e.cy), fonts, mode);
    }
    int clearColumns = 0;
    for (int x = e.cx - 3; x < e.cx + 3; ++x) {
        bool ink = false;
        for (int y = 0; y < e.cy; ++y) ink = ink || qGray(marks.pixel(x, y)) < 160;
        clearColumns += ink ? 0 : 1;
    }
    EXPECT_GE(clearColumns, 2) << "the two dates run together";
}
