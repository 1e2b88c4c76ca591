#!/usr/bin/env python3
"""Draws the four pictures of the tray icon (48 x 48 pixels, 8-bit RGB without
alpha, over a mid-grey ground since the tray shows them as they are) from the
product logo's shapes, the logo's colours telling the server's state: its own
blue when no viewer is connected, green when one is, grey when the server is
disabled and red on an error. Writes them as C++ arrays.

    make_status_icons.py OUTPUT.cpp
"""

import os
import sys

here = os.path.dirname(__file__)
sys.path.insert(0, os.path.join(here, "..", "..", "libs", "wvw", "tools"))
sys.path.insert(0, os.path.join(here, "..", "..", "libs", "ui", "tools"))
from make_icons import render  # noqa: E402
from make_logo import BLUE, SKY, logo  # noqa: E402

SIZE = 48
GROUND = (0x80, 0x80, 0x80)
STATES = [
    ("zavconfigUnconnected", BLUE, SKY),
    ("zavconfigConnected", (30, 140, 50, 255), (130, 210, 140, 255)),
    ("zavconfigDisabled", (70, 70, 70, 255), (190, 190, 190, 255)),
    ("zavconfigError", (190, 20, 20, 255), (240, 140, 140, 255)),
]


def main():
    out = ["// Drawn by serverconfig/tools/make_status_icons.py; do not edit.",
           '#include "serverconfig/StatusIconPictures.h"', "", "namespace serverconfig {", ""]
    for name, blue, sky in STATES:
        pixels = render(logo(blue, sky), SIZE)
        out.append("const StatusIconPicture %s = {{" % name)
        for row in pixels:
            values = []
            for r, g, b, a in row:
                f = a / 255.0
                values += [round(r * f + GROUND[0] * (1 - f)), round(g * f + GROUND[1] * (1 - f)),
                           round(b * f + GROUND[2] * (1 - f))]
            out.append("    " + ", ".join(str(v) for v in values) + ",")
        out += ["}};", ""]
    out += ["} // namespace serverconfig", ""]
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
