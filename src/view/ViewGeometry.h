#pragma once
// The view's layout arithmetic as plain values: band heights, how many bands
// fit, which band a point falls in, and the scroll positions. Nothing here
// needs a window, so all of it is tested without one.
#include <algorithm>

namespace viewgeo {

// The caption column on the left, never scrolled horizontally.
inline constexpr int kCaptionWidth = 30;
// The background gap below every band.
inline constexpr int kBandGap = 7;
// Control-line rows shown under the data rows when Status is on.
inline constexpr int kStatusRows = 5;

// The character cell and the options that decide the band layout.
struct BandLayout {
    int cxChar = 8;
    int cyChar = 16;
    bool data = true;
    int dataMode = 0;
    bool status = false;

    // One data row: a rotated cell in HEX vertical mode, else a text row.
    int RowHeight() const { return (data && dataMode == 2) ? cxChar : cyChar; }
    // A band: TXD and RXD rows, plus the five line rows with Status on.
    int BandHeight() const { return 2 * RowHeight() + (status ? kStatusRows * cyChar : 0); }
    int Pitch() const { return BandHeight() + kBandGap; }
};

// Whole bands that fit between the client top and bottom (bottom is the
// exclusive edge, i.e. the client height for a top of 0).
inline int VisibleLineCount(int bandHeight, int clientTop, int clientBottom)
{
    if (bandHeight <= 0) return 0;
    int count = 0;
    for (int y = clientTop + bandHeight; y <= clientBottom; y += bandHeight + kBandGap) ++count;
    return count;
}

// The band index under y (from the client top), or -1 in a gap or above.
inline int BandAt(int y, int bandHeight)
{
    if (bandHeight <= 0 || y < 0) return -1;
    const int pitch = bandHeight + kBandGap;
    const int k = y / pitch;
    return (y - k * pitch) < bandHeight ? k : -1;
}

// Whether a band whose top is `top` is painted: while capturing only whole
// bands, otherwise also one cut by the bottom edge.
inline bool BandPainted(int top, int bandHeight, int clientBottom, bool capturing)
{
    return top + (capturing ? bandHeight : 1) <= clientBottom;
}

// The first visible line as the paint corrects it: a line not below the count
// (or negative) moves to the last page, or to 0 when everything fits.
inline int CorrectFirstLine(int first, int lineCount, int visible)
{
    if (first >= 0 && first < lineCount) return first;
    return visible >= lineCount ? 0 : lineCount - visible;
}

// A scroll bar with a range [minimum, maximum] and a page: the furthest
// position is maximum - page + 1 (or minimum when the page covers the range).
struct ScrollRange {
    int minimum = 0;
    int maximum = 0;
    int page = 0;

    int MaxPosition() const { return std::max(minimum, maximum - std::max(page, 1) + 1); }
    int Clamp(int position) const { return std::clamp(position, minimum, MaxPosition()); }
};

// The vertical range: one position per line, a page of the visible lines.
inline ScrollRange VerticalRange(int lastLineIndex, int visible)
{
    return ScrollRange{0, std::max(lastLineIndex, 0), visible};
}

// The horizontal range: one position per pixel of the line width, a page of
// the data area's width.
inline ScrollRange HorizontalRange(int cxLine, int clientWidth)
{
    return ScrollRange{0, std::max(cxLine - 1, 0), std::max(clientWidth - kCaptionWidth, 0)};
}

enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Top, Bottom, ThumbPosition, ThumbTrack };

// The new vertical position for a scroll request from position p (clamped);
// ThumbTrack keeps p: the view moves only when the thumb is released.
inline int VerticalScroll(const ScrollRange& range, int p, ScrollCode code, int thumb = 0)
{
    int next = p;
    switch (code) {
    case ScrollCode::LineUp: next = p - 1; break;
    case ScrollCode::LineDown: next = p + 1; break;
    case ScrollCode::PageUp: next = p - range.page; break;
    case ScrollCode::PageDown: next = p + range.page; break;
    case ScrollCode::Top: next = range.minimum; break;
    case ScrollCode::Bottom: next = range.maximum - range.page + 1; break;
    case ScrollCode::ThumbPosition: next = thumb; break;
    case ScrollCode::ThumbTrack: next = p; break;
    }
    return range.Clamp(next);
}

// Where the live drawing puts the next band: true when another whole band
// does not fit below the one whose top is `y`, so the contents move up.
inline bool NeedsScrollForNextBand(int y, int bandHeight, int clientBottom)
{
    return y + kBandGap + 2 * bandHeight > clientBottom;
}

// The position popup (130 x 70) at a screen point, kept inside the view's
// screen rectangle: moved left by 129 or up by 65 where it would leave it.
struct PopupPlace {
    int left;
    int top;
};
inline PopupPlace PlacePositionPopup(int x, int y, int viewRight, int viewBottom)
{
    PopupPlace p{x, y};
    if (p.left + 130 > viewRight) p.left -= 129;
    if (p.top + 70 > viewBottom) p.top -= 65;
    return p;
}

} // namespace viewgeo
