#pragma once
// What a drawing of line bands paints with: the six fonts, the two line pens
// and the control-line levels carried along a line. The screen has its own
// set; a print job brings a set scaled for paper, so that printing or a
// preview never changes what the screen paints with.
class CDisplayFonts;
class CStatus;
class QPen;

struct DrawTools {
    const CDisplayFonts* fonts = nullptr;
    const QPen* pens = nullptr;   // [0] in the TXD colour, [1] in the RXD colour
    CStatus* lineState = nullptr; // the running line state, updated while drawing
};
