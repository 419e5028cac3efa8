#pragma once
#include "CShape.h"

#include <QtGlobal>

class QColor;

// A character seen on TXD or RXD, with the record's b0 as received: one slot.
class KS_ITEM_STORAGE CDataChar final : public CShape {
public:
    CDataChar(uint8_t character, uint8_t flags) : CShape(KIND_DATA, flags, character) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const;
    void GetRecord(ByteBuffer& out) const;
    int GetKind() const { return KIND_DATA; }

    // What a run of characters drawn onto one band has set in the painter,
    // so that each does not set it again.
    struct RunState {
        int font = -1;
        qreal ascent = 0;
    };
    // Draws onto a band already filled with the background colour: only a
    // marked or erroneous cell is filled. Leaves the painter's pen and font
    // as it set them (recorded in `run`); the caller saves and restores the
    // painter around the whole run.
    void DrawOnBand(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode,
                    RunState& run) const;

    uint8_t Character() const { return b; }
    uint8_t Flags() const { return a; }
    bool IsRxd() const { return (a & 0x08) != 0; }

    // Which glyph of which font a character is drawn with (and its text in
    // HEX vertical mode); shared by painting and the tests.
    struct Glyph {
        int font = 0;
        char16_t code = 0;
    };
    static Glyph GlyphFor(uint8_t character, int dataMode);

private:
    QRect CellOf(const QRect& rect) const;
    QColor Background(const CDisplayMode& mode) const;
    void DrawInk(QPainter& dc, const QRect& cell, const CDisplayFonts& fonts, const CDisplayMode& mode, RunState& run) const;
};

static_assert(sizeof(CDataChar) == sizeof(CShape));
