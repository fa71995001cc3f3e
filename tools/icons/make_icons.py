#!/usr/bin/env python3
"""Draws Veltaro's icons and writes them as .ico files into res/icons/.

Each icon holds a 16 x 16 and a 32 x 32 image: a 32-bit BGRA DIB with a
1-bit AND mask, written byte by byte (standard library only, so anyone can
re-run it). The shapes are rasterised with supersampling for smooth edges.

The 16 x 16 images are drawn on the pixel grid with colours close to the 16
standard VGA colours: the tree's image list is made with ILC_MASK and the
default colour depth, which is 4 bits per pixel, and its copy keeps only
the colour and the AND mask. What is shown there is what --preview shows
as "tree".

Usage: make_icons.py [--out DIR] [--preview DIR]
"""

import argparse
import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 5  # samples per pixel along each axis

# ---------------------------------------------------------------- colours

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
SILVER = (192, 192, 192)
GRAY = (128, 128, 128)
DARK_GRAY = (60, 60, 60)
NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
OCEAN = (20, 90, 220)
SKY = (120, 190, 255)
GREEN = (0, 128, 0)
SIGNAL = (0, 165, 0)
LAND = (40, 160, 60)
RED = (230, 20, 20)
DARK_RED = (128, 0, 0)
YELLOW = (255, 220, 0)
SCREEN = (200, 235, 200)
SCREEN_OFF = (200, 200, 200)
PAPER = (255, 255, 255)
PAGE_EDGE = (80, 80, 80)

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# ---------------------------------------------------------------- shapes
# A shape is a predicate on a point (x, y) in pixel units: pixel (i, j)
# covers [i, i + 1) x [j, j + 1), y grows downwards.


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def ellipse_ring(cx, cy, rx, ry, w):
    outer = ellipse(cx, cy, rx + w / 2, ry + w / 2)
    if rx - w / 2 <= 0 or ry - w / 2 <= 0:
        return outer
    inner = ellipse(cx, cy, rx - w / 2, ry - w / 2)
    return lambda x, y: outer(x, y) and not inner(x, y)


def ring(cx, cy, r, w):
    lo, hi = max(r - w / 2, 0.0) ** 2, (r + w / 2) ** 2
    return lambda x, y: lo <= (x - cx) ** 2 + (y - cy) ** 2 <= hi


def arc(cx, cy, r, w, a0, a1):
    """Ring between angles a0 and a1 (degrees, 0 = right, negative = up)."""
    band = ring(cx, cy, r, w)

    def inside(x, y):
        if not band(x, y):
            return False
        a = math.degrees(math.atan2(y - cy, x - cx))
        return a0 <= a <= a1
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def segment(xa, ya, xb, yb, w):
    """A stroke of width w with round ends."""
    vx, vy = xb - xa, yb - ya
    length2 = vx * vx + vy * vy or 1e-9

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - xa) * vx + (y - ya) * vy) / length2))
        px, py = xa + t * vx - x, ya + t * vy - y
        return px * px + py * py <= w * w / 4
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def either(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)

# ---------------------------------------------------------------- canvas


class Canvas:
    """Straight (not premultiplied) RGBA in floats, composited with "over"."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def fill(self, shape, colour, opacity=1.0, crisp=False):
        """crisp: sample pixel centres only, for hard pixel-grid detail."""
        n = 1 if crisp else SUPERSAMPLE
        offsets = [(k + 0.5) / n for k in range(n)]
        for j in range(self.size):
            for i in range(self.size):
                hits = sum(1 for oy in offsets for ox in offsets if shape(i + ox, j + oy))
                if hits:
                    self._over(j * self.size + i, colour, opacity * hits / (n * n))

    def _over(self, index, colour, alpha):
        dst = self.pixels[index]
        out_a = alpha + dst[3] * (1.0 - alpha)
        for c in range(3):
            dst[c] = (colour[c] * alpha + dst[c] * dst[3] * (1.0 - alpha)) / out_a
        dst[3] = out_a

    def rgba(self):
        """Rows top to bottom of (r, g, b, a) byte tuples."""
        out = []
        for j in range(self.size):
            row = []
            for i in range(self.size):
                r, g, b, a = self.pixels[j * self.size + i]
                alpha = int(round(a * 255))
                if alpha == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append((int(round(r)), int(round(g)), int(round(b)), alpha))
            out.append(row)
        return out

# ---------------------------------------------------------------- icons


def draw_main(c):
    """The application: a globe with a position pin."""
    s = c.size
    if s == 16:
        globe = disc(6.5, 9.5, 6.0)
        c.fill(globe, OCEAN)
        c.fill(both(globe, polygon([(1, 6), (5, 5), (6, 8), (4, 10), (4, 13), (1, 11)])), LAND, crisp=True)
        c.fill(both(globe, polygon([(8, 10), (11, 9), (12, 12), (9, 15)])), LAND, crisp=True)
        c.fill(both(globe, rect(0, 9, 16, 10)), SKY, crisp=True)
        c.fill(both(globe, ellipse_ring(6.5, 9.5, 2.6, 6.0, 0.9)), SKY, crisp=True)
        c.fill(ring(6.5, 9.5, 6.0, 1.0), NAVY)
        pin = either(disc(12.0, 5.0, 3.6), polygon([(8.8, 6.4), (15.2, 6.4), (12.0, 13.0)]))
        c.fill(pin, DARK_RED)
        c.fill(either(disc(12.0, 5.0, 2.6), polygon([(9.8, 6.4), (14.2, 6.4), (12.0, 11.0)])), RED)
        c.fill(rect(11, 4, 13, 6), WHITE, crisp=True)
    else:
        globe = disc(13.5, 18.5, 12.0)
        c.fill(globe, OCEAN)
        c.fill(both(globe, polygon([(4, 11), (9, 9), (12, 12), (11, 16), (8, 19), (9, 25), (5, 23), (3, 17)])), LAND)
        c.fill(both(globe, polygon([(15, 17), (21, 14), (24, 19), (22, 25), (17, 28), (16, 23)])), LAND)
        grid = either(
            ellipse_ring(13.5, 18.5, 5.5, 12.0, 1.2),
            ellipse_ring(13.5, 18.5, 12.0, 4.0, 1.2),
            segment(13.5, 6.5, 13.5, 30.5, 1.2),
        )
        c.fill(both(globe, grid), SKY, 0.85)
        c.fill(both(globe, disc(9.5, 13.5, 5.0)), WHITE, 0.18)
        c.fill(ring(13.5, 18.5, 12.0, 1.6), NAVY)
        pin = either(disc(23.5, 8.5, 7.0), polygon([(17.0, 11.0), (30.0, 11.0), (23.5, 24.0)]))
        c.fill(pin, DARK_RED)
        c.fill(either(disc(23.5, 8.5, 5.8), polygon([(18.6, 11.0), (28.4, 11.0), (23.5, 21.4)])), RED)
        c.fill(disc(21.8, 6.6, 2.0), WHITE, 0.35)
        c.fill(disc(23.5, 8.5, 2.4), WHITE)


def draw_receiver(c, live):
    """A handheld receiver, antenna up on the right; live: dark with green waves, else greyed."""
    s = c.size
    body = DARK_GRAY if live else GRAY
    edge = BLACK if live else (96, 96, 96)
    screen = SCREEN if live else SCREEN_OFF
    if s == 16:
        c.fill(rect(7, 2, 9, 6), edge, crisp=True)  # antenna
        c.fill(rounded_rect(1, 5, 11, 16, 1.5), edge)
        c.fill(rect(2, 6, 10, 15), body, crisp=True)
        c.fill(rect(3, 7, 9, 11), screen, crisp=True)
        if live:
            c.fill(rect(4, 9, 6, 10), GREEN, crisp=True)  # track on the map
            c.fill(rect(6, 8, 8, 9), GREEN, crisp=True)
            c.fill(rect(7, 8, 8, 9), RED, crisp=True)
        for x in (3, 5, 7):
            c.fill(rect(x, 12, x + 1, 14), SILVER, crisp=True)
        c.fill(rect(8, 12, 9, 14), SILVER, crisp=True)
        if live:
            for pixel in ((10, 2), (11, 3), (11, 4), (10, 5),
                          (12, 0), (13, 1), (14, 2), (14, 3), (14, 4), (13, 5), (12, 6)):
                c.fill(rect(pixel[0], pixel[1], pixel[0] + 1, pixel[1] + 1), SIGNAL, crisp=True)
    else:
        c.fill(rounded_rect(13, 4, 17, 12, 1.2), edge)  # antenna
        c.fill(rounded_rect(1, 10, 20, 32, 3.0), edge)
        c.fill(rounded_rect(2.5, 11.5, 18.5, 30.5, 2.0), body)
        c.fill(rect(4, 13, 17, 22), edge)
        c.fill(rect(5, 14, 16, 21), screen)
        if live:
            c.fill(polygon_stroke([(6.5, 19.5), (9.0, 17.5), (11.0, 18.5), (13.5, 16.5)], 1.3), GREEN)
            c.fill(disc(13.5, 16.5, 1.7), RED)
        else:
            c.fill(rect(6, 16, 15, 17), SILVER)
            c.fill(rect(6, 18, 12, 19), SILVER)
        for x in (5, 9):
            c.fill(rect(x, 24, x + 3, 26), SILVER)
            c.fill(rect(x, 27, x + 3, 29), SILVER)
        c.fill(disc(14.5, 26.5, 2.0), SILVER)
        if live:
            for r in (5.0, 9.5, 14.0):
                c.fill(arc(15.0, 7.0, r, 2.0, -42, 38), SIGNAL)


def polygon_stroke(points, w):
    return either(*(segment(*points[k], *points[k + 1], w) for k in range(len(points) - 1)))


def draw_live_device(c):
    draw_receiver(c, live=True)


def draw_offline_device(c):
    """The receiver greyed, with a page of recorded data in front of it."""
    draw_receiver(c, live=False)
    s = c.size
    if s == 16:
        page = polygon([(8, 6), (13, 6), (16, 9), (16, 16), (8, 16)])
        c.fill(page, PAGE_EDGE)
        c.fill(polygon([(9, 7), (12.6, 7), (15, 9.4), (15, 15), (9, 15)]), PAPER)
        c.fill(polygon([(12, 7), (15, 10), (12, 10)]), SILVER)
        c.fill(rect(10, 11, 14, 12), NAVY)
        c.fill(rect(10, 13, 14, 14), NAVY)
    else:
        page = polygon([(15, 12), (25, 12), (31, 18), (31, 32), (15, 32)])
        c.fill(page, PAGE_EDGE)
        c.fill(polygon([(16.2, 13.2), (24.5, 13.2), (29.8, 18.5), (29.8, 30.8), (16.2, 30.8)]), PAPER)
        c.fill(polygon([(24, 13), (30, 19), (24, 19)]), SILVER)
        c.fill(segment(24.2, 13.2, 24.2, 19.0, 1.0), GRAY)
        c.fill(segment(24.2, 19.0, 30.0, 19.0, 1.0), GRAY)
        c.fill(rect(18, 17, 22, 18), NAVY)
        for y in (21, 24, 27):
            c.fill(rect(18, y, 28, y + 1), NAVY)


def draw_view(c):
    """A view page: a framed chart of signal bars."""
    s = c.size
    if s == 16:
        c.fill(rect(0, 1, 16, 15), DARK_GRAY)
        c.fill(rect(1, 2, 15, 14), WHITE)
        c.fill(rect(1, 2, 15, 4), NAVY)  # title bar
        bars = [(2, 9, GREEN), (5, 6, GREEN), (8, 10, BLUE), (11, 7, GREEN)]
        for x, top, colour in bars:
            c.fill(rect(x, top, x + 2, 13), colour)
        c.fill(rect(1, 13, 15, 14), GRAY)
    else:
        c.fill(rounded_rect(1, 3, 31, 29, 1.5), DARK_GRAY)
        c.fill(rect(2, 4, 30, 28), WHITE)
        c.fill(rect(2, 4, 30, 8), (30, 60, 160))  # title bar
        c.fill(rect(25, 5, 28, 7), WHITE, 0.8)
        for y in (12, 17, 22):
            c.fill(rect(4, y, 28, y + 1), (215, 215, 215))
        bars = [(5, 17, LAND), (10, 11, LAND), (15, 19, (40, 110, 220)), (20, 13, LAND)]
        for x, top, colour in bars:
            c.fill(rect(x, top, x + 4, 25), colour)
            c.fill(rect(x, top, x + 1, 25), WHITE, 0.3)
        c.fill(rect(3, 25, 29, 26), DARK_GRAY)


ICONS = [
    ("main.ico", draw_main),
    ("live_device.ico", draw_live_device),
    ("offline_device.ico", draw_offline_device),
    ("view.ico", draw_view),
]
SIZES = (16, 32)

# ---------------------------------------------------------------- .ico writing


def dib_image(pixels):
    """BITMAPINFOHEADER, BGRA rows bottom-up, then the AND mask (1 = transparent)."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask = bytearray()
    row_bytes = ((size + 31) // 32) * 4
    for row in reversed(pixels):
        bits = bytearray(row_bytes)
        for i, (_, _, _, a) in enumerate(row):
            if a < 128:  # consumers without alpha see only this
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def ico_file(images):
    """ICONDIR, one ICONDIRENTRY per image, then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for pixels in images:
        blob = dib_image(pixels)
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)

# ---------------------------------------------------------------- previews


def png_file(rows):
    """RGB rows to a PNG."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def nearest_vga(r, g, b):
    return min(VGA16, key=lambda p: (p[0] - r) ** 2 + (p[1] - g) ** 2 + (p[2] - b) ** 2)


def composite(pixels, background, tree):
    """One image as shown: alpha-blended, or as the 4-bit masked tree copy."""
    out = []
    for row in pixels:
        line = []
        for r, g, b, a in row:
            if tree:
                line.append(background if a < 128 else nearest_vga(r, g, b))
            else:
                f = a / 255
                line.append(tuple(int(round(v * f + bg * (1 - f))) for v, bg in zip((r, g, b), background)))
        out.append(line)
    return out


def write_preview(directory, rendered):
    """A sheet per icon: 16 and 32 on white, grey and as the tree shows them, zoomed."""
    os.makedirs(directory, exist_ok=True)
    zoom = 8
    for name, images in rendered:
        panels = []
        for pixels in images:
            for background, tree in ((WHITE, False), ((212, 208, 200), False), (WHITE, True)):
                if tree and len(pixels) != 16:
                    continue
                panels.append(composite(pixels, background, tree))
        height = max(len(p) for p in panels) * zoom
        sheet = []
        for y in range(height):
            line = []
            for panel in panels:
                py = y // zoom
                for x in range(len(panel) * zoom):
                    line.append(panel[py][x // zoom] if py < len(panel) else (255, 255, 255))
                line.extend([(90, 90, 90)] * 4)
            sheet.append(line)
        # actual size strip below the zoomed panels
        actual = []
        for y in range(40):
            line = [(255, 255, 255)] * len(sheet[0])
            x0 = 4
            for panel in panels:
                if y < len(panel):
                    for x, px in enumerate(panel[y]):
                        line[x0 + x] = px
                x0 += len(panel) + 8
            actual.append(line)
        base = os.path.splitext(name)[0]
        with open(os.path.join(directory, base + ".png"), "wb") as f:
            f.write(png_file(sheet + actual))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Draw Veltaro's icons.")
    parser.add_argument("--out", default=os.path.join(here, "..", "..", "res", "icons"))
    parser.add_argument("--preview", help="also write zoomed PNG previews into this folder")
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    rendered = []
    for name, draw in ICONS:
        images = []
        for size in SIZES:
            canvas = Canvas(size)
            draw(canvas)
            images.append(canvas.rgba())
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(ico_file(images))
        rendered.append((name, images))
    if args.preview:
        write_preview(args.preview, rendered)
    return 0


if __name__ == "__main__":
    sys.exit(main())
