#!/usr/bin/env python3
"""Draws the toolkit's built-in icons and writes them as .ico files.

Each icon is a set of shapes in a 1 x 1 design square (signed distance
functions), rendered at every size the dialogs ask for with 4 x 4 samples per
pixel for smooth edges, and stored as 32-bit images with straight alpha.

    make_icons.py OUTPUT_DIR
"""

import math
import os
import struct
import sys

SAMPLES = 4


# Shapes: each answers whether the design-space point (x, y) lies inside.
def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1, start=None, end=None):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if not r0 <= d <= r1:
            return False
        if start is None:
            return True
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return (a - start) % 360 <= (end - start) % 360
    return inside


def rect(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        if radius <= 0:
            return True
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def segment(ax, ay, bx, by, width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
        t = min(max(t, 0.0), 1.0)
        return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= width / 2
    return inside


def polygon(*points):
    def inside(x, y):
        odd = False
        n = len(points)
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
                odd = not odd
        return odd
    return inside


def render(layers, size):
    """Layers are (shape, (r, g, b, a)) painted in order with source-over."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    c = [0.0, 0.0, 0.0, 0.0]
                    for shape, (r, g, b, a) in layers:
                        if shape(x, y):
                            fa = a / 255.0
                            c = [r / 255.0 * fa + c[0] * (1 - fa),
                                 g / 255.0 * fa + c[1] * (1 - fa),
                                 b / 255.0 * fa + c[2] * (1 - fa),
                                 fa + c[3] * (1 - fa)]
                    for i in range(4):
                        acc[i] += c[i]
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(acc[i] / n / a * 255)) for i in range(3))
                           + (int(round(a * 255)),))
        pixels.append(row)
    return pixels


def ico(images):
    """images: list of (size, pixels); 32-bit entries, rows bottom-up, zero mask."""
    header = struct.pack("<HHH", 0, 1, len(images))
    directory = b""
    bodies = b""
    offset = 6 + 16 * len(images)
    for size, pixels in images:
        mask_row = (size + 31) // 32 * 4
        body = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                           size * size * 4 + mask_row * size, 0, 0, 0, 0)
        for row in reversed(pixels):
            for r, g, b, a in row:
                body += bytes((b, g, r, a))
        body += bytes(mask_row * size)
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                                 len(body), offset + len(bodies))
        bodies += body
    return header + directory + bodies


WHITE = (255, 255, 255, 255)
RED = (204, 40, 40, 255)
GREEN = (46, 150, 60, 255)
AMBER = (240, 176, 20, 255)
INK = (40, 40, 40, 255)
GREY = (110, 110, 110, 255)
BLUE = (38, 98, 180, 255)
PAPER = (250, 250, 246, 255)
EDGE = (120, 120, 120, 255)
FOLDER = (226, 180, 80, 255)
FOLDER_DARK = (190, 140, 50, 255)


def badge(colour, mark):
    return [(circle(0.5, 0.5, 0.47), colour)] + [(m, WHITE) for m in mark]


CROSS = [segment(0.32, 0.32, 0.68, 0.68, 0.13), segment(0.68, 0.32, 0.32, 0.68, 0.13)]
TICK = [segment(0.27, 0.52, 0.44, 0.69, 0.13), segment(0.44, 0.69, 0.74, 0.33, 0.13)]


def warning():
    return [(polygon((0.5, 0.04), (0.97, 0.92), (0.03, 0.92)), AMBER),
            (rect(0.445, 0.30, 0.555, 0.66, 0.04), INK),
            (circle(0.5, 0.78, 0.065), INK)]


def server():
    return [(rect(0.03, 0.03, 0.97, 0.97, 0.16), BLUE),
            (rect(0.16, 0.18, 0.84, 0.66, 0.04), WHITE),
            (rect(0.21, 0.23, 0.79, 0.61), (120, 170, 230, 255)),
            (polygon((0.30, 0.30), (0.70, 0.30), (0.70, 0.37), (0.42, 0.54), (0.70, 0.54),
                     (0.70, 0.60), (0.30, 0.60), (0.30, 0.53), (0.58, 0.36), (0.30, 0.36)),
             WHITE),
            (rect(0.42, 0.66, 0.58, 0.76), WHITE),
            (rect(0.28, 0.76, 0.72, 0.83, 0.03), WHITE)]


def button(mark, active):
    ground = (circle(0.5, 0.5, 0.48), (60, 120, 200, 255) if active else (0, 0, 0, 0))
    colour = WHITE if active else GREY
    return [ground] + [(m, colour) for m in mark]


CLOSE = [segment(0.32, 0.32, 0.68, 0.68, 0.12), segment(0.68, 0.32, 0.32, 0.68, 0.12)]
PAUSE = [rect(0.31, 0.27, 0.44, 0.73), rect(0.56, 0.27, 0.69, 0.73)]
PLAY = [polygon((0.36, 0.25), (0.76, 0.5), (0.36, 0.75))]
RETRY = [ring(0.5, 0.5, 0.18, 0.29, 300, 210),
         polygon((0.50, 0.12), (0.66, 0.24), (0.50, 0.36))]


def document(x0, y0, x1, y1):
    fold = (x1 - x0) * 0.3
    return [(polygon((x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)), EDGE),
            (polygon((x0 + 0.03, y0 + 0.03), (x1 - fold - 0.01, y0 + 0.03),
                     (x1 - 0.03, y0 + fold + 0.01), (x1 - 0.03, y1 - 0.03),
                     (x0 + 0.03, y1 - 0.03)), PAPER),
            (polygon((x1 - fold, y0), (x1, y0 + fold), (x1 - fold, y0 + fold)), EDGE)] + [
        (rect(x0 + 0.1, y0 + fold + 0.08 + i * 0.1, x1 - 0.1, y0 + fold + 0.12 + i * 0.1),
         (170, 170, 170, 255)) for i in range(int((y1 - y0 - fold - 0.15) / 0.1))]


def folder():
    return [(rect(0.06, 0.18, 0.46, 0.34, 0.04), FOLDER_DARK),
            (rect(0.06, 0.26, 0.94, 0.84, 0.05), FOLDER_DARK),
            (rect(0.06, 0.34, 0.94, 0.84, 0.05), FOLDER)]


def fail():
    return [(circle(0.5, 0.5, 0.47), RED), (rect(0.43, 0.20, 0.57, 0.60, 0.05), WHITE),
            (circle(0.5, 0.76, 0.08), WHITE)]


def question():
    return [(circle(0.5, 0.5, 0.47), BLUE),
            (ring(0.5, 0.37, 0.11, 0.21, 150, 90), WHITE),
            (segment(0.56, 0.52, 0.5, 0.58, 0.1), WHITE),
            (rect(0.45, 0.56, 0.55, 0.64), WHITE),
            (circle(0.5, 0.76, 0.065), WHITE)]


def information():
    return [(circle(0.5, 0.5, 0.47), BLUE),
            (circle(0.5, 0.27, 0.07), WHITE),
            (rect(0.44, 0.40, 0.56, 0.78, 0.03), WHITE),
            (rect(0.38, 0.40, 0.56, 0.46), WHITE),
            (rect(0.36, 0.73, 0.64, 0.79, 0.02), WHITE)]


ICONS = {
    "msgError.ico": (badge(RED, CROSS), [36]),
    "msgQuestion.ico": (question(), [36]),
    "msgWarning.ico": (warning(), [36]),
    "msgInformation.ico": (information(), [36]),
    "zavserver.ico": (server(), [16, 32, 48]),
    "cross.ico": (badge(RED, CROSS), [16, 24, 32]),
    "tick.ico": (badge(GREEN, TICK), [16, 24, 32]),
    "warning.ico": (warning(), [16, 24, 32]),
    "FTClose.ico": (button(CLOSE, False), [16, 20]),
    "FTClose_active.ico": (button(CLOSE, True), [16, 20]),
    "FTPause.ico": (button(PAUSE, False), [16, 20]),
    "FTPause_active.ico": (button(PAUSE, True), [16, 20]),
    "FTPlay.ico": (button(PLAY, False), [16, 20]),
    "FTPlay_active.ico": (button(PLAY, True), [16, 20]),
    "FTRetry.ico": (button(RETRY, False), [16, 20]),
    "FTRetry_active.ico": (button(RETRY, True), [16, 20]),
    "FTFail.ico": (fail(), [17]),
    "FTFiles.ico": (document(0.30, 0.04, 0.90, 0.76) + document(0.10, 0.22, 0.70, 0.96),
                    [16, 32, 48]),
    "FTFileUNIX.ico": (document(0.18, 0.04, 0.82, 0.96), [16, 32, 48]),
    "FTFolderUNIX.ico": (folder(), [16, 32, 48]),
}


def main():
    out_dir = sys.argv[1]
    for name, (layers, sizes) in sorted(ICONS.items()):
        data = ico([(s, render(layers, s)) for s in sizes])
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
