#include "PrintGeometry.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace printgeo {

int Convert(int v, int dpi)
{
    // 64-bit, so that a large width at a high resolution cannot overflow.
    const int64_t product = static_cast<int64_t>(v) * dpi;
    const int64_t magnitude = (std::llabs(product) + kScreenDpi / 2) / kScreenDpi;
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

PrintScale ComputeScale(int dpi, int printableWidth, int cxLine)
{
    PrintScale s;
    s.dpi = dpi;
    if (dpi <= 0) return s;
    s.margin = Convert(kMargin, dpi);
    s.unit = Convert(1, dpi);
    // A line width that was never set counts as none: the caption column
    // alone then fills the page.
    const int lineWidth = Convert(std::max(cxLine, 0) + kCaptionWidth, dpi);
    const int usable = printableWidth - 2 * s.margin;
    if (lineWidth <= 0 || usable <= 0) return s;
    s.scale = static_cast<float>(usable) / static_cast<float>(lineWidth);
    s.lineGap = static_cast<int>(static_cast<float>(Convert(kBandGap, dpi)) * s.scale);
    s.fontHeight = static_cast<int>(static_cast<float>(Convert(kFontHeight, dpi)) * s.scale);
    s.stampFontHeight = static_cast<int>(static_cast<float>(Convert(kStampFontHeight, dpi)) * s.scale);
    s.captionWidth = Convert(static_cast<int>(s.scale * static_cast<float>(kCaptionWidth)), dpi);
    return s;
}

Edges PageArea(const Edges& drawing, int margin)
{
    return Edges{drawing.left + margin, drawing.top + margin, drawing.right - margin, drawing.bottom - margin};
}

int LinesPerPage(int bandHeight, int lineGap, int top, int bottom)
{
    // The first band ends at top + h; each further one a pitch lower.
    if (bandHeight <= 0) return 0;
    const int firstEnd = top + bandHeight;
    if (firstEnd > bottom) return 0;
    const int pitch = bandHeight + std::max(lineGap, 0);
    return 1 + (bottom - firstEnd) / pitch;
}

int PageCount(int lineCount, int linesPerPage)
{
    if (lineCount <= 0 || linesPerPage <= 0) return 0;
    return (lineCount + linesPerPage - 1) / linesPerPage;
}

int FirstLineOfPage(int page, int linesPerPage)
{
    return std::max(page - 1, 0) * std::max(linesPerPage, 0);
}

} // namespace printgeo
