#pragma once
// The six display fonts, in the order the display items index them:
// 0 "KS_SPC" data in ASCII mode (its metrics give the character cell),
// 1 "Courier New" stand-in, rotated, data in HEX vertical mode,
// 2 "KS_HEX" data in HEX horizontal mode,
// 3 "Courier New" stand-in, row captions,
// 4 "Courier New" stand-in, time stamps and date-times,
// 5 "KS_PAT" special characters in ASCII and HEX horizontal mode.
// The font files are embedded resources, registered with the application's
// font database on first use.
#include <QFont>
#include <QPointF>
#include <QRectF>

#include <array>
#include <vector>

class QPainter;

struct CharCell {
    int cxChar = 0;
    int cyChar = 0;
};

class CDisplayFonts {
public:
    enum Index { SPC = 0, HEX_VERTICAL = 1, HEX = 2, CAPTION = 3, STAMP = 4, PATTERN = 5, COUNT = 6 };

    // Creates the table at `pixelHeight` (16 on screen). Needs a QGuiApplication.
    explicit CDisplayFonts(int pixelHeight = 16);
    // The same with the stamp font (4) at its own height, as on paper.
    CDisplayFonts(int pixelHeight, int stampPixelHeight);

    const QFont& operator[](int index) const { return fonts[static_cast<std::size_t>(index)]; }
    QFont& operator[](int index) { return fonts[static_cast<std::size_t>(index)]; }

    // Draws the picture of `code` in font `index` with the start of its
    // baseline at `origin`, in the painter's pen colour. Text layout hides
    // some codes whatever the font holds (tab, line feed, form feed,
    // carriage return, soft hyphen); this draws the font's glyph itself, so
    // every byte shows. Otherwise it looks exactly like drawText.
    void DrawCode(QPainter& painter, int index, QPointF origin, char16_t code) const;
    // Where DrawCode's ink goes, relative to the origin it is given; a rect
    // that holds the whole em box when the picture cannot be measured.
    QRectF GlyphBounds(int index, char16_t code) const;

    // The character cell on screen: font 0's average character width, and its
    // height plus external leading.
    CharCell MeasureCell() const;
    // The cell on paper: font 0's widest character, so that no glyph spills
    // into its neighbour's cell, and the same height.
    CharCell MeasurePrintCell() const;

    // Registers the embedded font files once per process; true when all of
    // them were taken by the font database. Needs a QGuiApplication: called
    // before one exists it returns false and registers on a later call.
    static bool InstallDisplayFonts();

    // The character codes the display asks of font `index`, ascending: for
    // the three picture fonts the codes their pictures are drawn from, for
    // the typewriter face the printable ASCII range. Empty for a bad index.
    static std::vector<char16_t> GlyphCodes(int index);

    // The family names the embedded files register.
    static const char* const kSpcFamily;
    static const char* const kHexFamily;
    static const char* const kPatFamily;
    static const char* const kCourierFamily;

private:
    std::array<QFont, COUNT> fonts;
};
