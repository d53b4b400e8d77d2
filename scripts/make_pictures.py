#!/usr/bin/env python3
"""Draws the pictures, cursors and icon of Setup into setup/res/.

    python3 scripts/make_pictures.py [--png DIR]

The files are committed; the build does not run this script. Plain Python 3, no imaging library: a small
canvas with anti-aliased shapes and a built-in pixel font, a median-cut palette for the 8-bit bitmaps
(uncompressed BI_RGB), and the 16-colour VGA palette for the cursors and the icon. The output is the same on
every run. With --png it also writes PNG previews into DIR (not committed), to look at them.
"""

import math
import os
import struct
import sys
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "setup", "res")

# ----------------------------------------------------------------------------------------------------------
# The pixel font: 5 columns by 7 rows, two more rows for descenders. Glyphs are trimmed to their inked
# columns, so the text is proportional.

FONT = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "F": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "],
    "G": [" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": ["###", " # ", " # ", " # ", " # ", " # ", "###"],
    "J": ["  ###", "   # ", "   # ", "   # ", "#  # ", "#  # ", " ##  "],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "W": ["#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "],
    "X": ["#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
    "Z": ["#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"],
    "a": ["     ", "     ", " ### ", "    #", " ####", "#   #", " ####"],
    "b": ["#    ", "#    ", "#### ", "#   #", "#   #", "#   #", "#### "],
    "c": ["     ", "     ", " ### ", "#    ", "#    ", "#    ", " ### "],
    "d": ["    #", "    #", " ####", "#   #", "#   #", "#   #", " ####"],
    "e": ["     ", "     ", " ### ", "#   #", "#####", "#    ", " ### "],
    "f": ["  ##", " #  ", " #  ", "### ", " #  ", " #  ", " #  "],
    "g": ["     ", "     ", " ####", "#   #", "#   #", "#   #", " ####", "    #", " ### "],
    "h": ["#    ", "#    ", "#### ", "#   #", "#   #", "#   #", "#   #"],
    "i": [" # ", "   ", "## ", " # ", " # ", " # ", "###"],
    "j": ["   #", "    ", "  ##", "   #", "   #", "   #", "   #", "#  #", " ## "],
    "k": ["#    ", "#    ", "#   #", "#  # ", "###  ", "#  # ", "#   #"],
    "l": ["## ", " # ", " # ", " # ", " # ", " # ", "###"],
    "m": ["     ", "     ", "## # ", "# # #", "# # #", "# # #", "# # #"],
    "n": ["     ", "     ", "#### ", "#   #", "#   #", "#   #", "#   #"],
    "o": ["     ", "     ", " ### ", "#   #", "#   #", "#   #", " ### "],
    "p": ["     ", "     ", "#### ", "#   #", "#   #", "#   #", "#### ", "#    ", "#    "],
    "q": ["     ", "     ", " ####", "#   #", "#   #", "#   #", " ####", "    #", "    #"],
    "r": ["     ", "     ", "# ## ", "##  #", "#    ", "#    ", "#    "],
    "s": ["     ", "     ", " ####", "#    ", " ### ", "    #", "#### "],
    "t": [" #   ", " #   ", "#### ", " #   ", " #   ", " #  #", "  ## "],
    "u": ["     ", "     ", "#   #", "#   #", "#   #", "#  ##", " ## #"],
    "v": ["     ", "     ", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "w": ["     ", "     ", "#   #", "#   #", "# # #", "# # #", " # # "],
    "x": ["     ", "     ", "#   #", " # # ", "  #  ", " # # ", "#   #"],
    "y": ["     ", "     ", "#   #", "#   #", "#   #", "#   #", " ####", "    #", " ### "],
    "z": ["     ", "     ", "#####", "   # ", "  #  ", " #   ", "#####"],
    "0": [" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "],
    "1": ["  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "2": [" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"],
    "3": ["#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "],
    "4": ["   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "],
    "5": ["#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "],
    "6": ["  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "],
    "7": ["#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "],
    "8": [" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "],
    "9": [" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "],
    ".": [" ", " ", " ", " ", " ", " ", "#"],
    ",": ["  ", "  ", "  ", "  ", "  ", " #", " #", "# "],
    ":": [" ", " ", "#", " ", " ", "#", " "],
    "-": ["    ", "    ", "    ", "####", "    ", "    ", "    "],
    "(": ["  #", " # ", "#  ", "#  ", "#  ", " # ", "  #"],
    ")": ["#  ", " # ", "  #", "  #", "  #", " # ", "#  "],
}
SPACE_WIDTH = 3


def glyph_columns(char):
    """The inked cells of a glyph as (column, row) pairs, and its advance width."""
    if char == " ":
        return [], SPACE_WIDTH
    rows = FONT[char]
    cells = [(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c == "#"]
    left = min(x for x, _ in cells)
    right = max(x for x, _ in cells)
    return [(x - left, y) for x, y in cells], right - left + 1


def text_width(text, scale):
    width = 0
    for char in text:
        width += (glyph_columns(char)[1] + 1) * scale
    return width - scale if text else 0


# ----------------------------------------------------------------------------------------------------------
# Colours and the canvas.


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def rounded_rect_distance(px, py, x0, y0, x1, y1, radius):
    """Signed distance of a point to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0, (y1 - y0) / 2.0
    qx = abs(px - cx) - hx + radius
    qy = abs(py - cy) - hy + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width = width
        self.height = height
        self.px = [tuple(float(c) for c in colour)] * (width * height)

    def blend(self, x, y, colour, alpha):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0.0:
            i = y * self.width + x
            self.px[i] = colour if alpha >= 1.0 else mix(self.px[i], colour, alpha)

    def shade(self, x0, y0, x1, y1, paint):
        """Calls paint(x, y, old colour) -> (colour, alpha) for every pixel of the box."""
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.width, int(math.ceil(x1)))):
                colour, alpha = paint(x + 0.5, y + 0.5)
                self.blend(x, y, colour, alpha)

    def vertical_gradient(self, stops, x0=0, y0=0, x1=None, y1=None):
        """Fills a box with colours between stops [(t, colour), ...], t from 0 at the top to 1 at the bottom."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        for y in range(y0, y1):
            t = (y - y0 + 0.5) / max(1, y1 - y0)
            colour = gradient_at(stops, t)
            for x in range(x0, x1):
                self.px[y * self.width + x] = colour

    def rounded_rect(self, x0, y0, x1, y1, radius, fill, alpha=1.0):
        """fill: a colour, or a function (x, y) -> colour."""
        paint = fill if callable(fill) else (lambda x, y: fill)

        def pixel(x, y):
            coverage = clamp01(0.5 - rounded_rect_distance(x, y, x0, y0, x1, y1, radius))
            return paint(x, y), coverage * alpha

        self.shade(x0 - 1, y0 - 1, x1 + 1, y1 + 1, pixel)

    def rounded_outline(self, x0, y0, x1, y1, radius, colour, width=1.0, alpha=1.0):
        def pixel(x, y):
            d = abs(rounded_rect_distance(x, y, x0, y0, x1, y1, radius) + width / 2.0)
            return colour, clamp01(width / 2.0 + 0.5 - d) * alpha

        self.shade(x0 - 1, y0 - 1, x1 + 1, y1 + 1, pixel)

    def circle(self, cx, cy, radius, fill, alpha=1.0):
        paint = fill if callable(fill) else (lambda x, y: fill)

        def pixel(x, y):
            coverage = clamp01(0.5 - (math.hypot(x - cx, y - cy) - radius))
            return paint(x, y), coverage * alpha

        self.shade(cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1, pixel)

    def arc(self, cx, cy, radius, width, start_deg, end_deg, colour, alpha=1.0):
        """A ring segment; angles in degrees, 0 to the right, counter-clockwise with y up."""

        def pixel(x, y):
            angle = math.degrees(math.atan2(cy - y, x - cx))
            if not start_deg <= angle <= end_deg:
                return colour, 0.0
            d = abs(math.hypot(x - cx, y - cy) - radius)
            return colour, clamp01(width / 2.0 + 0.5 - d) * alpha

        r = radius + width
        self.shade(cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1, pixel)

    def line(self, x0, y0, x1, y1, colour, width=1.0, alpha=1.0):
        length = math.hypot(x1 - x0, y1 - y0) or 1.0

        def pixel(x, y):
            t = clamp01(((x - x0) * (x1 - x0) + (y - y0) * (y1 - y0)) / (length * length))
            d = math.hypot(x - (x0 + t * (x1 - x0)), y - (y0 + t * (y1 - y0)))
            return colour, clamp01(width / 2.0 + 0.5 - d) * alpha

        pad = width + 1
        self.shade(min(x0, x1) - pad, min(y0, y1) - pad, max(x0, x1) + pad, max(y0, y1) + pad, pixel)

    def text(self, x, y, text, scale, colour, shadow=None, bold=False):
        """Pixel text with its top-left at x, y; shadow: a colour drawn one scaled pixel down and right."""
        if shadow is not None:
            offset = max(1, scale // 2)
            self.text(x + offset, y + offset, text, scale, shadow, None, bold)
        pen = x
        for char in text:
            cells, width = glyph_columns(char)
            for cx, cy in cells:
                for dy in range(scale):
                    for dx in range(scale + (1 if bold else 0)):
                        self.blend(pen + cx * scale + dx, y + cy * scale + dy, colour, 1.0)
            pen += (width + 1) * scale

    def crop(self, x, y, width, height):
        part = Canvas(width, height)
        for row in range(height):
            start = (y + row) * self.width + x
            part.px[row * width : (row + 1) * width] = self.px[start : start + width]
        return part


def gradient_at(stops, t):
    if t <= stops[0][0]:
        return tuple(float(c) for c in stops[0][1])
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0))
    return tuple(float(c) for c in stops[-1][1])


# ----------------------------------------------------------------------------------------------------------
# 8-bit bitmaps: a median-cut palette over a 5-bit-per-channel histogram.


def quantize(pixels, colours=256):
    exact = {}
    for p in pixels:
        exact[p] = exact.get(p, 0) + 1
    if len(exact) <= colours:
        palette = sorted(exact)
        index = {c: i for i, c in enumerate(palette)}
        return palette, [index[p] for p in pixels]

    bins = {}  # 5-bit key -> [count, sum r, sum g, sum b]
    for (r, g, b), n in exact.items():
        key = (r >> 3, g >> 3, b >> 3)
        entry = bins.setdefault(key, [0, 0, 0, 0])
        entry[0] += n
        entry[1] += r * n
        entry[2] += g * n
        entry[3] += b * n
    boxes = [sorted(bins)]
    while len(boxes) < colours:
        # Split the box with the most pixels along its widest channel, at the weighted median.
        candidates = [b for b in boxes if len(b) > 1]
        if not candidates:
            break
        box = max(candidates, key=lambda b: sum(bins[k][0] for k in b))
        boxes.remove(box)
        spans = [max(k[c] for k in box) - min(k[c] for k in box) for c in range(3)]
        channel = spans.index(max(spans))
        box.sort(key=lambda k: (k[channel], k))
        total = sum(bins[k][0] for k in box)
        running, cut = 0, 1
        for i, k in enumerate(box):
            running += bins[k][0]
            if running * 2 >= total:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        n = sum(bins[k][0] for k in box)
        palette.append(tuple(int(round(sum(bins[k][c + 1] for k in box) / n)) for c in range(3)))
    palette = sorted(set(palette))

    nearest = {}
    for (r, g, b) in exact:
        key = (r >> 3, g >> 3, b >> 3)
        if key not in nearest:
            cr, cg, cb = (key[0] << 3) + 4, (key[1] << 3) + 4, (key[2] << 3) + 4
            nearest[key] = min(
                range(len(palette)),
                key=lambda i: (palette[i][0] - cr) ** 2 * 3 + (palette[i][1] - cg) ** 2 * 4 + (palette[i][2] - cb) ** 2 * 2,
            )
    return palette, [nearest[(r >> 3, g >> 3, b >> 3)] for (r, g, b) in pixels]


def to_bytes(canvas):
    return [tuple(int(max(0, min(255, round(c)))) for c in p) for p in canvas.px]


def bmp8(canvas):
    """A Windows 3 bitmap file, 8 bits per pixel, BI_RGB, bottom-up, with a palette of the used colours."""
    palette, indices = quantize(to_bytes(canvas))
    stride = (canvas.width + 3) & ~3
    rows = []
    for y in reversed(range(canvas.height)):
        row = bytes(indices[y * canvas.width : (y + 1) * canvas.width])
        rows.append(row + b"\0" * (stride - canvas.width))
    bits = b"".join(rows)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 0, len(bits), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + table + bits


# ----------------------------------------------------------------------------------------------------------
# Cursors and the icon: 32 x 32, 4 bits per pixel with the VGA palette and an AND mask.

VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
    (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = None


def icon_image(cells):
    """The DIB of one 32 x 32 image of an icon or cursor: header (height doubled), palette, colours, mask."""
    size = 32
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):
        row = cells[y]
        nibbles = [0 if c is CLEAR else c for c in row]
        xor_rows.append(bytes((nibbles[x] << 4) | nibbles[x + 1] for x in range(0, size, 2)))
        mask = 0
        for x in range(size):
            mask = (mask << 1) | (1 if row[x] is CLEAR else 0)
        and_rows.append(struct.pack(">I", mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(bits), 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in VGA)
    return info + table + bits


def cursor_file(cells, hot_x, hot_y):
    image = icon_image(cells)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, hot_x, hot_y, len(image), 6 + 16)
    return header + entry + image


def icon_file(cells):
    image = icon_image(cells)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    return header + entry + image


def outlined(mask, inside=WHITE, edge=BLACK):
    """Colours a shape: its border pixels (next to the outside) in edge, the rest in inside."""
    cells = [[CLEAR] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            if not mask[y][x]:
                continue
            border = any(
                not (0 <= x + dx < 32 and 0 <= y + dy < 32 and mask[y + dy][x + dx])
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))
            )
            cells[y][x] = edge if border else inside
    return cells


def box_mask(mask, x0, y0, x1, y1, cut_corners=False):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            corner = (x in (x0, x1)) and (y in (y0, y1))
            if not (cut_corners and corner):
                mask[y][x] = True


def hand_cursor():
    """A pointing hand; the tip of the index finger, at 12,1, is the hot spot."""
    mask = [[False] * 32 for _ in range(32)]
    box_mask(mask, 10, 1, 14, 16, cut_corners=True)  # index finger
    box_mask(mask, 14, 7, 17, 16, cut_corners=True)  # middle finger
    box_mask(mask, 17, 8, 20, 16, cut_corners=True)  # ring finger
    box_mask(mask, 20, 9, 23, 17, cut_corners=True)  # little finger
    box_mask(mask, 9, 14, 23, 23, cut_corners=True)  # palm
    for i in range(6):  # thumb, reaching up and out to the left
        box_mask(mask, 5 + i // 2, 11 + i, 10, 12 + i)
    box_mask(mask, 11, 23, 22, 27)  # cuff
    cells = outlined(mask)
    for x, y0, y1 in ((14, 8, 13), (17, 9, 13), (20, 10, 14)):  # gaps between the folded fingers
        for y in range(y0, y1 + 1):
            cells[y][x] = BLACK
    for x in range(12, 22):
        cells[24][x] = BLACK  # the cuff's seam
        cells[25][x] = SILVER
        cells[26][x] = SILVER
    return cells


def busy_cursor():
    """The arrow with an hourglass beside it; the arrow's tip, at 6,7, is the hot spot."""
    mask = [[False] * 32 for _ in range(32)]
    tip_x, tip_y = 6, 7
    for row in range(11):  # the head, widening by a pixel a row
        for x in range(row + 1):
            mask[tip_y + row][tip_x + x] = True
    for x in range(7):  # the head's lower edge, up to the notch
        mask[tip_y + 11][tip_x + x] = True
    for row in range(11, 18):  # the shaft, slanting down and to the right
        for x in range(3 + (row - 11) // 2, 7 + (row - 11) // 2):
            mask[tip_y + row][tip_x + x] = True
    cells = outlined(mask)
    # The hourglass: frame bars and two glass bulbs with sand.
    hx0, hy0 = 18, 17
    for x in range(hx0, hx0 + 11):
        cells[hy0][x] = BLACK
        cells[hy0 + 1][x] = NAVY
        cells[hy0 + 13][x] = NAVY
        cells[hy0 + 14][x] = BLACK
    for i in range(11):
        y = hy0 + 2 + i
        half = abs(5 - i) * 4 // 5 + 1
        for x in range(hx0 + 5 - half, hx0 + 6 + half):
            edge = x in (hx0 + 5 - half, hx0 + 5 + half)
            sand = (i >= 7 and not edge) or (i == 5 and x == hx0 + 5) or (2 <= i < 4 and not edge)
            cells[y][x] = BLACK if edge else YELLOW if sand else WHITE
    return cells


def app_icon():
    """A loudspeaker cabinet with sound waves."""
    cells = [[CLEAR] * 32 for _ in range(32)]

    def put(x, y, c):
        if 0 <= x < 32 and 0 <= y < 32:
            cells[y][x] = c

    for y in range(3, 29):
        for x in range(3, 19):
            edge = x in (3, 18) or y in (3, 28)
            put(x, y, BLACK if edge else GREY if x > 15 or y > 25 else SILVER if x == 4 or y == 4 else GREY)
    for y in range(4, 28):
        for x in range(4, 16):
            if not (y > 25):
                put(x, y, SILVER if (x == 4 or y == 4) else GREY)
    for y in range(3, 29):
        for x in range(3, 19):
            d_woofer = math.hypot(x - 10.5, y - 19.5)
            d_tweeter = math.hypot(x - 10.5, y - 9.0)
            if d_woofer <= 6.2:
                put(x, y, BLACK if d_woofer > 5.4 else SILVER if d_woofer > 3.2 else BLACK if d_woofer > 2.4 else NAVY)
            if d_tweeter <= 3.0:
                put(x, y, BLACK if d_tweeter > 2.2 else WHITE if (x < 10 and y < 9) else SILVER)
    for radius, colour in ((4.5, AQUA), (8.0, AQUA), (11.5, BLUE)):
        for y in range(32):
            for x in range(19, 32):
                d = math.hypot(x - 17.0, y - 15.5)
                angle = math.degrees(math.atan2(15.5 - y, x - 17.0))
                if abs(d - radius) < 0.75 and -50 <= angle <= 50:
                    put(x, y, colour)
    return cells


# ----------------------------------------------------------------------------------------------------------
# The pictures.

NAVY_DEEP = (8, 18, 54)
GOLD = (250, 204, 92)
GOLD_DARK = (176, 118, 24)
WHITE_RGB = (255, 255, 255)
SHADOW = (0, 0, 20)


def draw_speaker_cabinet(canvas, x0, y0, x1, y1, body_light, body_dark, mirror=False):
    """A front view of a two-way loudspeaker: rounded cabinet, tweeter and woofer with cones."""
    width = x1 - x0

    def body(x, y):
        t = (x - x0) / width
        t = 1 - t if mirror else t
        return mix(body_light, body_dark, clamp01(t * 1.2))

    canvas.rounded_rect(x0 + 4, y0 + 5, x1 + 4, y1 + 5, 10, SHADOW, 0.35)
    canvas.rounded_rect(x0, y0, x1, y1, 10, body)
    canvas.rounded_outline(x0, y0, x1, y1, 10, mix(body_light, WHITE_RGB, 0.5), 1.0, 0.6)
    cx = (x0 + x1) / 2.0
    for cy, radius in ((y0 + (y1 - y0) * 0.22, width * 0.16), (y0 + (y1 - y0) * 0.62, width * 0.36)):
        canvas.circle(cx, cy, radius + 3, (20, 22, 30))
        canvas.circle(cx, cy, radius, lambda x, y, cy=cy, r=radius: cone(x - cx, y - cy, r))
        canvas.circle(cx, cy, radius * 0.32, lambda x, y, cy=cy, r=radius: dome(x - cx, y - cy, r * 0.32))


def cone(dx, dy, radius):
    d = math.hypot(dx, dy) / radius
    light = 0.5 + 0.5 * (-dx - dy) / (radius * 1.4)
    return mix((34, 38, 52), (120, 128, 150), clamp01(light * (0.4 + 0.6 * d)))


def dome(dx, dy, radius):
    light = clamp01(0.6 - (dx + dy) / (radius * 2.2))
    return mix((60, 64, 80), (226, 230, 240), light)


def sound_waves(canvas, cx, cy, direction, colour, count=3, start=16, step=10):
    span = (-38, 38) if direction > 0 else None
    for i in range(count):
        alpha = 0.85 - i * 0.22
        if direction > 0:
            canvas.arc(cx, cy, start + i * step, 2.4, span[0], span[1], colour, alpha)
        else:
            canvas.arc(cx, cy, start + i * step, 2.4, 142, 180, colour, alpha)
            canvas.arc(cx, cy, start + i * step, 2.4, -180, -142, colour, alpha)


def title_band(canvas, height, top, bottom, line):
    canvas.vertical_gradient([(0.0, top), (1.0, bottom)], 0, 0, canvas.width, height)
    for y in range(height, height + 3):
        for x in range(canvas.width):
            t = x / canvas.width
            canvas.blend(x, y, mix(line, GOLD_DARK, abs(t - 0.5) * 2), 1.0)


def gold_text(canvas, x, y, text, scale):
    """Title text: a dark shadow and a vertical gold gradient."""
    canvas.text(x + scale // 2 + 1, y + scale // 2 + 1, text, scale, SHADOW)
    band = Canvas(text_width(text, scale) + 2, 9 * scale)
    mark = (1.0, 0.0, 1.0)
    band.px = [mark] * (band.width * band.height)
    band.text(0, 0, text, scale, (0.0, 0.0, 0.0))
    for yy in range(band.height):
        colour = gradient_at([(0.0, (255, 246, 200)), (0.45, GOLD), (1.0, GOLD_DARK)], yy / (7.0 * scale))
        for xx in range(band.width):
            if band.px[yy * band.width + xx] != mark:
                canvas.blend(x + xx, y + yy, colour, 1.0)


def install_background(theme):
    c = Canvas(640, 480)
    c.vertical_gradient([(0.0, theme["sky_top"]), (0.55, theme["sky_mid"]), (1.0, theme["sky_bottom"])])
    # A soft glow behind the panel and faint rings, the sound spreading through the room.
    c.shade(0, 90, 640, 440, lambda x, y: (theme["glow"], 0.28 * clamp01(1 - math.hypot((x - 344) / 300, (y - 215) / 170))))
    for radius in range(60, 420, 36):
        c.arc(344, 215, radius, 1.0, -180, 180, theme["ring"], 0.10)
    title_band(c, 78, theme["band_top"], theme["band_bottom"], GOLD)
    gold_text(c, 24, 16, theme["title"], 3)
    c.text(26, 54, "Sound driver installation for Windows 95, 98, Me, NT 4.0, 2000 and XP", 1, (205, 215, 240))
    # The panel that the progress list and the three buttons sit on.
    c.rounded_rect(172, 112, 516, 318, 12, SHADOW, 0.30)
    c.rounded_rect(168, 108, 512, 314, 12, lambda x, y: mix(theme["panel_top"], theme["panel_bottom"], (y - 108) / 206), 0.88)
    c.rounded_outline(168, 108, 512, 314, 12, (255, 255, 255), 1.0, 0.55)
    c.rounded_rect(181, 121, 506, 259, 3, (10, 14, 30), 0.55)  # a recess around the list
    # The speakers on either side, playing towards the panel.
    draw_speaker_cabinet(c, 48, 150, 122, 318, theme["cabinet_light"], theme["cabinet_dark"])
    draw_speaker_cabinet(c, 558, 150, 632, 318, theme["cabinet_light"], theme["cabinet_dark"], mirror=True)
    sound_waves(c, 112, 254, +1, theme["wave"], 3, 18, 12)
    sound_waves(c, 568, 254, -1, theme["wave"], 3, 18, 12)
    # The footer.
    c.vertical_gradient([(0.0, theme["band_bottom"]), (1.0, theme["band_top"])], 0, 446, 640, 480)
    for x in range(640):
        c.blend(x, 445, GOLD_DARK, 0.8)
    c.text(24, 458, "Copyright Korvane. All rights reserved.", 1, (170, 180, 210))
    gold_text(c, 640 - 24 - text_width("KORVANE", 2), 456, "KORVANE", 2)
    return c


BLUE_THEME = {
    "title": "Korvane PCI Audio Driver Setup",
    "sky_top": (18, 40, 110), "sky_mid": (36, 84, 170), "sky_bottom": (12, 30, 86),
    "glow": (140, 190, 255), "ring": (190, 220, 255),
    "band_top": (4, 10, 40), "band_bottom": (18, 34, 96),
    "panel_top": (64, 106, 190), "panel_bottom": (30, 60, 136),
    "cabinet_light": (92, 100, 124), "cabinet_dark": (34, 38, 54),
    "wave": (150, 210, 255),
}
TEAL_THEME = {
    "title": "PCI Audio Driver Setup",
    "sky_top": (10, 70, 78), "sky_mid": (24, 124, 128), "sky_bottom": (6, 52, 60),
    "glow": (150, 255, 230), "ring": (190, 255, 240),
    "band_top": (2, 30, 34), "band_bottom": (12, 78, 84),
    "panel_top": (46, 146, 146), "panel_bottom": (18, 96, 100),
    "cabinet_light": (96, 112, 112), "cabinet_dark": (30, 42, 44),
    "wave": (160, 255, 230),
}

# The speaker view: its option buttons lie around the click areas of the window.
OPTION_AREAS = {  # option: (x from, x to, y from, y to), the marker's top-left, label
    "two": ((153, 266, 67, 92), (168, 73), "Two"),
    "four": ((150, 263, 100, 125), (164, 104), "Four"),
    "six": ((145, 258, 130, 155), (159, 136), "Six"),
}
EXIT_AREA = (503, 607, 375, 400)
SIX_BUTTON_BOX = (138, 126, 134, 34)  # where the six-speaker picture (137) is placed
SPEAKER_PICTURE_BOX = (234, 166, 250, 175)


def option_button(c, area, marker, label, enabled=True):
    x0, x1, y0, y1 = area
    bx0, by0, bx1, by1 = x0 - 3, y0 - 3, x1 + 4, y1 + 4
    top, bottom = ((120, 170, 240), (36, 76, 160)) if enabled else ((112, 118, 132), (70, 74, 86))
    c.rounded_rect(bx0 + 2, by0 + 3, bx1 + 2, by1 + 3, 8, SHADOW, 0.35)
    c.rounded_rect(bx0, by0, bx1, by1, 8, lambda x, y: gradient_at([(0.0, top), (1.0, bottom)], (y - by0) / (by1 - by0)))
    c.rounded_rect(bx0 + 2, by0 + 1, bx1 - 2, (by0 + by1) / 2, 6, (255, 255, 255), 0.16)
    c.rounded_outline(bx0, by0, bx1, by1, 8, (230, 240, 255) if enabled else (150, 150, 160), 1.0, 0.9)
    mx, my = marker
    c.rounded_rect(mx - 1, my - 1, mx + 14, my + 15, 2, (14, 18, 36), 0.85)  # the marker's slot
    text_colour = WHITE_RGB if enabled else (176, 178, 186)
    tx = (mx + 16 + bx1) // 2 - text_width(label, 2) // 2
    ty = (y0 + y1) // 2 - 6
    c.text(tx, ty, label, 2, text_colour, SHADOW if enabled else None)


def speaker_backdrop():
    c = Canvas(640, 480)
    c.vertical_gradient([(0.0, (30, 24, 84)), (0.5, (44, 62, 150)), (1.0, (14, 18, 60))])
    c.shade(0, 60, 640, 480, lambda x, y: ((150, 170, 255), 0.25 * clamp01(1 - math.hypot((x - 360) / 320, (y - 255) / 200))))
    return c


def speaker_background():
    c = speaker_backdrop()
    title_band(c, 50, (4, 6, 36), (26, 28, 100), GOLD)
    gold_text(c, 24, 12, "Speaker Configuration", 3)
    c.text(300, 70, "Choose the number of speakers", 2, WHITE_RGB, SHADOW)
    c.text(300, 92, "that you use, then click EXIT.", 2, WHITE_RGB, SHADOW)
    c.text(300, 122, "The picture shows where to place them.", 1, (200, 210, 240))
    # A frame for the speaker layout picture.
    x, y, w, h = SPEAKER_PICTURE_BOX
    c.rounded_rect(x - 8 + 3, y - 8 + 4, x + w + 8 + 3, y + h + 8 + 4, 10, SHADOW, 0.4)
    c.rounded_rect(x - 8, y - 8, x + w + 8, y + h + 8, 10, lambda px, py: mix((150, 160, 196), (60, 66, 104), (py - y + 8) / (h + 16)))
    c.rounded_rect(x - 2, y - 2, x + w + 2, y + h + 2, 3, (8, 8, 20))
    # Small speakers along the left edge, for the look.
    draw_speaker_cabinet(c, 30, 200, 104, 350, (96, 100, 130), (36, 38, 60))
    sound_waves(c, 100, 290, +1, (170, 200, 255), 3, 16, 11)
    # Option buttons; the six-speaker one is drawn active for its own picture, then greyed in the view.
    for name in ("two", "four"):
        area, marker, label = OPTION_AREAS[name]
        option_button(c, area, marker, label)
    before_six = list(c.px)
    area, marker, label = OPTION_AREAS["six"]
    option_button(c, area, marker, label)
    bx, by, bw, bh = SIX_BUTTON_BOX
    six_picture = c.crop(bx, by, bw, bh)
    # Under the six-speaker picture the view shows the option unavailable.
    c.px = before_six
    area, marker, label = OPTION_AREAS["six"]
    option_button(c, area, marker, label, enabled=False)
    # The exit button.
    x0, x1, y0, y1 = EXIT_AREA
    c.rounded_rect(x0 - 1, y0, x1 + 5, y1 + 6, 9, SHADOW, 0.4)
    c.rounded_rect(x0 - 3, y0 - 3, x1 + 3, y1 + 3, 9, lambda px, py: gradient_at([(0.0, (255, 214, 120)), (1.0, (196, 120, 20))], (py - y0 + 3) / (y1 - y0 + 6)))
    c.rounded_rect(x0, y0 - 2, x1, (y0 + y1) / 2, 7, (255, 255, 255), 0.22)
    c.rounded_outline(x0 - 3, y0 - 3, x1 + 3, y1 + 3, 9, (255, 244, 210), 1.0, 0.9)
    label_w = text_width("EXIT", 2)
    c.text((x0 + x1 + 1) // 2 - label_w // 2, (y0 + y1) // 2 - 6, "EXIT", 2, (70, 30, 0), (255, 236, 180))
    return c, six_picture


def small_speaker(c, cx, cy, label, sub=False):
    """A speaker seen from above for the layout pictures, facing the listener, with its label below."""
    w, h = (28, 22) if sub else (22, 18)
    c.rounded_rect(cx - w / 2 + 2, cy - h / 2 + 2, cx + w / 2 + 2, cy + h / 2 + 2, 3, (0, 0, 0), 0.45)
    c.rounded_rect(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, 3, lambda x, y: mix((200, 206, 224), (90, 96, 120), (y - cy + h / 2) / h))
    c.circle(cx, cy, min(w, h) * 0.32, lambda x, y: cone(x - cx, y - cy, min(w, h) * 0.32))
    tw = text_width(label, 1)
    c.text(int(cx - tw / 2), int(cy + h / 2 + 4), label, 1, (230, 236, 255))


def speaker_layout(count):
    c = Canvas(250, 175)
    c.vertical_gradient([(0.0, (20, 24, 52)), (1.0, (8, 10, 26))])
    for i in range(0, 250, 25):  # the floor
        c.line(i, 0, i, 175, (60, 80, 140), 1.0, 0.18)
    for j in range(0, 175, 25):
        c.line(0, j, 250, j, (60, 80, 140), 1.0, 0.18)
    listener = (125, 92)
    for radius in (22, 44, 66):
        c.arc(listener[0], listener[1], radius, 1.0, -180, 180, (130, 180, 255), 0.22)
    layouts = {
        2: [(38, 30, "L"), (212, 30, "R")],
        4: [(38, 30, "FL"), (212, 30, "FR"), (38, 136, "RL"), (212, 136, "RR")],
        6: [(38, 30, "FL"), (212, 30, "FR"), (125, 20, "C"), (38, 136, "RL"), (212, 136, "RR")],
    }
    for sx, sy, _ in layouts[count]:
        c.line(sx, sy, listener[0], listener[1], (255, 220, 120), 1.0, 0.25)
    if count == 6:
        small_speaker(c, 78, 26, "SW", sub=True)
    for sx, sy, label in layouts[count]:
        small_speaker(c, sx, sy, label)
    # The listener, seen from above: head, ears and the nose pointing forward.
    lx, ly = listener
    c.circle(lx, ly + 9, 13, (40, 60, 110))  # shoulders
    c.circle(lx - 9, ly, 3, (230, 188, 150))
    c.circle(lx + 9, ly, 3, (230, 188, 150))
    c.circle(lx, ly, 9, lambda x, y: mix((250, 214, 178), (180, 130, 96), clamp01((x - lx + y - ly + 9) / 18)))
    c.circle(lx, ly - 9, 2.2, (226, 180, 140))
    caption = {2: "Stereo: 2 speakers", 4: "Quadraphonic: 4 speakers", 6: "5.1 surround: 6 speakers"}[count]
    c.text(125 - text_width(caption, 1) // 2, 160, caption, 1, (255, 226, 150))
    return c


def choice_marker():
    c = Canvas(13, 14)
    c.vertical_gradient([(0.0, (255, 96, 80)), (1.0, (168, 0, 0))])
    for x in range(13):
        c.blend(x, 0, (120, 0, 0), 1.0)
        c.blend(x, 13, (90, 0, 0), 1.0)
    for y in range(14):
        c.blend(0, y, (120, 0, 0), 1.0)
        c.blend(12, y, (90, 0, 0), 1.0)
    for i in range(1, 5):  # a highlight in the upper left
        c.blend(i + 1, 2, (255, 200, 190), 0.8)
        c.blend(2, i + 1, (255, 200, 190), 0.8)
    return c


# ----------------------------------------------------------------------------------------------------------
# Previews.


def png(canvas_or_cells, scale=1):
    """A PNG file of a canvas, or of 32 x 32 icon cells (transparent cells shown in magenta)."""
    if isinstance(canvas_or_cells, Canvas):
        width, height = canvas_or_cells.width, canvas_or_cells.height
        rgb = to_bytes(canvas_or_cells)
        rows = [rgb[y * width : (y + 1) * width] for y in range(height)]
    else:
        width = height = 32
        rows = [[(255, 0, 255) if c is CLEAR else VGA[c] for c in row] for row in canvas_or_cells]
    raw = b""
    for row in rows:
        line = b"".join(bytes(p) * scale for p in row)
        raw += (b"\0" + line) * scale

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width * scale, height * scale, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def bmp_preview(data):
    """A PNG of an 8-bit bitmap file as written, to look at the palette it really got."""
    width, height = struct.unpack_from("<ii", data, 18)
    offset = struct.unpack_from("<I", data, 10)[0]
    colours = struct.unpack_from("<I", data, 46)[0] or 256
    palette = [(data[54 + i * 4 + 2], data[54 + i * 4 + 1], data[54 + i * 4]) for i in range(colours)]
    stride = (width + 3) & ~3
    canvas = Canvas(width, abs(height))
    for row in range(abs(height)):
        y = abs(height) - 1 - row if height > 0 else row
        line = data[offset + row * stride : offset + row * stride + width]
        canvas.px[y * width : (y + 1) * width] = [tuple(float(c) for c in palette[i]) for i in line]
    return png(canvas)


def main():
    preview_dir = None
    if len(sys.argv) == 3 and sys.argv[1] == "--png":
        preview_dir = sys.argv[2]
        os.makedirs(preview_dir, exist_ok=True)
    elif len(sys.argv) != 1:
        sys.exit(__doc__)

    speaker_view, six_button = speaker_background()
    pictures = {
        "install_background.bmp": install_background(BLUE_THEME),
        "install_background_alt.bmp": install_background(TEAL_THEME),
        "speaker_background.bmp": speaker_view,
        "speakers_six.bmp": speaker_layout(6),
        "speakers_four.bmp": speaker_layout(4),
        "speakers_two.bmp": speaker_layout(2),
        "choice_marker.bmp": choice_marker(),
        "six_speaker_button.bmp": six_button,
    }
    for name, canvas in pictures.items():
        data = bmp8(canvas)
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(data)
        if preview_dir:
            with open(os.path.join(preview_dir, name[:-4] + ".png"), "wb") as f:
                f.write(bmp_preview(data))
    icons = {
        "hand.cur": (hand_cursor(), lambda cells: cursor_file(cells, 12, 1)),
        "busy.cur": (busy_cursor(), lambda cells: cursor_file(cells, 6, 7)),
        "setup.ico": (app_icon(), icon_file),
    }
    for name, (cells, make) in icons.items():
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(make(cells))
        if preview_dir:
            with open(os.path.join(preview_dir, name.replace(".", "_") + ".png"), "wb") as f:
                f.write(png(cells, 8))


if __name__ == "__main__":
    main()
