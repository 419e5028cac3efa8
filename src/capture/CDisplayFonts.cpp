#include "CDisplayFonts.h"

#include "DebugLog.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPainter>
#include <QRawFont>
#include <QString>

#include <algorithm>
#include <mutex>

const char* const CDisplayFonts::kSpcFamily = "KS_SPC";
const char* const CDisplayFonts::kHexFamily = "KS_HEX";
const char* const CDisplayFonts::kPatFamily = "KS_PAT";
const char* const CDisplayFonts::kCourierFamily = "Liberation Mono";

namespace {

constexpr const char* kFontFiles[] = {
    ":/fonts/LiberationMono-Regular.ttf",
    ":/fonts/KS_SPC.ttf",
    ":/fonts/KS_HEX.ttf",
    ":/fonts/KS_PAT.ttf",
};

// The picture fonts are drawn on the 16-pixel grid and carry no hinting of
// their own. Left to the automatic hinter they would be reshaped, and
// differently in each font (it measures a font's letters first), so that a
// picture shared by two fonts would not look the same in both.
enum class Hinting { Platform, None };

QFont MakeFont(const char* family, int pixelHeight, bool fixedPitch, Hinting hinting = Hinting::Platform)
{
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelHeight);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setKerning(false);
    // No merging: a byte whose picture is missing must show the font's own
    // missing-glyph box, not a look-alike from another font that would make
    // the display lie about what was received.
    font.setStyleHint(QFont::TypeWriter, QFont::NoFontMerging);
    if (fixedPitch) font.setFixedPitch(true);
    if (hinting == Hinting::None) font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The largest pixel size at which the typewriter face's line height does not
// exceed `cellHeight`.
int TypewriterPixelSize(int cellHeight)
{
    int size = cellHeight;
    while (size > 1 && QFontMetrics(MakeFont(CDisplayFonts::kCourierFamily, size, false)).height() > cellHeight) {
        --size;
    }
    return size;
}

// The stamp face: the typewriter face at the largest size whose line fits the
// cell and whose widest text, a date "00/00/00" in its four cells, keeps clear
// of the cells' edges. At the line's own size a date fills its cells to the
// edge, and a stop mark followed by a start mark reads as one long number.
int StampPixelSize(int cellHeight, int cellWidth)
{
    int size = TypewriterPixelSize(cellHeight);
    const int margin = std::max(1, cellWidth / 8);
    const int room = 4 * cellWidth - 2 * margin;
    while (size > 1 &&
           QFontMetrics(MakeFont(CDisplayFonts::kCourierFamily, size, false)).horizontalAdvance(QStringLiteral("00/00/00")) > room) {
        --size;
    }
    return size;
}

} // namespace

bool CDisplayFonts::InstallDisplayFonts()
{
    // Registered once per process. Without a GUI application the font
    // database cannot take them yet; that is not remembered, so a later call
    // (once the application exists) still registers them.
    static std::mutex mutex;
    static bool attempted = false;
    static bool allInstalled = false;

    std::lock_guard lock(mutex);
    if (attempted) return allInstalled;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;

    attempted = true;
    allInstalled = true;
    for (const char* file : kFontFiles) {
        const QString path = QString::fromLatin1(file);
        if (QFontDatabase::addApplicationFont(path) < 0) {
            // The program still draws, in whatever face the platform picks
            // for the same height and pitch.
            ks::OutputDebugString(QStringLiteral("Display font %1 could not be registered").arg(path));
            allInstalled = false;
        }
    }
    return allInstalled;
}

CDisplayFonts::CDisplayFonts(int pixelHeight) : CDisplayFonts(pixelHeight, pixelHeight) {}

CDisplayFonts::CDisplayFonts(int pixelHeight, int stampPixelHeight)
{
    InstallDisplayFonts();
    const int px = std::max(1, pixelHeight);
    fonts[SPC] = MakeFont(kSpcFamily, px, true, Hinting::None);
    // A height of 16 for the typewriter face means its whole cell, ascent
    // plus descent, as the display's layout assumes: the six characters of a
    // stamp's line then fit the three data cells a stamp is given.
    const int typewriter = TypewriterPixelSize(px);
    fonts[HEX_VERTICAL] = MakeFont(kCourierFamily, typewriter, true);  // rotated by the painter
    fonts[HEX] = MakeFont(kHexFamily, px, true, Hinting::None);
    fonts[CAPTION] = MakeFont(kCourierFamily, typewriter, false);
    // On screen the stamp face keeps dates clear of their cells' edges; on
    // paper it has the height the printed page gives it.
    fonts[STAMP] = MakeFont(kCourierFamily, stampPixelHeight == pixelHeight ? StampPixelSize(px, MeasureCell().cxChar)
                                                                            : TypewriterPixelSize(std::max(1, stampPixelHeight)),
                            false);
    fonts[PATTERN] = MakeFont(kPatFamily, px, true, Hinting::None);
}

void CDisplayFonts::DrawCode(QPainter& painter, int index, QPointF origin, char16_t code) const
{
    if (index < 0 || index >= COUNT) return;
    const QString text(QChar{code});
    // Taken from the font each time, so a font changed through operator[]
    // is drawn as it now is; the engine behind it is cached by Qt.
    const QRawFont raw = QRawFont::fromFont(fonts[static_cast<std::size_t>(index)]);
    const QList<quint32> glyphs = raw.isValid() ? raw.glyphIndexesForString(text) : QList<quint32>{};
    if (glyphs.size() != 1) {
        painter.drawText(origin, text);
        return;
    }
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions({QPointF(0, 0)});
    painter.drawGlyphRun(origin, run);
}

QRectF CDisplayFonts::GlyphBounds(int index, char16_t code) const
{
    const QFont* font = index >= 0 && index < COUNT ? &fonts[static_cast<std::size_t>(index)] : nullptr;
    const QRawFont raw = font ? QRawFont::fromFont(*font) : QRawFont();
    const QList<quint32> glyphs = raw.isValid() ? raw.glyphIndexesForString(QString(QChar{code})) : QList<quint32>{};
    if (glyphs.size() != 1) {
        // Unknown: larger than any cell, so the caller clips.
        const qreal size = font ? font->pixelSize() : 16;
        return QRectF(-size, -2 * size, 4 * size, 4 * size);
    }
    return raw.boundingRect(glyphs.first());
}

std::vector<char16_t> CDisplayFonts::GlyphCodes(int index)
{
    std::vector<char16_t> codes;
    const auto add = [&codes](int first, int last) {
        for (int c = first; c <= last; ++c) codes.push_back(static_cast<char16_t>(c));
    };
    switch (index) {
    case SPC:
    case HEX:
        add(0x00, 0x0F);
        add(0x20, 0x7F);
        add(0xA0, 0xB5);
        add(0xB8, 0xFF);
        break;
    case PATTERN:
        add(0x20, 0x3F);  // bytes 0x80-0x9F
        add(0x40, 0x4F);  // bytes 0x10-0x1F, HEX horizontal mode
        add(0x56, 0x57);  // bytes 0xB6-0xB7
        add(0x60, 0x6F);  // bytes 0x10-0x1F, ASCII mode
        break;
    case HEX_VERTICAL:
    case CAPTION:
    case STAMP:
        add(0x20, 0x7E);
        break;
    default:
        break;
    }
    return codes;
}

CharCell CDisplayFonts::MeasureCell() const
{
    const QFontMetrics metrics(fonts[SPC]);
    CharCell cell;
    // Never zero: the cell sizes divide widths and index columns.
    cell.cxChar = std::max(1, metrics.averageCharWidth());
    cell.cyChar = std::max(1, metrics.height() + std::max(0, metrics.leading()));
    return cell;
}

CharCell CDisplayFonts::MeasurePrintCell() const
{
    const QFontMetrics metrics(fonts[SPC]);
    CharCell cell;
    cell.cxChar = std::max(1, metrics.maxWidth());
    cell.cyChar = std::max(1, metrics.height() + std::max(0, metrics.leading()));
    return cell;
}
