#pragma once
#include "CShape.h"

// Elapsed milliseconds between events, with the wall-clock time at which the
// stamp was last advanced.
class CStamp final : public CShape {
public:
    CStamp(uint32_t elapsed, int64_t time) : elapsed(elapsed), time(time) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const override;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts,
              const CDisplayMode& mode) const override;
    void GetRecord(ByteBuffer& out) const override;
    int GetKind() const override { return KIND_STAMP; }

    void SetTime(uint32_t ms, int64_t t) { elapsed = ms; time = t; }
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
    int64_t time;
};
