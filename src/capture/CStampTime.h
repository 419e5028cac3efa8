#pragma once
#include "CShape.h"

class QString;

// The date and time at which a capture started or stopped: two slots. The
// time is kept in the 32 bits a capture file stores.
class KS_ITEM_STORAGE CStampTime final : public CShape {
public:
    explicit CStampTime(int64_t time) : CShape(KIND_STAMPTIME, 0, 0), time(static_cast<uint32_t>(time)) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const;
    void GetRecord(ByteBuffer& out) const;
    int GetKind() const { return KIND_STAMPTIME; }

    void SetTime(int64_t t) { time = static_cast<uint32_t>(t); }
    int64_t Time() const { return time; }
    QString Text() const;

private:
    uint32_t time;
};

static_assert(sizeof(CStampTime) == 2 * sizeof(CShape));
