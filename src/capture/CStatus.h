#pragma once
#include "CShape.h"

class QPen;

// A change of the five control lines (new and previous status bytes): one slot.
class KS_ITEM_STORAGE CStatus final : public CShape {
public:
    // previous = previousArg when it is a status-type byte (010xxxxx), else
    // newByte's line bits.
    CStatus(uint8_t newByte, uint8_t previousArg);

    Extent GetExtent(const CDisplayMode& mode, int d) const;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const;
    void GetRecord(ByteBuffer& out) const;
    int GetKind() const { return KIND_STATUS; }

    // The five line rows of one item column, from y down; pens[0] in the TXD
    // colour, pens[1] in the RXD colour.
    void PaintLineRows(QPainter& dc, const QPen* pens, int x, int y, int w,
                       const CDisplayMode& mode, int d) const;

    // Copies the new byte into `other` as both its bytes (a flat line).
    void CopyLevelsTo(CStatus& other) const;

    uint8_t New() const { return a; }
    uint8_t Previous() const { return b; }
    bool IsLineStart() const { return b >= 0xE0; }
    void MakeLineStart() { b = static_cast<uint8_t>(b | 0xE0); }
};

static_assert(sizeof(CStatus) == sizeof(CShape));
