#!/usr/bin/python3
"""Builds the three display fonts KS_SPC, KS_HEX and KS_PAT.

The capture display gives every byte one character cell, whatever its value,
so it needs fonts that have a picture for the control characters, one that
shows every byte as its two hexadecimal digits, and one for the leftovers (the
C1 range, 0xB6-0xB7, and the bytes 0x10-0x1F in the style of either mode).
All three are made from DejaVu Sans Mono so that they share its cell: same
units per em, same advance width, same ascent and descent.

Which code of which font holds which picture:

  KS_SPC  0x00-0x1F control-character names stacked in a column (NUL ... US)
          0x20-0x7E the ordinary characters, 0x7F "DEL" like the controls
          0x80-0x9F the byte's hex digits cut out of a filled block
          0xA0      a visible no-break space, 0xA1-0xFF the Latin-1 characters
  KS_HEX  0x00-0xFF the byte's two hex digits, condensed, side by side
  KS_PAT  0x20-0x3F and 0x56-0x57: bytes 0x80-0x9F and 0xB6-0xB7 as blocks
          0x40-0x4F bytes 0x10-0x1F as KS_HEX draws them ("10" ... "1F")
          0x60-0x6F bytes 0x10-0x1F as KS_SPC draws them (DLE ... US)
          every other printable code: the ordinary character (see below)

KS_SPC and KS_HEX cover every byte, beyond the codes the program asks of
them, so that a caller that skips the remapping still gets the right picture.

Usage: make_fonts.py [--out DIR] [--base FILE] [--bold FILE]
The output is deterministic: running it again gives the same bytes.
"""

import argparse
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.pens.reverseContourPen import ReverseContourPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
DEJAVU_DIR = "/usr/share/fonts/truetype/dejavu"

# 2009-01-01 in the font's own epoch (seconds since 1904): a fixed stamp keeps
# the generated files byte-identical from run to run.
FIXED_TIMESTAMP = 3313526400

CONTROL_NAMES = [
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
    "BS", "HT", "LF", "VT", "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
    "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US",
]

COPYRIGHT = ("Copyright (c) 2003 by Bitstream, Inc. All Rights Reserved. "
             "Bitstream Vera is a trademark of Bitstream, Inc. "
             "DejaVu changes are in public domain. "
             "Display pictures built from DejaVu Sans Mono by Kestrane's font generator.")

LICENSE_NOTE = ("Derived from DejaVu Sans Mono under the Bitstream Vera font licence; "
                "see LICENSE-DejaVu.txt beside this file. Not a Bitstream Vera font.")


class Source:
    """One DejaVu face: its outlines addressed by character."""

    def __init__(self, path):
        self.font = TTFont(path)
        self.glyphs = self.font.getGlyphSet()
        self.cmap = self.font.getBestCmap()

    def name(self, char):
        code = ord(char)
        if code not in self.cmap:
            raise SystemExit(f"{self.font.reader.file.name}: no glyph for U+{code:04X}")
        return self.cmap[code]

    def draw(self, char, pen, transform=(1, 0, 0, 1, 0, 0)):
        # Decompose first: composite glyphs (accented letters) must become
        # plain contours before they are scaled into a picture.
        rec = DecomposingRecordingPen(self.glyphs)
        self.glyphs[self.name(char)].draw(rec)
        rec.replay(TransformPen(pen, transform))

    def bounds(self, char):
        pen = BoundsPen(self.glyphs)
        self.glyphs[self.name(char)].draw(pen)
        return pen.bounds


class Cell:
    """The geometry every picture has to fit: the base font's cell."""

    def __init__(self, base):
        self.upem = base.font["head"].unitsPerEm
        self.advance = base.font["hmtx"]["zero"][0]
        self.ascent = base.font["hhea"].ascent
        self.descent = -base.font["hhea"].descent  # positive
        # At 16 px one pixel is upem / 16 font units.
        self.px = self.upem / 16.0


def fit_text(pen, source, rows, box, pitch, gap, max_stretch, max_squeeze):
    """Draws `rows` of characters centred in `box` (x0, y0, x1, y1).

    Characters of a row sit `pitch` font units apart; rows are `gap` units
    apart (both before scaling). The text is scaled to fill the box, but the
    horizontal scale stays between `max_squeeze` and `max_stretch` times the
    vertical one, so letters never become unreadably thin or flat.
    """
    x0, y0, x1, y1 = box
    # Ink bounds of each row laid out unscaled with its baseline at 0.
    layouts = []
    for row in rows:
        xmin = ymin = float("inf")
        xmax = ymax = float("-inf")
        for i, ch in enumerate(row):
            b = source.bounds(ch)
            if b is None:
                continue
            xmin, xmax = min(xmin, b[0] + i * pitch), max(xmax, b[2] + i * pitch)
            ymin, ymax = min(ymin, b[1]), max(ymax, b[3])
        layouts.append((row, xmin, xmax, ymin, ymax))
    row_height = max(l[4] for l in layouts) - min(l[3] for l in layouts)
    bottom = min(l[3] for l in layouts)
    width = max(l[2] - l[1] for l in layouts)
    height = len(rows) * row_height + (len(rows) - 1) * gap

    sy = (y1 - y0) / height
    sx = (x1 - x0) / width
    sx = min(sx, sy * max_stretch)
    sy = min(sy, sx / max_squeeze)

    total_h = height * sy
    top = y0 + ((y1 - y0) - total_h) / 2 + total_h
    for r, (row, xmin, xmax, _, _) in enumerate(layouts):
        base_y = top - (r + 1) * row_height * sy - r * gap * sy - bottom * sy
        left = x0 + ((x1 - x0) - (xmax - xmin) * sx) / 2 - xmin * sx
        for i, ch in enumerate(row):
            source.draw(ch, pen, (sx, 0, 0, sy, left + i * pitch * sx, base_y))


def rect(pen, x0, y0, x1, y1, clockwise=True):
    pts = [(x0, y0), (x0, y1), (x1, y1), (x1, y0)]
    if not clockwise:
        pts.reverse()
    pen.moveTo(pts[0])
    for p in pts[1:]:
        pen.lineTo(p)
    pen.closePath()


class Painter:
    """Draws the pictures of the three fonts into TrueType glyphs."""

    def __init__(self, base, bold):
        self.base = base
        self.bold = bold
        self.cell = Cell(base)

    def new_pen(self):
        return TTGlyphPen(None)

    def copy(self, code):
        pen = self.new_pen()
        self.base.draw(chr(code), pen)
        return pen.glyph()

    def blank(self):
        return self.new_pen().glyph()

    def control_name(self, name):
        """A control character: its name's letters stacked in one column."""
        c = self.cell
        m = round(0.8 * c.px)
        pen = self.new_pen()
        box = (m, -c.descent + m, c.advance - m, c.ascent - m)
        fit_text(pen, self.bold, list(name), box, pitch=c.advance, gap=230,
                 max_stretch=1.25, max_squeeze=0.55)
        return pen.glyph()

    def hex_pair(self, value):
        """A byte as two condensed upper-case hex digits side by side."""
        c = self.cell
        m = round(0.5 * c.px)
        pen = self.new_pen()
        box = (m, 0, c.advance - m, round(11.0 * c.px))
        fit_text(pen, self.bold, [f"{value:02X}"], box, pitch=1100, gap=0,
                 max_stretch=1.0, max_squeeze=0.3)
        return pen.glyph()

    def hex_block(self, value):
        """A byte as its hex digits cut out of a filled block: the style of
        bytes that have no character of their own (the C1 range)."""
        c = self.cell
        pen = self.new_pen()
        bx0, by0 = round(0.3 * c.px), round(-2.5 * c.px)
        bx1, by1 = c.advance - bx0, round(13.0 * c.px)
        rect(pen, bx0, by0, bx1, by1, clockwise=True)
        # Reversed contours inside the block punch holes (non-zero winding).
        inner = round(1.2 * c.px)
        box = (bx0 + inner, by0 + inner, bx1 - inner, by1 - inner)
        fit_text(ReverseContourPen(pen), self.bold, [f"{value:02X}"], box,
                 pitch=1100, gap=0, max_stretch=1.0, max_squeeze=0.3)
        return pen.glyph()

    def visible_nbsp(self):
        """No-break space: the open-box sign, so it is told apart from space."""
        pen = self.new_pen()
        self.base.draw("\u2423", pen)
        return pen.glyph()

    def notdef(self):
        c = self.cell
        pen = self.new_pen()
        m, w = round(1.0 * c.px), round(1.0 * c.px)
        x0, y0, x1, y1 = m, 0, c.advance - m, round(12 * c.px)
        rect(pen, x0, y0, x1, y1, clockwise=True)
        rect(pen, x0 + w, y0 + w, x1 - w, y1 - w, clockwise=False)
        return pen.glyph()


def spc_picture(p, code):
    if code < 0x20:
        return p.control_name(CONTROL_NAMES[code])
    if code == 0x7F:
        return p.control_name("DEL")
    if 0x80 <= code <= 0x9F:
        return p.hex_block(code)
    if code == 0xA0:
        return p.visible_nbsp()
    if code == 0x20:
        return p.blank()
    return p.copy(code)


def pat_picture(p, code):
    if 0x20 <= code <= 0x3F:
        return p.hex_block(code + 0x60)
    if code in (0x56, 0x57):
        return p.hex_block(code + 0x60)
    if 0x40 <= code <= 0x4F:
        return p.hex_pair(code - 0x30)
    if 0x60 <= code <= 0x6F:
        return p.control_name(CONTROL_NAMES[code - 0x50])
    return None


def font_contents(p, family):
    """Returns {code: glyph} for one family."""
    if family == "KS_SPC":
        return {code: spc_picture(p, code) for code in range(0x100)}
    if family == "KS_HEX":
        return {code: p.hex_pair(code) for code in range(0x100)}
    # KS_PAT: the pictures above, and for every other printable code the
    # ordinary character. The text layer only picks a family for Latin text
    # when the font covers the Latin alphabet; without the fillers the
    # pattern codes that are letters (0x41.., 0x61..) would be drawn from
    # some other font.
    glyphs = {}
    for code in list(range(0x20, 0x7F)) + list(range(0xA1, 0x100)):
        picture = pat_picture(p, code)
        glyphs[code] = picture if picture is not None else p.copy(code)
    return glyphs


def build(p, family, out_dir):
    c = p.cell
    contents = font_contents(p, family)
    order = [".notdef"] + [f"uni{code:04X}" for code in sorted(contents)]
    glyphs = {".notdef": p.notdef()}
    glyphs.update({f"uni{code:04X}": g for code, g in contents.items()})
    cmap = {code: f"uni{code:04X}" for code in contents}

    fb = FontBuilder(c.upem, isTTF=True)
    fb.font.recalcTimestamp = False
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]
    metrics = {}
    for name in order:
        g = glyf[name]
        g.recalcBounds(glyf)
        lsb = g.xMin if g.numberOfContours else 0
        metrics[name] = (c.advance, lsb)
        # Every picture must stay inside the cell, so that the display can
        # clip each character to its own rectangle without losing ink.
        if g.numberOfContours and (g.xMin < 0 or g.xMax > c.advance or
                                   g.yMin < -c.descent or g.yMax > c.ascent):
            raise SystemExit(f"{family}: {name} leaves the cell: "
                             f"{(g.xMin, g.yMin, g.xMax, g.yMax)}")
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=c.ascent, descent=-c.descent, lineGap=0)
    base_os2 = p.base.font["OS/2"]
    fb.setupOS2(
        version=4,
        xAvgCharWidth=c.advance,
        usWeightClass=400,
        fsType=0,
        panose=base_os2.panose,
        # Basic Latin and Latin-1 Supplement; code page Latin 1.
        ulUnicodeRange1=0b11, ulUnicodeRange2=0, ulUnicodeRange3=0, ulUnicodeRange4=0,
        ulCodePageRange1=1, ulCodePageRange2=0,
        achVendID="KSTR",
        fsSelection=0x40,
        sTypoAscender=base_os2.sTypoAscender,
        sTypoDescender=base_os2.sTypoDescender,
        sTypoLineGap=base_os2.sTypoLineGap,
        usWinAscent=c.ascent,
        usWinDescent=c.descent,
        sxHeight=1120,
        sCapHeight=1493,
        usDefaultChar=0,
        usBreakChar=0x20,
        yStrikeoutSize=base_os2.yStrikeoutSize,
        yStrikeoutPosition=base_os2.yStrikeoutPosition,
    )
    fb.setupPost(isFixedPitch=1,
                 underlinePosition=p.base.font["post"].underlinePosition,
                 underlineThickness=p.base.font["post"].underlineThickness)
    fb.setupNameTable({
        "copyright": COPYRIGHT,
        "familyName": family,
        "styleName": "Regular",
        "uniqueFontIdentifier": f"Kestrane:{family}:1.0",
        "fullName": family,
        "version": "Version 1.0",
        "psName": family,
        "licenseDescription": LICENSE_NOTE,
    }, mac=False)
    fb.setupHead(unitsPerEm=c.upem, created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP,
                 fontRevision=1.0)
    fb.setupMaxp()
    # Smooth rendering at every size: the pictures carry no hinting.
    gasp = newTable("gasp")
    gasp.version = 1
    gasp.gaspRange = {0xFFFF: 0x000A}
    fb.font["gasp"] = gasp
    path = os.path.join(out_dir, f"{family}.ttf")
    fb.save(path)
    return path, len(order)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(REPO, "resources", "fonts"))
    ap.add_argument("--base", default=os.path.join(DEJAVU_DIR, "DejaVuSansMono.ttf"))
    ap.add_argument("--bold", default=os.path.join(DEJAVU_DIR, "DejaVuSansMono-Bold.ttf"))
    args = ap.parse_args(argv)

    base, bold = Source(args.base), Source(args.bold)
    if base.font["hmtx"]["zero"][0] != bold.font["hmtx"]["zero"][0]:
        raise SystemExit("the regular and bold faces have different cells")
    painter = Painter(base, bold)
    os.makedirs(args.out, exist_ok=True)
    for family in ("KS_SPC", "KS_HEX", "KS_PAT"):
        path, count = build(painter, family, args.out)
        print(f"{path}: {count} glyphs")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
