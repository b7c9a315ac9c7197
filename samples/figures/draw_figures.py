#!/usr/bin/env python3
"""Draws the sample book's pictures, each at 240 x 320 and 480 x 640.

Run by hand after changing a drawing; the PNGs it writes into
samples/book/figures/ are committed, so the build does not need it.
Needs python3-pil and fonts-dejavu-core (scripts/install-deps).
"""
import math
import os

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "book", "figures")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

INK = (30, 30, 30)
GRID = (245, 190, 190)
BLUE = (40, 90, 160)
RED = (190, 40, 40)
GREEN = (40, 130, 70)


def font(size, s, bold=False):
    return ImageFont.truetype(BOLD if bold else FONT, size * s)


def centred(d, y, text, f, s, fill=INK, width=240):
    w = d.textlength(text, font=f)
    d.text(((width * s - w) / 2, y * s), text, font=f, fill=fill)


def rhythm(s):
    """Sinus rhythm above, atrial fibrillation below, on ECG paper."""
    img = Image.new("RGB", (240 * s, 320 * s), "white")
    d = ImageDraw.Draw(img)
    centred(d, 6, "Two rhythm strips", font(14, s, True), s)
    for top, label, irregular in ((40, "Sinus rhythm", False), (180, "Atrial fibrillation", True)):
        d.text((10 * s, top * s), label, font=font(11, s, True), fill=BLUE)
        box = (10, top + 18, 230, top + 118)
        for x in range(box[0], box[2] + 1, 10):
            d.line([(x * s, box[1] * s), (x * s, box[3] * s)], fill=GRID, width=1)
        for y in range(box[1], box[3] + 1, 10):
            d.line([(box[0] * s, y * s), (box[2] * s, y * s)], fill=GRID, width=1)
        base = top + 80
        beats = [12, 60, 108, 156, 204] if not irregular else [14, 44, 98, 122, 181, 214]
        pts = []
        x = box[0]
        rng = 7
        while x <= box[2]:
            y = base
            for b in beats:
                t = x - b
                if not irregular and -20 <= t <= -12:
                    y -= 6 * math.sin(math.pi * (t + 20) / 8)  # P wave
                if -2 <= t <= 0:
                    y += 4 * (t + 2) / 2  # Q
                elif 0 < t <= 3:
                    y -= 46 * t / 3  # R up
                elif 3 < t <= 6:
                    y -= 46 - 56 * (t - 3) / 3  # down to S
                elif 6 < t <= 8:
                    y += 10 - 10 * (t - 6) / 2
                elif 14 <= t <= 28:
                    y -= 10 * math.sin(math.pi * (t - 14) / 14)  # T wave
            if irregular:
                rng = (rng * 1103515245 + 12345) % 2147483648
                y += 2.5 * math.sin(x * 1.7) + ((rng >> 16) % 5 - 2) * 0.6  # fibrillatory baseline
            pts.append((x * s, y * s))
            x += 0.5
        d.line(pts, fill=INK, width=max(1, s + 0))
        note = "Regular R-R, a P wave before each QRS" if not irregular else "Irregular R-R, no P waves"
        d.text((10 * s, (box[3] + 4) * s), note, font=font(10, s), fill=INK)
    return img


def nines(s):
    """Adult body areas by the rule of nines, front view."""
    img = Image.new("RGB", (240 * s, 320 * s), "white")
    d = ImageDraw.Draw(img)
    centred(d, 6, "Burn area: rule of nines", font(14, s, True), s)
    centred(d, 26, "adult, front and back together", font(10, s), s)
    fill = (250, 225, 200)
    def part(box, label, colour=fill):
        x0, y0, x1, y1 = [v * s for v in box]
        d.rounded_rectangle((x0, y0, x1, y1), radius=6 * s, fill=colour, outline=INK, width=s)
        f = font(11, s, True)
        w = d.textlength(label, font=f)
        d.text(((x0 + x1 - w) / 2, (y0 + y1) / 2 - 7 * s), label, font=f, fill=RED)
    d.ellipse((100 * s, 46 * s, 140 * s, 86 * s), fill=fill, outline=INK, width=s)
    d.text((106 * s, 58 * s), "9%", font=font(11, s, True), fill=RED)
    part((92, 90, 148, 196), "36%")
    part((58, 92, 88, 190), "9%")
    part((152, 92, 182, 190), "9%")
    part((92, 200, 118, 300), "18%")
    part((122, 200, 148, 300), "18%")
    d.text((152 * s, 200 * s), "perineum 1%", font=font(10, s), fill=INK)
    d.text((6 * s, 300 * s), "Head 9, each arm 9, trunk 36,", font=font(9, s), fill=INK)
    d.text((6 * s, 310 * s), "each leg 18, perineum 1 (per cent)", font=font(9, s), fill=INK)
    return img


def oxygen(s):
    """Target saturation bands as a bar chart."""
    img = Image.new("RGB", (240 * s, 320 * s), "white")
    d = ImageDraw.Draw(img)
    centred(d, 6, "Oxygen saturation targets", font(14, s, True), s)
    left, right, top, bottom = 40, 225, 40, 250
    def ypos(v):
        return bottom - (v - 80) * (bottom - top) / 20
    for v in range(80, 101, 5):
        y = ypos(v)
        d.line([(left * s, y * s), (right * s, y * s)], fill=(220, 220, 220), width=s)
        d.text((8 * s, (y - 7) * s), f"{v}%", font=font(10, s), fill=INK)
    bars = (("Most adults", 94, 98, BLUE), ("At risk of CO2\nretention", 88, 92, GREEN))
    for i, (label, lo, hi, colour) in enumerate(bars):
        x0 = 60 + i * 85
        d.rectangle((x0 * s, ypos(hi) * s, (x0 + 60) * s, ypos(lo) * s), fill=colour)
        d.text(((x0 + 8) * s, (ypos(hi) - 16) * s), f"{lo}-{hi}", font=font(11, s, True), fill=colour)
        d.multiline_text((x0 * s, (bottom + 8) * s), label, font=font(10, s), fill=INK)
    d.line([(left * s, top * s), (left * s, bottom * s)], fill=INK, width=s)
    d.text((8 * s, 292 * s), "Sample figure, not clinical advice", font=font(9, s), fill=RED)
    return img


def splash(s):
    # The splash window is the screen less its title strip and menu bar, so
    # everything stays in the top 270 pixels.
    img = Image.new("RGB", (240 * s, 320 * s), (28, 70, 120))
    d = ImageDraw.Draw(img)
    # An open book with a teal plus in a ring on its right-hand page (not the
    # red cross on white, which is a protected emblem).
    teal = (0, 128, 118)
    d.polygon([(30 * s, 30 * s), (118 * s, 22 * s), (118 * s, 138 * s), (30 * s, 146 * s)], fill="white")
    d.polygon([(122 * s, 22 * s), (210 * s, 30 * s), (210 * s, 146 * s), (122 * s, 138 * s)], fill="white")
    for i in range(5):
        y = 50 + 18 * i
        d.line([(44 * s, y * s), (104 * s, (y - 5) * s)], fill=(170, 180, 195), width=3 * s)
    d.ellipse((136 * s, 52 * s, 196 * s, 112 * s), outline=teal, width=5 * s)
    d.rectangle((160 * s, 64 * s, 172 * s, 100 * s), fill=teal)
    d.rectangle((148 * s, 76 * s, 184 * s, 88 * s), fill=teal)
    centred(d, 160, "Tarvessa", font(26, s, True), s, fill="white")
    centred(d, 196, "A sample clinical handbook", font(12, s), s, fill="white")
    centred(d, 214, "for the Vrok reader", font(12, s), s, fill="white")
    centred(d, 240, "Not clinical advice", font(10, s), s, fill=(250, 210, 120))
    return img


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, draw in (("rhythm", rhythm), ("nines", nines), ("oxygen", oxygen), ("splash", splash)):
        for s in (1, 2):
            draw(s).save(os.path.join(OUT, f"{name}-{240 * s}.png"), optimize=True)


if __name__ == "__main__":
    main()
