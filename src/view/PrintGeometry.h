#pragma once
// The page arithmetic of a print job as plain values: the margin, the scale
// that makes a line's screen width fill the printable width, the scaled gap,
// font heights and unit stroke, how many line bands fit on a page and how many
// pages a capture takes. Screen sizes count as 96-dpi pixels whatever the
// screen, so a page comes out the same on every machine. Nothing here needs a
// printer, so all of it is tested without one.
namespace printgeo {

// The resolution screen sizes are taken at.
inline constexpr int kScreenDpi = 96;
// The screen's font height, and the stamp font's height on paper before
// scaling (smaller than on the screen, where it shares the 16-pixel cell).
inline constexpr int kFontHeight = 16;
inline constexpr int kStampFontHeight = 12;
// The margin inside the printable area and the caption column, in screen pixels.
inline constexpr int kMargin = 30;
inline constexpr int kCaptionWidth = 30;
inline constexpr int kBandGap = 7;

// `v` screen pixels in printer pixels at `dpi`: v x dpi / 96, rounded half
// away from zero.
int Convert(int v, int dpi);

// The sizes of a job on a printer of `dpi` whose printable area is
// `printableWidth` pixels wide, for lines `cxLine` screen pixels wide.
struct PrintScale {
    int dpi = 0;
    int margin = 0;            // inside the printable area, on every side
    float scale = 0;           // printable width over the screen line width in printer pixels
    int lineGap = 0;           // the 7-pixel gap between bands, scaled
    int fontHeight = 0;        // fonts 0, 1, 2, 3 and 5
    int stampFontHeight = 0;   // font 4
    int unit = 0;              // one screen pixel: pen width and line-row step
    int captionWidth = 0;      // the caption column on paper

    // A job can be laid out only with fonts at least one pixel high.
    bool Usable() const { return fontHeight >= 1 && stampFontHeight >= 1 && scale > 0; }
};
PrintScale ComputeScale(int dpi, int printableWidth, int cxLine);

// A rectangle by its edges; right and bottom are exclusive.
struct Edges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};
// The page area: `drawing` shrunk by `margin` on every side.
Edges PageArea(const Edges& drawing, int margin);

// Bands of `bandHeight` separated by `lineGap` that fit between `top` and
// `bottom` (exclusive); a band ending exactly at the bottom fits. 0 when not
// even one fits.
int LinesPerPage(int bandHeight, int lineGap, int top, int bottom);

// Pages for `lineCount` lines at `linesPerPage`; 0 for an empty store and
// also when not one band fits (nothing can be printed then, and there is no
// page count to divide out).
int PageCount(int lineCount, int linesPerPage);

// The store index of the first line on 1-based page `page`.
int FirstLineOfPage(int page, int linesPerPage);

} // namespace printgeo
