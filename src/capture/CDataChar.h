#pragma once
#include "CShape.h"

// A character seen on TXD or RXD, with the record's b0 as received: one slot.
class KS_ITEM_STORAGE CDataChar final : public CShape {
public:
    CDataChar(uint8_t character, uint8_t flags) : CShape(KIND_DATA, flags, character) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const;
    void GetRecord(ByteBuffer& out) const;
    int GetKind() const { return KIND_DATA; }

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
};

static_assert(sizeof(CDataChar) == sizeof(CShape));
