#!/usr/bin/env python3
"""Draws the connection icon of the connect-to-viewer and connection test
dialogs (48 x 48 pixels, over the dialogs' grey) with the shapes of the
toolkit's icon drawer and writes it as a C++ array of 32-bit pixels, bytes
red, green, blue, unused.

    make_connection_icon.py OUTPUT.cpp
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "libs", "wvw", "tools"))
from make_icons import circle, rect, render, segment  # noqa: E402

SIZE = 48
# The background of the dialogs the icon stands in.
BACKGROUND = (200, 200, 200)
BLUE = (38, 98, 180, 255)
SKY = (120, 170, 230, 255)
GREEN = (46, 150, 60, 255)
INK = (40, 40, 40, 255)
STAND = (90, 90, 90, 255)


def screen(x0, y0, x1, y1):
    # A monitor: frame, glass, neck and foot.
    cx = (x0 + x1) / 2
    return [(rect(x0, y0, x1, y1, 0.03), INK),
            (rect(x0 + 0.03, y0 + 0.03, x1 - 0.03, y1 - 0.03), SKY),
            (rect(cx - 0.03, y1, cx + 0.03, y1 + 0.06), STAND),
            (rect(cx - 0.10, y1 + 0.05, cx + 0.10, y1 + 0.09, 0.02), STAND)]


def icon():
    # Two computers joined by a cable with a green link in the middle.
    return (screen(0.02, 0.08, 0.44, 0.44) + screen(0.56, 0.48, 0.98, 0.84) +
            [(segment(0.23, 0.62, 0.23, 0.75, 0.05), BLUE),
             (segment(0.23, 0.75, 0.56, 0.75, 0.05), BLUE),
             (segment(0.77, 0.30, 0.77, 0.48, 0.05), BLUE),
             (segment(0.44, 0.30, 0.77, 0.30, 0.05), BLUE),
             (segment(0.23, 0.53, 0.23, 0.62, 0.05), BLUE),
             (circle(0.38, 0.75, 0.08), GREEN),
             (circle(0.38, 0.75, 0.04), (255, 255, 255, 255))])


def main():
    pixels = render(icon(), SIZE)
    out = ["// Drawn by serverconfig/tools/make_connection_icon.py; do not edit.",
           "#include <cstdint>", "", "namespace serverconfig {", "",
           "extern const uint8_t connectionIcon48x48[%d * %d * 4];" % (SIZE, SIZE),
           "const uint8_t connectionIcon48x48[%d * %d * 4] = {" % (SIZE, SIZE)]
    for row in pixels:
        values = []
        for r, g, b, a in row:
            f = a / 255.0
            values += [round(r * f + BACKGROUND[0] * (1 - f)),
                       round(g * f + BACKGROUND[1] * (1 - f)),
                       round(b * f + BACKGROUND[2] * (1 - f)), 0]
        out.append("    " + ", ".join(str(v) for v in values) + ",")
    out += ["};", "", "} // namespace serverconfig", ""]
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
