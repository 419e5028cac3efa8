// ks-glyph-sheet: renders every picture of the three display fonts into a
// labelled grid, for a person to look at after changing the font generator.
//
//   ks-glyph-sheet OUTPUT.png [--zoom N] [--size PX]
//
// Each font gets a 16 x 16 grid (column = low hex digit, row = high digit).
// Glyphs are drawn the way the display draws them (CDisplayFonts::DrawCode,
// baseline at the cell's top plus the ascent) but unclipped, on a white cell with grey gaps around it, so
// ink that leaves its cell shows on the grey. Codes the display never asks of
// a font are left grey. Ink outside a cell is also counted and reported, and
// the exit code is 1 when there is any.
//
// Below the grids, the same pictures as the display puts them, cell against
// cell with nothing between: every KS_HEX byte, a line of bytes, and a stop
// mark followed by a start mark. There two neighbours must not run together:
// a generated picture with ink in the two outer columns of its cell, or two
// date marks without a clear column between them, is reported and also makes
// the exit code 1.
#include "CDisplayFonts.h"
#include "CDisplayMode.h"
#include "CStampTime.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <set>

namespace {

constexpr int kGap = 6;      // grey border around each cell, in 1:1 pixels
constexpr int kLabel = 22;   // width of the row labels / height of the column labels

struct Section {
    int index;
    const char* title;
};

constexpr Section kSections[] = {
    {CDisplayFonts::SPC, "KS_SPC (font 0, ASCII mode)"},
    {CDisplayFonts::HEX, "KS_HEX (font 2, HEX horizontal mode)"},
    {CDisplayFonts::PATTERN, "KS_PAT (font 5, special characters)"},
};

bool IsInk(QRgb pixel)
{
    return qGray(pixel) < 160;
}

// Columns at a cell's left and right edge that must stay clear.
constexpr int kEdgeColumns = 2;

bool ColumnHasInk(const QImage& image, int x, int top, int height)
{
    for (int y = top; y < top + height; ++y)
        if (IsInk(image.pixel(x, y))) return true;
    return false;
}

// Draws the 256 KS_HEX pictures cell against cell at (left, top), 16 a row,
// and returns how many touch an edge of their cell.
int DrawHexBlock(QPainter& p, QImage& sheet, const CDisplayFonts& fonts, const CharCell& cell, int left, int top)
{
    const QFontMetrics metrics(fonts[CDisplayFonts::HEX]);
    for (int code = 0; code < 256; ++code) {
        const QPointF origin(left + (code & 15) * cell.cxChar, top + (code >> 4) * cell.cyChar + metrics.ascent());
        fonts.DrawCode(p, CDisplayFonts::HEX, origin, static_cast<char16_t>(code));
    }
    p.end();
    int touching = 0;
    for (int code = 0; code < 256; ++code) {
        const int x = left + (code & 15) * cell.cxChar;
        const int y = top + (code >> 4) * cell.cyChar;
        bool touches = false;
        for (int c = 0; c < kEdgeColumns; ++c)
            touches = touches || ColumnHasInk(sheet, x + c, y, cell.cyChar) ||
                      ColumnHasInk(sheet, x + cell.cxChar - 1 - c, y, cell.cyChar);
        if (touches) {
            std::printf("KS_HEX 0x%02X: ink within %d pixels of the cell's edge\n", code, kEdgeColumns);
            ++touching;
        }
    }
    p.begin(&sheet);
    return touching;
}

// A stop mark and a start mark side by side, as a capture stopped and started
// again shows them; returns 1 when no clear column separates the two.
int DrawTwoDateMarks(QPainter& p, QImage& sheet, const CDisplayFonts& fonts, const CharCell& cell, int left, int top)
{
    CDisplayMode mode;
    mode.cxChar = cell.cxChar;
    mode.cyChar = cell.cyChar;
    mode.crStampFore = 0;         // black on white, for the ink test
    mode.crBkColor = 0xFFFFFF;
    const CStampTime stop(1230249600), start(1230249600);
    const Extent e = stop.GetExtent(mode, 1);
    stop.Draw(p, QRect(left, top, e.cx, e.cy), fonts, mode);
    start.Draw(p, QRect(left + e.cx, top, e.cx, e.cy), fonts, mode);
    p.end();
    bool clear = false;
    for (int x = left + e.cx - kEdgeColumns; x < left + e.cx + kEdgeColumns; ++x)
        clear = clear || !ColumnHasInk(sheet, x, top, e.cy);
    p.begin(&sheet);
    if (clear) return 0;
    std::printf("date marks side by side run together\n");
    return 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: ks-glyph-sheet OUTPUT.png [--zoom N] [--size PX]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = QCoreApplication::arguments();
    QString output;
    int zoom = 3;
    int size = 16;
    for (int i = 1; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--zoom") && i + 1 < args.size()) {
            zoom = args[++i].toInt(&ok);
            if (!ok || zoom < 1 || zoom > 16) return Usage();
        } else if (args[i] == QLatin1String("--size") && i + 1 < args.size()) {
            size = args[++i].toInt(&ok);
            if (!ok || size < 6 || size > 200) return Usage();
        } else if (output.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
            output = args[i];
        } else {
            return Usage();
        }
    }
    if (output.isEmpty()) return Usage();

    if (!CDisplayFonts::InstallDisplayFonts()) std::fprintf(stderr, "warning: not every display font registered\n");
    const CDisplayFonts fonts(size);
    const CharCell cell = fonts.MeasureCell();
    std::printf("cell at %d px: cxChar %d, cyChar %d\n", size, cell.cxChar, cell.cyChar);

    QFont labelFont = fonts[CDisplayFonts::CAPTION];
    labelFont.setPixelSize(12);
    const int pitchX = cell.cxChar + 2 * kGap;
    const int pitchY = cell.cyChar + 2 * kGap;
    const int gridW = kLabel + 16 * pitchX;
    const int sectionH = kLabel + kLabel + 16 * pitchY;
    const int width = std::max(gridW, 420) + 8;
    const int sideBySideTop = static_cast<int>(std::size(kSections)) * sectionH + 4;
    const int sideBySideH = kLabel + 16 * cell.cyChar + kLabel + 2 * cell.cyChar + kLabel + 4 * cell.cyChar;
    const int height = sideBySideTop + sideBySideH + 8;

    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(255, 255, 255));
    int outside = 0;
    {
        QPainter p(&sheet);
        for (std::size_t s = 0; s < std::size(kSections); ++s) {
            const Section& section = kSections[s];
            const int top = 4 + static_cast<int>(s) * sectionH;
            p.setFont(labelFont);
            p.setPen(Qt::black);
            p.drawText(QRect(4, top, width - 8, kLabel), Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(section.title));
            const int gridTop = top + kLabel;
            for (int i = 0; i < 16; ++i) {
                const QString digit = QString::number(i, 16).toUpper();
                p.drawText(QRect(4 + kLabel + i * pitchX, gridTop, pitchX, kLabel), Qt::AlignCenter, digit);
                p.drawText(QRect(4, gridTop + kLabel + i * pitchY, kLabel, pitchY), Qt::AlignCenter, digit + QLatin1Char('x'));
            }
            const auto codes = CDisplayFonts::GlyphCodes(section.index);
            const std::set<char16_t> listed(codes.begin(), codes.end());
            for (int code = 0; code < 256; ++code) {
                const int x = 4 + kLabel + (code & 15) * pitchX;
                const int y = gridTop + kLabel + (code >> 4) * pitchY;
                const QRect frame(x, y, pitchX, pitchY);
                const QRect box(x + kGap, y + kGap, cell.cxChar, cell.cyChar);
                p.fillRect(frame, QColor(200, 200, 200));
                if (!listed.count(static_cast<char16_t>(code))) continue;
                p.fillRect(box, Qt::white);
                p.setPen(Qt::black);
                fonts.DrawCode(p, section.index,
                               QPointF(box.left(), box.top() + QFontMetrics(fonts[section.index]).ascent()),
                               static_cast<char16_t>(code));
                // Grey gap pixels that turned dark are ink outside the cell.
                p.end();
                int here = 0;
                for (int py = frame.top(); py <= frame.bottom(); ++py) {
                    for (int px = frame.left(); px <= frame.right(); ++px) {
                        if (!box.contains(px, py) && IsInk(sheet.pixel(px, py))) ++here;
                    }
                }
                if (here > 0) {
                    std::printf("%s 0x%02X: %d ink pixels outside the cell\n", section.title, code, here);
                    outside += here;
                }
                p.begin(&sheet);
            }
        }

        // As the display shows them: cell against cell.
        int y = sideBySideTop;
        const auto heading = [&](const QString& text) {
            p.setFont(labelFont);
            p.setPen(Qt::black);
            p.drawText(QRect(4, y, width - 8, kLabel), Qt::AlignLeft | Qt::AlignVCenter, text);
            y += kLabel;
        };
        heading(QStringLiteral("As the display shows them: KS_HEX cell against cell"));
        outside += DrawHexBlock(p, sheet, fonts, cell, 4 + kLabel, y);
        y += 16 * cell.cyChar;
        heading(QStringLiteral("A line of bytes: 77 1D 72 59 30 0D 0A 41 54 5A"));
        {
            const QFontMetrics metrics(fonts[CDisplayFonts::HEX]);
            const char16_t line[] = {0x77, 0x1D, 0x72, 0x59, 0x30, 0x0D, 0x0A, 0x41, 0x54, 0x5A};
            for (std::size_t i = 0; i < std::size(line); ++i) {
                // 0x1D is drawn from KS_PAT in this mode, as the display does.
                const bool pattern = line[i] >= 0x10 && line[i] <= 0x1F;
                const int index = pattern ? CDisplayFonts::PATTERN : CDisplayFonts::HEX;
                const char16_t code = pattern ? static_cast<char16_t>(line[i] + 0x30) : line[i];
                fonts.DrawCode(p, index, QPointF(4 + kLabel + static_cast<int>(i) * cell.cxChar, y + metrics.ascent()), code);
            }
        }
        y += 2 * cell.cyChar;
        heading(QStringLiteral("A stop mark followed by a start mark"));
        outside += DrawTwoDateMarks(p, sheet, fonts, cell, 4 + kLabel, y);
    }
    const QImage zoomed = zoom == 1 ? sheet : sheet.scaled(sheet.width() * zoom, sheet.height() * zoom);
    if (!zoomed.save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 2;
    }
    std::printf("wrote %s (%dx%d)\n", qPrintable(output), zoomed.width(), zoomed.height());
    return outside > 0 ? 1 : 0;
}
