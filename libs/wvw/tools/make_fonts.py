#!/usr/bin/env python3
"""Converts Debian-packaged bitmap fonts into the widget toolkit's font data.

  make_fonts.py <output.cpp>

Sources (Debian 12):
  - the 8 x 16 code-page-437 font: the VGA console fonts of console-setup-linux
    (/usr/share/consolefonts), glyphs picked by their Unicode table;
  - the proportional 15-pixel fonts: the 100 dpi Adobe Helvetica fonts of
    xfonts-100dpi (helvR10 and helvB10, 14 pixels, ISO 10646 encoded).

Its output, libs/wvw/FontData.cpp, is committed; only regenerating it needs
the two font packages (apt-get install xfonts-100dpi console-setup-linux).

The output defines the bitmaps of wvw::Font8x16 and the glyph records,
bitmaps and page lists of the three wvw::FontProp instances.
"""
import gzip
import struct
import sys

CONSOLE = "/usr/share/consolefonts/%s.psf.gz"
# Fonts of the same VGA design, in order of preference.
CONSOLE_FONTS = ["FullGreek-VGA16", "Uni2-VGA16", "Lat15-VGA16"]
# Characters of the code page none of the fonts has, drawn with a neighbour.
CONSOLE_SUBSTITUTES = {0x25BA: 0x25B6, 0x25C4: 0x25C0}
PCF = "/usr/share/fonts/X11/100dpi/%s.pcf.gz"

LINE_HEIGHT = 15
# Pen y is the top of the line; the baseline lies this many rows below it:
# capitals (11 rows) start on row 1 and descenders (3 rows) end on the last
# row. Taller or deeper glyphs are squeezed to fit (fit_rows).
BASELINE = 12

REGULAR_PAGES = [0x0, 0x80, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x400, 0x480, 0x1E00,
                 0x1E80, 0x2000, 0x2080, 0x2100, 0x2200]
BOLD_PAGES = [0x0]
BOLD_U_PAGES = [0x0, 0x80, 0x100, 0x180, 0x200, 0x280, 0x300, 0x380, 0x1E00, 0x1E80, 0x2000,
                0x2080, 0x2100, 0x2200]


NOTICES = """\
// The 8 x 16 glyphs come from u_vga16:
//   Copyright (c) 2000, 2001 by Dmitry Bolkhovityanov. All Rights Reserved.
//   Permission is hereby granted, free of charge, to any person obtaining a
//   copy of this software and associated documentation files (the
//   "Software"), to deal in the Software without restriction, including
//   without limitation the rights to use, copy, modify, merge, publish,
//   distribute, sublicense, and/or sell copies of the Software, and to permit
//   persons to whom the Software is furnished to do so, subject to the
//   following conditions: The above copyright notice and this permission
//   notice shall be included in all copies or substantial portions of the
//   Software. THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND.
//
// The proportional glyphs come from the Adobe Helvetica bitmap fonts:
//   Copyright 1984-1989, 1994 Adobe Systems Incorporated.
//   Copyright 1988, 1994 Digital Equipment Corporation.
//   Permission to use, copy, modify, distribute and sell this software and
//   its documentation for any purpose and without fee is hereby granted,
//   provided that the above copyright notices appear in all copies and that
//   both those copyright notices and this permission notice appear in
//   supporting documentation, and that the names of Adobe Systems and
//   Digital Equipment Corporation not be used in advertising or publicity
//   pertaining to distribution of the software without specific, written
//   prior permission. Adobe Systems and Digital Equipment Corporation make no
//   representations about the suitability of this software for any purpose.
//   It is provided "as is" without express or implied warranty.
//   Adobe is a trademark of Adobe Systems Incorporated which may be
//   registered in certain jurisdictions.

"""


def cp437():
    """The code point of each of the 256 code-page positions."""
    low = "\0☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼"
    points = [ord(c) for c in low] + list(range(0x20, 0x7F)) + [0x2302]
    points += [ord(bytes([i]).decode("cp437")) for i in range(0x80, 0x100)]
    assert len(points) == 256
    return points


def read_psf1(path):
    data = gzip.open(path).read()
    if data[:2] != b"\x36\x04":
        sys.exit("%s: not a PSF1 font" % path)
    mode, size = data[2], data[3]
    count = 512 if mode & 1 else 256
    glyphs = [data[4 + i * size:4 + (i + 1) * size] for i in range(count)]
    table = {}
    pos, glyph = 4 + count * size, 0
    in_sequence = False
    while pos + 2 <= len(data) and glyph < count:
        (v,) = struct.unpack_from("<H", data, pos)
        pos += 2
        if v == 0xFFFF:
            glyph += 1
            in_sequence = False
        elif v == 0xFFFE:
            in_sequence = True
        elif not in_sequence:
            table.setdefault(v, glyph)
    return glyphs, table, size


def console_font():
    fonts = [read_psf1(CONSOLE % name) for name in CONSOLE_FONTS]
    out = bytearray()
    for point in cp437():
        if point == 0:
            out += bytes(16)
            continue
        want = CONSOLE_SUBSTITUTES.get(point, point)
        for glyphs, table, size in fonts:
            if want in table:
                if size != 16:
                    sys.exit("console font is not 8 x 16")
                out += glyphs[table[want]]
                break
        else:
            sys.exit("no console glyph for U+%04X" % point)
    return bytes(out)


class Pcf:
    """The glyphs of a PCF font: metrics, bitmaps (rows MSB first, padded to
    bytes) and the code point encoding."""

    def __init__(self, path):
        self.data = gzip.open(path).read()
        if self.data[:4] != b"\x01fcp":
            sys.exit("%s: not a PCF font" % path)
        (count,) = struct.unpack_from("<i", self.data, 4)
        self.tables = {}
        for i in range(count):
            t, fmt, size, offset = struct.unpack_from("<iiii", self.data, 8 + 16 * i)
            self.tables[t] = (fmt, offset)
        self.read_metrics()
        self.read_bitmaps()
        self.read_encodings()

    def table(self, kind):
        fmt, offset = self.tables[kind]
        (fmt2,) = struct.unpack_from("<i", self.data, offset)
        endian = ">" if fmt2 & 4 else "<"
        return fmt2, offset + 4, endian

    def read_metrics(self):
        fmt, pos, e = self.table(4)
        self.metrics = []
        if fmt & 0x100:
            (n,) = struct.unpack_from(e + "h", self.data, pos)
            pos += 2
            for i in range(n):
                v = [b - 0x80 for b in self.data[pos + 5 * i:pos + 5 * i + 5]]
                self.metrics.append(tuple(v))
        else:
            (n,) = struct.unpack_from(e + "i", self.data, pos)
            pos += 4
            for i in range(n):
                self.metrics.append(struct.unpack_from(e + "hhhhh", self.data, pos + 12 * i))

    def read_bitmaps(self):
        fmt, pos, e = self.table(8)
        (n,) = struct.unpack_from(e + "i", self.data, pos)
        offsets = struct.unpack_from(e + "%di" % n, self.data, pos + 4)
        sizes = struct.unpack_from(e + "4i", self.data, pos + 4 + 4 * n)
        base = pos + 4 + 4 * n + 16
        pad = 1 << (fmt & 3)
        msbit = bool(fmt & 8)
        msbyte = bool(fmt & 4)
        unit = 1 << ((fmt >> 4) & 3)
        blob = self.data[base:base + sizes[fmt & 3]]
        self.bitmaps = []
        for i, (lsb, rsb, width, ascent, descent) in enumerate(self.metrics):
            w, h = rsb - lsb, ascent + descent
            stride = ((w + 7) // 8 + pad - 1) // pad * pad
            rows = []
            for y in range(h):
                row = bytearray(blob[offsets[i] + y * stride:offsets[i] + (y + 1) * stride])
                if unit > 1 and msbyte != msbit:
                    for k in range(0, len(row), unit):
                        row[k:k + unit] = row[k:k + unit][::-1]
                if not msbit:
                    row = bytearray(int("{:08b}".format(b)[::-1], 2) for b in row)
                rows.append(bytes(row[:(w + 7) // 8]))
            self.bitmaps.append(rows)

    def read_encodings(self):
        fmt, pos, e = self.table(32)
        min2, max2, min1, max1, default = struct.unpack_from(e + "5h", self.data, pos)
        n = (max2 - min2 + 1) * (max1 - min1 + 1)
        indices = struct.unpack_from(e + "%dH" % n, self.data, pos + 10)
        self.index = {}
        for b1 in range(min1, max1 + 1):
            for b2 in range(min2, max2 + 1):
                g = indices[(b1 - min1) * (max2 - min2 + 1) + (b2 - min2)]
                if g != 0xFFFF:
                    self.index[(b1 << 8) | b2] = g

    def glyph(self, point):
        """(advance, x offset, y offset from the line top, width, height, rows)."""
        g = self.index.get(point)
        if g is None:
            return None
        lsb, rsb, width, ascent, descent = self.metrics[g][:5]
        return (width, lsb, BASELINE - ascent, rsb - lsb, ascent + descent, self.bitmaps[g])


def fit_rows(rows, y, point):
    """Squeezes a glyph whose rows reach outside the line (rows 0 to
    LINE_HEIGHT - 1 below the pen) until they fit; (y, rows).

    Rows leave the part that is too long: above the baseline for a glyph that
    reaches above the line (accents over capitals), below it for one that
    reaches below. Within that part, first an empty row between inked ones
    (the gap under an accent), then one row of the longest run of equal
    inked rows, the lowest of equal ones (a stem of the letter's body: it
    gets a row shorter, its shape and the accent stay), and only when there
    is neither the outermost row."""
    rows = list(rows)
    baseline = BASELINE - y  # rows above the baseline
    while y < 0 or y + len(rows) > LINE_HEIGHT:
        above = y < 0
        part = (range(0, min(baseline, len(rows))) if above else
                range(max(baseline, 0), len(rows)))
        inked = [i for i in range(len(rows)) if any(rows[i])]
        gaps = [i for i in part if not any(rows[i]) and inked and inked[0] < i < inked[-1]]
        if gaps:
            victim = gaps[0] if above else gaps[-1]
        else:
            best, victim = 2, None
            i = part.start
            while i < part.stop:
                j = i
                while j + 1 < part.stop and rows[j + 1] == rows[i]:
                    j += 1
                if any(rows[i]) and j - i + 1 >= best:
                    best, victim = j - i + 1, i
                i = j + 1
            if victim is None:
                victim = part.start if above else part.stop - 1
        if not part:
            sys.exit("glyph U+%04X cannot be fitted into the line" % point)
        del rows[victim]
        if above:
            y += 1
            baseline -= 1
    return y, rows


def missing_glyph():
    """A hollow box: what text shows for characters the font lacks."""
    w, h = 7, 9
    rows = [bytes([0xFE])] + [bytes([0x82])] * (h - 2) + [bytes([0xFE])]
    return (9, 1, BASELINE - h, w, h, rows)


def prop_font(pcf, pages):
    records, bitmaps = [], bytearray()
    missing = missing_glyph()
    for page in pages:
        for low in range(128):
            point = page + low
            g = pcf.glyph(point) if point else None
            if g is None:
                g = missing
            advance, x, y, w, h, rows = g
            # Every glyph lies inside the line, so nothing is cut off by the
            # line's own area (a label's top edge, the row above).
            y, rows = fit_rows(rows, y, point)
            h = len(rows)
            records.append((len(bitmaps), advance, x, y, w, h))
            for r in rows:
                bitmaps += r
    return records, bytes(bitmaps)


def c_bytes(data, indent="    "):
    lines = []
    for i in range(0, len(data), 16):
        lines.append(indent + ", ".join("0x%02x" % b for b in data[i:i + 16]) + ",")
    return "\n".join(lines)


def main():
    out_path = sys.argv[1]
    console = console_font()
    regular = Pcf(PCF % "helvR10")
    bold = Pcf(PCF % "helvB10")
    fonts = [("helv15_u", regular, REGULAR_PAGES), ("helvB15", bold, BOLD_PAGES),
             ("helvB15_u", bold, BOLD_U_PAGES)]
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("// Generated by libs/wvw/tools/make_fonts.py from the VGA console fonts of\n"
                "// console-setup-linux and the 100 dpi Adobe Helvetica fonts of xfonts-100dpi;\n"
                "// do not edit.\n//\n" + NOTICES)
        f.write('#include "wvw/FontData.h"\n\nnamespace wvw {\nnamespace fontdata {\n\n')
        f.write("const uint8_t font8x16[4096] = {\n%s\n};\n\n" % c_bytes(console))
        for name, pcf, pages in fonts:
            records, bitmaps = prop_font(pcf, pages)
            f.write("const FontProp::Glyph %s_glyphs[%d] = {\n" % (name, len(records)))
            for rec in records:
                f.write("    {%d, %d, %d, %d, %d, %d, {0, 0}},\n" % rec)
            f.write("};\n\n")
            f.write("const uint8_t %s_bitmaps[%d] = {\n%s\n};\n\n" % (name, len(bitmaps),
                                                                    c_bytes(bitmaps)))
            f.write("const uint32_t %s_pages[%d] = {%s, 0xFFFFFFFF};\n\n" % (
                name, len(pages) + 1, ", ".join("0x%X" % p for p in pages)))
        f.write("} // namespace fontdata\n} // namespace wvw\n")


if __name__ == "__main__":
    main()
