#!/usr/bin/env python3
"""Draws the applet's icons and pictures: BMP and ICO files, standard library only.

Run from anywhere; writes next to this script. The files are committed, so a
build does not need Python; run this again after changing the artwork.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

NAVY = (16, 32, 80)
TEAL = (16, 112, 144)
WHITE = (255, 255, 255)
ICE = (176, 224, 240)

# 5 x 7 capitals, one string per row.
FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'C': ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    'D': ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'Q': ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'X': ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    'Y': ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    'Z': ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    '3': ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    '4': ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    ' ': ["00000"] * 7,
}


def blend(a, b, t):
    return tuple(int(round(x + (y - x) * t)) & ~3 for x, y in zip(a, b))


class Canvas:
    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]

    def put(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def text(self, x, y, s, scale, colour):
        for ch in s:
            for r, row in enumerate(FONT[ch]):
                for c, bit in enumerate(row):
                    if bit == '1':
                        for dy in range(scale):
                            for dx in range(scale):
                                self.put(x + c * scale + dx, y + r * scale + dy, colour)
            x += 6 * scale
        return x

    def ring(self, cx, cy, radius, width, colour, background_at):
        """A 'Q': a ring with a tail, edges blended into the background."""
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                cover = max(0.0, min(1.0, width / 2 + 0.5 - abs(d - radius)))
                # the tail: a thick stroke towards the lower right
                tx, ty = x + 0.5 - cx, y + 0.5 - cy
                along = (tx + ty) / math.sqrt(2)
                across = abs(tx - ty) / math.sqrt(2)
                if radius * 0.45 <= along <= radius * 1.35:
                    cover = max(cover, max(0.0, min(1.0, width / 2 + 0.5 - across)))
                if cover > 0:
                    self.px[y][x] = blend(background_at(x, y), colour, cover)


def write_bmp(name, canvas):
    palette = sorted({c for row in canvas.px for c in row})
    assert len(palette) <= 256, name
    index = {c: i for i, c in enumerate(palette)}
    stride = (canvas.w + 3) & ~3
    rows = b''.join(
        bytes(index[c] for c in canvas.px[y]) + b'\0' * (stride - canvas.w)
        for y in reversed(range(canvas.h)))
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 8, 0, len(rows), 2835, 2835,
                       len(palette), 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + info + pal + rows)


# The sixteen colours every display shows.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
K, NV, GR, SI, GY, BL, CY, WH = 0, 4, 2, 7, 8, 12, 14, 15


def write_ico(name, pixels):
    """pixels: 32 rows of 32 VGA indices, None for transparent."""
    xor = b''
    mask = b''
    for y in reversed(range(32)):
        row = pixels[y]
        xor += bytes(((row[x] or 0) << 4) | (row[x + 1] or 0) for x in range(0, 32, 2))
        bits = 0
        for x in range(32):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack('>I', bits)
    info = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in VGA)
    image = info + pal + xor + mask
    head = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 32, 32, 16, 0, 1, 4,
                                                      len(image), 6 + 16)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + image)


def grid():
    return [[None] * 32 for _ in range(32)]


def rect(g, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            g[y][x] = colour


def ring_icon(g, cx, cy, r, colour, width=1.6):
    for y in range(32):
        for x in range(32):
            tx, ty = x + 0.5 - cx, y + 0.5 - cy
            d = math.hypot(tx, ty)
            along = (tx + ty) / math.sqrt(2)
            across = abs(tx - ty) / math.sqrt(2)
            if abs(d - r) <= width / 2 or (r * 0.5 <= along <= r * 1.4 and across <= width / 2):
                g[y][x] = colour


def monitor(g, x0, y0, w, h, screen):
    rect(g, x0, y0, x0 + w - 1, y0 + h - 1, GY)
    rect(g, x0 + 1, y0 + 1, x0 + w - 2, y0 + h - 2, SI)
    rect(g, x0 + 3, y0 + 3, x0 + w - 4, y0 + h - 4, screen)
    mid = x0 + w // 2
    rect(g, mid - 2, y0 + h, mid + 1, y0 + h + 1, GY)
    rect(g, mid - 5, y0 + h + 2, mid + 4, y0 + h + 3, GY)


def banner(name, width, height, subtitle):
    c = Canvas(width, height, NAVY)
    for y in range(height):
        for x in range(width):
            c.px[y][x] = blend(NAVY, TEAL, x / (width - 1))
    top = (height - 28 - 8 - 14) // 2
    c.text(16, top, "QUORVANE", 4, WHITE)
    c.text(18, top + 36, subtitle, 2, ICE)
    # a thin rule under the name
    for x in range(16, 16 + 8 * 24 - 4):
        c.put(x, top + 31, ICE)
    write_bmp(name, c)


def logo(name, size):
    c = Canvas(size, size, NAVY)
    shade = lambda x, y: blend(NAVY, TEAL, (x + y) / (2 * size))
    for y in range(size):
        for x in range(size):
            c.px[y][x] = shade(x, y)
    c.ring(size / 2 - size * 0.04, size / 2 - size * 0.04, size * 0.3, size * 0.09, WHITE, shade)
    write_bmp(name, c)


def main():
    banner("banner2.bmp", 300, 71, "ZORX SERIES")
    banner("banner3.bmp", 300, 86, "HALCYRA 3D")
    banner("banner4.bmp", 300, 86, "HALCYRA 4")
    logo("logo71.bmp", 71)
    logo("logo86.bmp", 86)

    g = grid()  # the sheet: the maker's ring on a rounded tile
    rect(g, 2, 2, 29, 29, NV)
    for x, y in ((2, 2), (29, 2), (2, 29), (29, 29)):
        g[y][x] = None
    ring_icon(g, 15.5, 15.5, 8.5, WH, 2.6)
    write_ico("sheet.ico", g)

    g = grid()  # the Control Panel item: a display showing the ring
    monitor(g, 2, 3, 28, 22, NV)
    ring_icon(g, 15.5, 13.5, 5.5, WH, 1.8)
    write_ico("item.ico", g)

    g = grid()  # the desktop page: two displays side by side
    monitor(g, 0, 6, 16, 14, BL)
    monitor(g, 16, 6, 16, 14, CY)
    write_ico("desktop.ico", g)

    g = grid()  # the driver options page: a ticked box
    rect(g, 5, 5, 26, 26, K)
    rect(g, 6, 6, 25, 25, WH)
    for i in range(6):
        for t in range(3):
            g[17 + i - t][9 + i] = GR
    for i in range(10):
        for t in range(3):
            g[21 - i - t][14 + i] = GR
    write_ico("options.ico", g)


if __name__ == "__main__":
    main()
