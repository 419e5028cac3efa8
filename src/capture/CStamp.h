#pragma once
#include "CShape.h"

// Elapsed milliseconds between events, with the wall-clock time at which the
// stamp was last advanced: three slots. The time is kept in the 32 bits a
// capture file stores.
class KS_ITEM_STORAGE CStamp final : public CShape {
public:
    CStamp(uint32_t elapsed, int64_t time) : CShape(KIND_STAMP, 0, 0), elapsed(elapsed), time(static_cast<uint32_t>(time)) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts, const CDisplayMode& mode) const;
    void GetRecord(ByteBuffer& out) const;
    int GetKind() const { return KIND_STAMP; }

    void SetTime(uint32_t ms, int64_t t)
    {
        elapsed = ms;
        time = static_cast<uint32_t>(t);
    }
    // Adds ms up to one day and returns what did not fit (the carry).
    uint32_t Accumulate(uint32_t ms, int64_t t);

    uint32_t Elapsed() const { return elapsed; }
    int64_t Time() const { return time; }

    // The two lines of text drawn for this stamp under `stampMode`.
    QString Text(int stampMode) const;

    // Whether a stamp of `elapsed` ms is shown under `stampMode` (out-of-range
    // modes count as the 1 ms resolution).
    static bool Visible(uint32_t elapsed, int stampMode);

private:
    uint32_t elapsed;
    uint32_t time;
};

static_assert(sizeof(CStamp) == 3 * sizeof(CShape));
