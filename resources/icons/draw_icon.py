#!/usr/bin/env python3
"""Draws the program's icon, vrok-N.png for the sizes the desktop asks for.

The splash picture's motif: an open book with a teal plus in a ring on its
right-hand page, on a rounded blue square. Drawn eight times larger and
scaled down, so the edges are smooth; below 32 pixels the lines of text on
the left-hand page are left out, as they would only blur.

Run by hand after changing the drawing; the PNGs beside this script are
committed, so the build does not need it. Needs python3-pil.
"""
import os

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (16, 24, 32, 48, 64, 128, 256)
BLUE = (28, 70, 120)
TEAL = (0, 128, 118)
LINES = (170, 180, 195)


def icon(size):
    s = size * 8 / 64  # drawing units: a 64 x 64 grid
    big = Image.new("RGBA", (size * 8, size * 8), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)

    def p(x, y):
        return (x * s, y * s)

    d.rounded_rectangle((*p(2, 2), *p(62, 62)), radius=12 * s, fill=BLUE)
    d.polygon([p(8, 16), p(30.5, 12), p(30.5, 50), p(8, 54)], fill="white")
    d.polygon([p(33.5, 12), p(56, 16), p(56, 54), p(33.5, 50)], fill="white")
    if size >= 32:
        for i in range(4):
            y = 22 + 7 * i
            d.line([p(12, y), p(27, y - 2.2)], fill=LINES, width=max(1, round(2 * s)))
    d.ellipse((*p(36.5, 22), *p(53.5, 39)), outline=TEAL, width=max(1, round(2.2 * s)))
    d.rectangle((*p(43.4, 25.5), *p(46.6, 35.5)), fill=TEAL)
    d.rectangle((*p(40, 29), *p(50, 32.2)), fill=TEAL)
    return big.resize((size, size), Image.LANCZOS)


def main():
    for size in SIZES:
        icon(size).save(os.path.join(HERE, f"vrok-{size}.png"), optimize=True)


if __name__ == "__main__":
    main()
