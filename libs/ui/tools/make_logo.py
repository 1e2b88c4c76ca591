#!/usr/bin/env python3
"""Draws the product logo (58 x 55 pixels, on white) with the shapes of the
toolkit's icon drawer and writes it as a C++ array of 32-bit pixels, bytes
red, green, blue, unused. Given a size and an array name it draws the same
logo at that size (the options dialog's header logo is 74 x 70).

    make_logo.py OUTPUT.cpp [WIDTH HEIGHT ARRAY]
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "wvw", "tools"))
from make_icons import circle, polygon, rect, render, ring  # noqa: E402

WIDTH, HEIGHT = 58, 55
BLUE = (38, 98, 180, 255)
SKY = (120, 170, 230, 255)
WHITE = (255, 255, 255, 255)


def logo(blue=BLUE, sky=SKY):
    # Two overlapping screens joined by an arc: a desktop reached from afar.
    # Other colours for blue and sky give the same logo in another hue.
    return [(ring(0.5, 0.5, 0.40, 0.47, 200, 340), sky),
            (rect(0.06, 0.30, 0.52, 0.70, 0.05), blue),
            (rect(0.10, 0.34, 0.48, 0.62), WHITE),
            (rect(0.48, 0.40, 0.94, 0.80, 0.05), blue),
            (rect(0.52, 0.44, 0.90, 0.72), sky),
            (polygon((0.60, 0.50), (0.84, 0.50), (0.84, 0.54), (0.67, 0.66), (0.84, 0.66),
                     (0.84, 0.70), (0.60, 0.70), (0.60, 0.66), (0.77, 0.54), (0.60, 0.54)),
             WHITE),
            (circle(0.5, 0.5, 0.0), WHITE)]


def main():
    width, height, name = WIDTH, HEIGHT, "halbrinLogoData"
    if len(sys.argv) == 5:
        width, height, name = int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    size = width
    pixels = render(logo(), size)
    top = (size - height) // 2
    out = ["// Drawn by libs/ui/tools/make_logo.py; do not edit.",
           "#include <cstdint>", "", "namespace ui {", "",
           "extern const uint8_t %s[%d * %d * 4];" % (name, width, height),
           "const uint8_t %s[%d * %d * 4] = {" % (name, width, height)]
    for row in pixels[top:top + height]:
        values = []
        for r, g, b, a in row:
            f = a / 255.0  # over white
            values += [round(r * f + 255 * (1 - f)), round(g * f + 255 * (1 - f)),
                       round(b * f + 255 * (1 - f)), 0]
        out.append("    " + ", ".join(str(v) for v in values) + ",")
    out += ["};", "", "} // namespace ui", ""]
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
