#pragma once
#include "CShape.h"

// A character seen on TXD or RXD, with the record's b0 as received.
class CDataChar final : public CShape {
public:
    CDataChar(uint8_t character, uint8_t flags) : flags(flags), character(character) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const override;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts,
              const CDisplayMode& mode) const override;
    void GetRecord(ByteBuffer& out) const override;
    int GetKind() const override { return KIND_DATA; }

    uint8_t Character() const { return character; }
    uint8_t Flags() const { return flags; }
    bool IsRxd() const { return (flags & 0x08) != 0; }

    // Which glyph of which font a character is drawn with (and its text in
    // HEX vertical mode); shared by painting and the tests.
    struct Glyph {
        int font = 0;
        char16_t code = 0;
    };
    static Glyph GlyphFor(uint8_t character, int dataMode);

private:
    uint8_t flags;
    uint8_t character;
};
