#pragma once
#include "CShape.h"

class QString;

// The date and time at which a capture started or stopped.
class CStampTime final : public CShape {
public:
    explicit CStampTime(int64_t time) : time(time) {}

    Extent GetExtent(const CDisplayMode& mode, int d) const override;
    void Draw(QPainter& dc, const QRect& rect, const CDisplayFonts& fonts,
              const CDisplayMode& mode) const override;
    void GetRecord(ByteBuffer& out) const override;
    int GetKind() const override { return KIND_STAMPTIME; }

    void SetTime(int64_t t) { time = t; }
    int64_t Time() const { return time; }
    QString Text() const;

private:
    int64_t time;
};
