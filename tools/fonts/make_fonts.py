#!/usr/bin/python3
"""Builds the three display fonts KS_SPC, KS_HEX and KS_PAT.

The capture display gives every byte one character cell, whatever its value,
so it needs fonts that have a picture for the control characters, one that
shows every byte as its two hexadecimal digits, and one for the leftovers (the
C1 range, 0xB6-0xB7, and the bytes 0x10-0x1F in the style of either mode).
All three are made from DejaVu Sans Mono and share one square cell: one em
wide (16 pixels at 16 px), with DejaVu's ascent and descent.

Which code of which font holds which picture:

  KS_SPC  0x00-0x1F control-character names stacked in a column (NUL ... US)
          0x20-0x7E the ordinary characters, 0x7F "DEL" like the controls
          0x80-0x9F the byte's hex digits between a rule above and below
          0xA0      a visible no-break space, 0xA1-0xFF the Latin-1 characters
  KS_HEX  0x00-0xFF the byte's two hex digits, condensed, side by side
  KS_PAT  0x20-0x3F and 0x56-0x57: bytes 0x80-0x9F and 0xB6-0xB7 as blocks
          0x40-0x4F bytes 0x10-0x1F as KS_HEX draws them ("10" ... "1F")
          0x60-0x6F bytes 0x10-0x1F as KS_SPC draws them (DLE ... US)
          every other printable code: the ordinary character (see below)

KS_SPC and KS_HEX cover every byte, beyond the codes the program asks of
them, so that a caller that skips the remapping still gets the right picture.

Usage: make_fonts.py [--out DIR] [--base FILE] [--bold FILE] [--check]
The output is deterministic: running it again gives the same bytes. With
--check nothing is written; the exit code says whether the fonts in --out
are what the generator makes now.
"""

import argparse
import os
import sys
import tempfile

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.pens.transformPen import TransformPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
DEJAVU_DIR = "/usr/share/fonts/truetype/dejavu"

# 2009-01-01 in the font's own epoch (seconds since 1904): a fixed stamp keeps
# the generated files byte-identical from run to run.
FIXED_TIMESTAMP = 3313526400

FAMILIES = ("KS_SPC", "KS_HEX", "KS_PAT")

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


def without_smallest_contour(ops):
    """Drops the smallest closed contour of a recorded outline: the dot
    inside DejaVu's zero, which at four pixels wide turns 0 into 8."""
    contours, current = [], []
    for op, args in ops:
        current.append((op, args))
        if op in ("closePath", "endPath"):
            contours.append(current)
            current = []

    def area(contour):
        pts = [p for _, args in contour for p in args]
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        return (max(xs) - min(xs)) * (max(ys) - min(ys))

    if len(contours) < 3:
        return ops
    smallest = min(range(len(contours)), key=lambda i: area(contours[i]))
    return [step for i, c in enumerate(contours) if i != smallest for step in c]


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

    def draw(self, char, pen, transform=(1, 0, 0, 1, 0, 0), plain_zero=False):
        # Decompose first: composite glyphs (accented letters) must become
        # plain contours before they are scaled into a picture.
        rec = DecomposingRecordingPen(self.glyphs)
        self.glyphs[self.name(char)].draw(rec)
        ops = rec.value
        if plain_zero and char == "0":
            ops = without_smallest_contour(ops)
        for op, args in ops:
            getattr(TransformPen(pen, transform), op)(*args)

    def bounds(self, char):
        pen = BoundsPen(self.glyphs)
        self.glyphs[self.name(char)].draw(pen)
        return pen.bounds


class Cell:
    """The geometry every picture has to fit: a square 16-pixel cell (one em
    wide) with the base font's ascent and descent. The display lays out a
    stamp in three cells and a date in four, and a byte's two hex digits in
    one: all of that needs the wide cell, not the base font's 9.6 pixels."""

    def __init__(self, base):
        self.upem = base.font["head"].unitsPerEm
        self.advance = self.upem
        self.ascent = base.font["hhea"].ascent
        self.descent = -base.font["hhea"].descent  # positive
        # At 16 px one pixel is upem / 16 font units.
        self.px = self.upem / 16.0
        # Outlines are drawn in the base font's own 9.6-pixel frame and then
        # moved right by whole pixels to stand in the middle of the cell.
        self.shift = round(3 * self.px)


# The small pictures are laid out on the pixel grid of the 16-pixel font the
# display uses: one pixel is upem / 16 units, the baseline sits on a pixel
# edge (the display draws at whole pixels), and the cell runs from 4 pixels
# below the baseline to 15 above it; boxes are given in the base font's
# 9.6-pixel frame, which stands three pixels in from the cell's left edge.
# Putting letter and digit boxes on whole pixels keeps these tiny shapes crisp
# without hinting. Boxes below are (left, bottom, right, top) in pixels.
#
# Cells stand side by side on the display with nothing between them, so the
# pictures keep clear of the cell's edges the way a typeface's side bearings
# do: a byte's two digits stand closer to each other than to the digits of
# the next byte, and "77 1D" never reads as "771D".
STACK3 = [(2, 9, 8, 14), (2, 3, 8, 8), (2, -3, 8, 2)]   # three 5-pixel capitals
STACK2 = [(2, 6, 8, 13), (2, -2, 8, 5)]                 # two 7-pixel capitals
PAIR = [(-1, 0, 4, 10), (5, 0, 10, 10)]                 # two 5 x 10 digits, 1 pixel apart
PAIR_BARS = [(-1, 12, 10, 13), (-1, -3, 10, -2)]        # rules above and below, as wide as the pair
# The least clear columns at either edge of a cell (the cell is 16 pixels).
EDGE_GAP = 2


def ref_box(source, chars):
    """The common ink box of `chars` (capitals and digits, baseline to cap
    height): every character is mapped through the same box, so narrow ones
    stay narrow and all of them stand on the same line."""
    xs0, xs1 = [], []
    for ch in chars:
        b = source.bounds(ch)
        xs0.append(b[0])
        xs1.append(b[2])
    top = source.bounds("H")[3]
    return (min(xs0), 0, max(xs1), top)


def place(pen, source, ch, ref, box, px, plain_zero=False):
    """Draws `ch` scaled so that `ref` (font units) fills `box` (pixels).
    A character reaching below the baseline (the tail of Q) is fitted whole
    into the box instead, a little smaller, so that it never leaves the cell."""
    x0, y0, x1, y1 = (v * px for v in box)
    ref = (ref[0], min(ref[1], source.bounds(ch)[1]), ref[2], ref[3])
    sx = (x1 - x0) / (ref[2] - ref[0])
    sy = (y1 - y0) / (ref[3] - ref[1])
    source.draw(ch, pen, (sx, 0, 0, sy, x0 - ref[0] * sx, y0 - ref[1] * sy), plain_zero)


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

    LETTERS = "ABCDEFGHIJKLMNOPRSTUVWXYZ0123456789"  # no Q: its tail is a descender
    DIGITS = "0123456789ABCDEF"

    def __init__(self, base, bold):
        self.base = base
        self.bold = bold
        self.cell = Cell(base)
        self.letters_ref = ref_box(bold, self.LETTERS)
        self.digits_ref = ref_box(bold, self.DIGITS)

    def copy(self, code):
        pen = TTGlyphPen(None)
        self.base.draw(chr(code), pen)
        return pen.glyph()

    def blank(self):
        return TTGlyphPen(None).glyph()

    def control_name(self, name):
        """A control character: its name's capitals stacked in one column."""
        boxes = {3: STACK3, 2: STACK2}[len(name)]
        pen = TTGlyphPen(None)
        for ch, box in zip(name, boxes):
            place(pen, self.bold, ch, self.letters_ref, box, self.cell.px)
        return pen.glyph()

    def hex_pair(self, value, bars=False):
        """A byte as two condensed upper-case hex digits side by side; with
        rules above and below for bytes that have no character of their own
        (the C1 range), so they stand out in either display mode."""
        pen = TTGlyphPen(None)
        for ch, box in zip(f"{value:02X}", PAIR):
            place(pen, self.bold, ch, self.digits_ref, box, self.cell.px, plain_zero=True)
        if bars:
            for box in PAIR_BARS:
                rect(pen, *(round(v * self.cell.px) for v in box))
        return pen.glyph()

    def visible_nbsp(self):
        """No-break space: the open-box sign, so it is told apart from space."""
        pen = TTGlyphPen(None)
        self.base.draw("\u2423", pen)
        return pen.glyph()

    def notdef(self):
        px = self.cell.px
        pen = TTGlyphPen(None)
        rect(pen, round(1 * px), 0, round(8 * px), round(12 * px), clockwise=True)
        rect(pen, round(2 * px), round(1 * px), round(7 * px), round(11 * px), clockwise=False)
        return pen.glyph()


def spc_picture(p, code):
    if code < 0x20:
        return p.control_name(CONTROL_NAMES[code])
    if code == 0x7F:
        return p.control_name("DEL")
    if 0x80 <= code <= 0x9F:
        return p.hex_pair(code, bars=True)
    if code == 0xA0:
        return p.visible_nbsp()
    if code == 0x20:
        return p.blank()
    return p.copy(code)


def pat_picture(p, code):
    if 0x20 <= code <= 0x3F:
        return p.hex_pair(code + 0x60, bars=True)
    if code in (0x56, 0x57):
        return p.hex_pair(code + 0x60, bars=True)
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
    # ordinary character. Font configuration credits a font with a language
    # only when it covers that language's whole alphabet; the fillers give
    # KS_PAT Latin, so that font matching which filters families by writing
    # system still picks it for the pattern codes that are letters (0x41..,
    # 0x61..).
    glyphs = {}
    for code in list(range(0x20, 0x7F)) + list(range(0xA1, 0x100)):
        picture = pat_picture(p, code)
        glyphs[code] = picture if picture is not None else p.copy(code)
    return glyphs


def picture_codes(family):
    """The codes whose glyphs the generator draws itself."""
    if family == "KS_HEX":
        return range(0x100)
    if family == "KS_SPC":
        return [c for c in range(0x100) if c < 0x20 or 0x7F <= c <= 0x9F]
    return [c for c in range(0x20, 0x70) if pat_picture_kind(c)]


def pat_picture_kind(code):
    return 0x20 <= code <= 0x4F or code in (0x56, 0x57) or 0x60 <= code <= 0x6F


def build(p, family, out_dir):
    c = p.cell
    contents = font_contents(p, family)
    pictures = {f"uni{code:04X}" for code in picture_codes(family)}
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
        if g.numberOfContours > 0:
            g.coordinates.translate((c.shift, 0))
        g.recalcBounds(glyf)
        lsb = g.xMin if g.numberOfContours else 0
        metrics[name] = (c.advance, lsb)
        # Every picture must stay inside the cell, so that the display can
        # clip each character to its own rectangle without losing ink.
        if g.numberOfContours and (g.xMin < 0 or g.xMax > c.advance or
                                   g.yMin < -c.descent or g.yMax > c.ascent):
            raise SystemExit(f"{family}: {name} leaves the cell: "
                             f"{(g.xMin, g.yMin, g.xMax, g.yMax)}")
        # The generated pictures (not the letters copied from the base face,
        # which bring their own bearings) keep clear of the cell's edges.
        edge = EDGE_GAP * c.px
        if g.numberOfContours and name in pictures and (g.xMin < edge or g.xMax > c.advance - edge):
            raise SystemExit(f"{family}: {name} comes closer than {EDGE_GAP} pixels to the cell's edge: "
                             f"{(g.xMin, g.xMax)}")
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


def differences(built_path, committed_path):
    """What differs between two builds of a font, as far as drawing goes:
    the glyphs, their codes, their outlines and the metrics. Serialisation
    details that vary between fontTools versions are not compared."""
    if not os.path.exists(committed_path):
        return [f"{committed_path} is missing"]
    a, b = TTFont(built_path), TTFont(committed_path)
    found = []
    if a.getGlyphOrder() != b.getGlyphOrder():
        found.append("glyph order differs")
    if a.getBestCmap() != b.getBestCmap():
        found.append("character map differs")
    if a["hmtx"].metrics != b["hmtx"].metrics:
        found.append("advance widths differ")
    for tag, field in (("hhea", "ascent"), ("hhea", "descent"), ("hhea", "lineGap"),
                       ("post", "isFixedPitch"), ("head", "unitsPerEm")):
        if getattr(a[tag], field) != getattr(b[tag], field):
            found.append(f"{tag}.{field} differs")
    if a["name"].getDebugName(1) != b["name"].getDebugName(1):
        found.append("family name differs")
    glyf_a, glyf_b = a["glyf"], b["glyf"]
    for name in a.getGlyphOrder():
        if name not in glyf_b:
            continue
        ca, cb = glyf_a[name].getCoordinates(glyf_a), glyf_b[name].getCoordinates(glyf_b)
        if list(ca[0]) != list(cb[0]) or list(ca[1]) != list(cb[1]) or list(ca[2]) != list(cb[2]):
            found.append(f"outline of {name} differs")
    return found


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=os.path.join(REPO, "resources", "fonts"))
    ap.add_argument("--base", default=os.path.join(DEJAVU_DIR, "DejaVuSansMono.ttf"))
    ap.add_argument("--bold", default=os.path.join(DEJAVU_DIR, "DejaVuSansMono-Bold.ttf"))
    ap.add_argument("--check", action="store_true",
                    help="build into a temporary folder and compare with the fonts in --out; "
                         "exit 1 when they differ (the generator changed, the fonts were not rebuilt)")
    args = ap.parse_args(argv)

    base, bold = Source(args.base), Source(args.bold)
    if base.font["hmtx"]["zero"][0] != bold.font["hmtx"]["zero"][0]:
        raise SystemExit("the regular and bold faces have different cells")
    painter = Painter(base, bold)
    if args.check:
        with tempfile.TemporaryDirectory() as tmp:
            stale = 0
            for family in FAMILIES:
                path, _ = build(painter, family, tmp)
                found = differences(path, os.path.join(args.out, f"{family}.ttf"))
                for what in found[:10]:
                    print(f"{family}: {what}")
                stale += bool(found)
            print("fonts are up to date" if not stale else "rebuild the fonts: run tools/fonts/make_fonts.py")
            return 1 if stale else 0
    os.makedirs(args.out, exist_ok=True)
    for family in FAMILIES:
        path, count = build(painter, family, args.out)
        print(f"{path}: {count} glyphs")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
