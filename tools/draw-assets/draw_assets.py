#!/usr/bin/env python3
"""Draws the update window's bitmaps into src/app/assets/ (standard library only).

The images are committed; run this again only to change how they look:
    python3 tools/draw-assets/draw_assets.py [output-dir]

What the window relies on:
- background.bmp: 419 x 159, 32 bits per pixel. Its bottom-left pixel is white,
  which makes white the key of the shaped window, so white appears exactly at
  the 52 pixels that round off the four corners and nowhere else.
- bar-back.bmp 346 x 17 and bar-fill.bmp 5 x 15 (24 bits), stretched by the window.
- ok-*.bmp and cancel-*.bmp: 64 x 22 (24 bits) each in the states up, down,
  disabled and focused (up with a dotted frame inside the border, so the
  keyboard focus shows on a button without a caption); olive (128, 128, 0)
  marks the see-through corners.
"""
import os
import struct
import sys

WHITE = (255, 255, 255)
OLIVE = (128, 128, 0)

# How many pixels each of the first rows loses at every corner: 13 per corner.
CORNER_CUT = [5, 3, 2, 1, 1, 1]


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width = width
        self.height = height
        self.px = [[colour for _ in range(width)] for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = colour

    def get(self, x, y):
        return self.px[y][x]

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            old = self.px[y][x]
            self.px[y][x] = tuple(round(o + (c - o) * alpha) for o, c in zip(old, colour))

    def fill(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, colour)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        for y in range(y0, y1):
            t = (y - y0) / max(1, y1 - y0 - 1)
            self.fill(x0, y, x1, y + 1, mix(top, bottom, t))

    def hline(self, x0, x1, y, colour):
        self.fill(x0, y, x1, y + 1, colour)

    def vline(self, x, y0, y1, colour):
        self.fill(x, y0, x + 1, y1, colour)

    def glyph(self, rows, x0, y0, colour, scale=1):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch == "#":
                    self.fill(x0 + dx * scale, y0 + dy * scale, x0 + (dx + 1) * scale,
                              y0 + (dy + 1) * scale, colour)

    def disc(self, cx, cy, radius, colour_at):
        """Anti-aliased disc; colour_at(y) gives the colour of each row."""
        samples = 4
        for y in range(int(cy - radius) - 1, int(cy + radius) + 2):
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2):
                inside = 0
                for sy in range(samples):
                    for sx in range(samples):
                        px = x + (sx + 0.5) / samples - cx
                        py = y + (sy + 0.5) / samples - cy
                        inside += px * px + py * py <= radius * radius
                self.blend(x, y, colour_at(y), inside / samples ** 2)


def mix(a, b, t):
    return tuple(round(p + (q - p) * t) for p, q in zip(a, b))


def write_bmp(path, canvas, bits):
    """Writes a bottom-up BI_RGB bitmap of 24 or 32 bits per pixel."""
    bpp = bits // 8
    stride = (canvas.width * bpp + 3) & ~3
    pixels = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.width):
            r, g, b = canvas.get(x, y)
            row += bytes((b, g, r)) + (b"\xff" if bpp == 4 else b"")
        row += b"\0" * (stride - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, bits, 0, len(pixels),
                       3780, 3780, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


# Pixel glyphs, 12 x 12, drawn for the buttons.
GLYPHS = {
    "geng": [
        ".##########.",
        "......#.....",
        ".#########..",
        ".#....#..#..",
        ".#########..",
        ".#....#..#..",
        ".#########..",
        "...#..#.....",
        "....#.#.....",
        ".....##.....",
        "...##..###..",
        "###.......##",
    ],
    "xin": [
        "..#.......#.",
        "#####..###..",
        ".#.#...#....",
        "#####..#....",
        "..#....#####",
        "#####..#..#.",
        "..#....#..#.",
        ".###...#..#.",
        "#.#.#.#...#.",
        "..#...#...#.",
        "..#.......#.",
        "..#.......#.",
    ],
    "qu": [
        "#####.......",
        ".#.#..######",
        ".###...#...#",
        ".#.#...#..#.",
        ".###....#.#.",
        ".#.#....#.#.",
        ".#.##....#..",
        "####.....#..",
        "...#....#.#.",
        "...#...#...#",
        "...#..#.....",
        "...#........",
    ],
    "xiao": [
        "#....#..#..#",
        ".#....#.#.#.",
        "..........#.",
        "#....######.",
        ".#...#....#.",
        ".....######.",
        ".....#....#.",
        ".#...######.",
        ".#...#....#.",
        "#....#....#.",
        "#...#....##.",
        "............",
    ],
}

# Lower-case letters of the header's logo, 5 x 5.
LOGO = {
    "z": ["#####", "...#.", "..#..", ".#...", "#####"],
    "u": ["#...#", "#...#", "#...#", "#..##", ".##.#"],
    "v": ["#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "o": [".###.", "#...#", "#...#", "#...#", ".###."],
}


def no_white(canvas):
    """Keeps pure white for the cut corners only: it is the window's key colour."""
    for y in range(canvas.height):
        for x in range(canvas.width):
            if canvas.get(x, y) == WHITE:
                canvas.set(x, y, (254, 254, 254))


def corner_cells(width, height):
    cells = set()
    for row, cut in enumerate(CORNER_CUT):
        for dx in range(cut):
            for x in (dx, width - 1 - dx):
                for y in (row, height - 1 - row):
                    cells.add((x, y))
    return cells


def rounded_outline(canvas, cut_cells, colour):
    """Frames the shape: every kept pixel that touches a cut pixel or the edge."""
    for y in range(canvas.height):
        for x in range(canvas.width):
            if (x, y) in cut_cells:
                continue
            edge = x in (0, canvas.width - 1) or y in (0, canvas.height - 1)
            near = any((x + dx, y + dy) in cut_cells for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge or near:
                canvas.set(x, y, colour)


def draw_background():
    w, h = 419, 159
    c = Canvas(w, h)
    header = 34
    c.vgradient(0, 0, w, header, (52, 112, 188), (30, 76, 142))
    c.hline(0, w, header, (22, 58, 112))
    c.vgradient(0, header + 1, w, h, (240, 245, 251), (214, 225, 240))
    # Logo: a small globe and the name.
    c.disc(22, 17, 9.5, lambda y: mix((196, 226, 252), (120, 176, 236), (y - 8) / 18))
    c.disc(22, 17, 5.5, lambda y: (36, 92, 164))
    c.disc(20, 15, 2.0, lambda y: (196, 226, 252))
    x = 40
    for letter in "zuvo":
        c.glyph(LOGO[letter], x, 10, (236, 244, 252), scale=3)
        x += 19
    # A download badge on the left of the body.
    c.disc(44, 58, 17.5, lambda y: mix((96, 170, 238), (34, 100, 186), (y - 40) / 36))
    arrow = (250, 252, 254)
    c.fill(41, 46, 48, 60, arrow)
    for step in range(7):
        c.hline(44 - 7 + step, 44 + 8 - step, 60 + step, arrow)
    c.hline(34, 55, 69, arrow)
    # Groove between the bar area and the buttons.
    c.hline(12, w - 12, 114, (180, 194, 214))
    c.hline(12, w - 12, 115, (250, 252, 254))
    cut = corner_cells(w, h)
    rounded_outline(c, cut, (22, 58, 112))
    no_white(c)
    for x, y in cut:
        c.set(x, y, WHITE)
    return c


def draw_bar_back():
    c = Canvas(346, 17)
    c.vgradient(0, 0, 346, 17, (226, 232, 240), (250, 252, 254))
    c.hline(0, 346, 0, (128, 146, 172))
    c.hline(0, 346, 16, (196, 208, 224))
    c.vline(0, 0, 17, (128, 146, 172))
    c.vline(345, 0, 17, (196, 208, 224))
    no_white(c)
    return c


def draw_bar_fill():
    c = Canvas(5, 15)
    c.vgradient(0, 0, 5, 7, (132, 206, 250), (64, 150, 226))
    c.vgradient(0, 7, 5, 15, (40, 120, 208), (72, 156, 230))
    return c


BUTTON_LOOKS = {
    # face top, face bottom, frame, text, text offset
    "up": ((252, 253, 254), (214, 224, 238), (70, 104, 156), (24, 44, 86), 0),
    "down": ((196, 210, 230), (232, 238, 246), (40, 72, 126), (18, 34, 70), 1),
    "disabled": ((232, 232, 232), (232, 232, 232), (168, 168, 168), (156, 156, 156), 0),
    "focused": ((252, 253, 254), (214, 224, 238), (70, 104, 156), (24, 44, 86), 0),
}


def focus_frame(c, colour):
    """The classic dotted focus rectangle, every other pixel, 2 pixels inside."""
    x0, y0, x1, y1 = 2, 2, c.width - 3, c.height - 3
    for x in range(x0, x1 + 1):
        if (x - x0) % 2 == 0:
            c.set(x, y0, colour)
            c.set(x, y1, colour)
    for y in range(y0, y1 + 1):
        if (y - y0) % 2 == 0:
            c.set(x0, y, colour)
            c.set(x1, y, colour)


def draw_button(glyph_names, look):
    top, bottom, frame, text, offset = BUTTON_LOOKS[look]
    w, h = 64, 22
    c = Canvas(w, h)
    c.vgradient(0, 0, w, h, top, bottom)
    c.hline(1, w - 1, 0, frame)
    c.hline(1, w - 1, h - 1, frame)
    c.vline(0, 1, h - 1, frame)
    c.vline(w - 1, 1, h - 1, frame)
    for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        c.set(x, y, OLIVE)
    x = (w - 26) // 2 + offset
    for name in glyph_names:
        c.glyph(GLYPHS[name], x, 5 + offset, text)
        x += 14
    if look == "focused":
        focus_frame(c, text)
    return c


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "src", "app", "assets")
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "background.bmp"), draw_background(), 32)
    write_bmp(os.path.join(out, "bar-back.bmp"), draw_bar_back(), 24)
    write_bmp(os.path.join(out, "bar-fill.bmp"), draw_bar_fill(), 24)
    for button, glyphs in (("ok", ("geng", "xin")), ("cancel", ("qu", "xiao"))):
        for look in BUTTON_LOOKS:
            write_bmp(os.path.join(out, f"{button}-{look}.bmp"), draw_button(glyphs, look), 24)


if __name__ == "__main__":
    main()
