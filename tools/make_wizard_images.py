#!/usr/bin/env python3
"""Draws the wizard's pictures as 16-colour Windows bitmaps (the standard VGA
palette) into wizard/resources/:

  INSTALLTHEME1.bmp   117 x 290  theme picture at the left of every page
  BM_LANG_*.bmp        60 x 40   one flag per language, BM_LANG_NONE for none;
                                 olive (128, 128, 0) is transparent
  GROUPSTATES.bmp      48 x 16   the file-groups tree's state images 0..2
                                 (0 unused, 1 included, 2 excluded)
  COPYUNZIP.bmp        36 x 37   copy-progress window: files leaving a box
  COPYTRANSFER.bmp     37 x 36   copy-progress window: a download
  CHANGEDISK.bmp       57 x 113  change-disk prompt: a stack of disks
  STATUSINFO.bmp       32 x 32   install-status window: an hourglass
  CANCELGLYPH.bmp      16 x 16   select-language page's Cancel button: a cross
  CANCELGLYPH2.bmp     32 x 16   welcome page's Cancel button: the cross, then
                                 its disabled look; olive is transparent

Run it from anywhere; the outputs are kept in the tree and embedded as
resources, so the build never runs this script."""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wizard", "resources")

# The 16 colours of the standard VGA palette, by index.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


def write_bmp(name, w, h, pixel):
    """pixel(x, y) -> palette index, y counted from the top."""
    stride = ((w + 1) // 2 + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            c = pixel(x, y) & 15
            if x % 2 == 0:
                row[x // 2] |= c << 4
            else:
                row[x // 2] |= c
        rows.append(bytes(row))
    data = b"".join(rows)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    off = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off)
    with open(os.path.join(OUT, name + ".bmp"), "wb") as f:
        f.write(head + info + pal + data)


def dither(level, x, y):
    """Ordered 4x4 dither: True where a pixel of the lighter colour goes for
    a level between 0 and 1."""
    m = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
    return level * 16 > m[y % 4][x % 4] + 0.5


# ---------------------------------------------------------------- theme
def theme(x, y):
    W, H = 117, 290
    # sky: navy at the top fading to blue, the lower third teal ground
    if y < 200:
        c = BLUE if dither(y / 200.0, x, y) else NAVY
    else:
        c = TEAL if dither((y - 200) / 90.0, x, y) else NAVY
    # a quill across the sky: a white vane along a curved shaft
    t = (x - 20) / 80.0
    if 0 <= t <= 1:
        shaft_y = 150 - 110 * t + 25 * math.sin(t * math.pi)
        if abs(y - shaft_y) < 1.0:
            c = YELLOW
        elif 0.25 < t and 0 < shaft_y - y < 16 * math.sin((t - 0.25) / 0.75 * math.pi):
            c = WHITE if (x + y) % 7 else SILVER
    # a box on the ground with its lid open, a disk going in
    if 34 <= x <= 84 and 212 <= y <= 262:
        c = OLIVE if (x in (34, 84) or y in (212, 262)) else YELLOW
        if 40 <= x <= 78 and 218 <= y <= 256 and (x + y) % 5 == 0:
            c = OLIVE
    if 30 <= x <= 88 and 206 <= y <= 211:
        c = OLIVE
    if 46 <= x <= 72 and 176 <= y <= 202:
        c = BLACK if x in (46, 72) or y in (176, 202) else GRAY
        if 51 <= x <= 67 and 177 <= y <= 186:
            c = SILVER
        if 60 <= x <= 64 and 178 <= y <= 184:
            c = BLACK
        if 50 <= x <= 68 and 192 <= y <= 201:
            c = WHITE
    # a frame line
    if x in (0, W - 1) or y in (0, H - 1):
        c = BLACK
    return c


# ---------------------------------------------------------------- flags
FW, FH = 60, 40


def star(cx, cy, r, x, y):
    """Inside a five-pointed star of outer radius r centred at cx, cy."""
    dx, dy = x + 0.5 - cx, y + 0.5 - cy
    d = math.hypot(dx, dy)
    if d > r:
        return False
    a = math.atan2(dx, -dy) % (2 * math.pi / 5)
    a = abs(a - math.pi / 5)
    inner = r * 0.382
    # radius of the star's outline at this angle (linear between tips)
    edge = inner + (r - inner) * (a / (math.pi / 5))
    return d <= edge


def framed(body):
    def pixel(x, y):
        if (x, y) in ((0, 0), (FW - 1, 0), (0, FH - 1), (FW - 1, FH - 1)):
            return OLIVE
        if x in (0, FW - 1) or y in (0, FH - 1):
            return BLACK
        return body(x, y)
    return pixel


def vertical(*cols):
    return lambda x, y: cols[min(len(cols) - 1, x * len(cols) // FW)]


def horizontal(*cols):
    return lambda x, y: cols[min(len(cols) - 1, y * len(cols) // FH)]


def china(x, y):
    if star(12, 12, 7, x, y):
        return YELLOW
    for cx, cy in ((22, 5), (26, 9), (26, 15), (22, 19)):
        if star(cx, cy, 2.4, x, y):
            return YELLOW
    return RED


def czech(x, y):
    if x < FW / 2 and abs(y - FH / 2 + 0.5) < x * (FH / 2) / (FW / 2) * -1 + FH / 2:
        return NAVY
    return WHITE if y < FH / 2 else RED


def nordic(field, cross, inner=None):
    def pixel(x, y):
        if inner is not None and (17 <= x <= 22 or 17 <= y <= 22):
            return inner
        if 14 <= x <= 25 or 14 <= y <= 25:
            return cross
        return field
    return pixel


def union(x, y):
    u, v = x / (FW - 1), y / (FH - 1)
    if abs(x - FW / 2 + 0.5) < 3 or abs(y - FH / 2 + 0.5) < 3:
        return RED
    if abs(x - FW / 2 + 0.5) < 6 or abs(y - FH / 2 + 0.5) < 6:
        return WHITE
    if abs(u - v) < 0.05 or abs(u - (1 - v)) < 0.05:
        return RED
    if abs(u - v) < 0.11 or abs(u - (1 - v)) < 0.11:
        return WHITE
    return NAVY


def greece(x, y):
    if x < 24 and y < 22:
        return WHITE if (9 <= x <= 13 or 9 <= y <= 13) else BLUE
    return BLUE if (y * 9 // FH) % 2 == 0 else WHITE


def israel(x, y):
    if 5 <= y <= 9 or 30 <= y <= 34:
        return BLUE
    cx, cy = FW / 2, FH / 2
    # two triangles' outlines
    for flip in (1, -1):
        dy = (y + 0.5 - cy) * flip
        h = 9
        # inside band of the triangle pointing up (flip 1) or down (-1)
        if -h / 2 <= dy + h / 6 <= h:
            half = (h - (dy + h / 6)) * 0.6
            dx = abs(x + 0.5 - cx)
            if half - 1.3 <= dx <= half + 0.2 or (abs(dy + h / 6 - h) < 1.0 and dx <= 1):
                return BLUE
        if abs(dy + h / 6 + h / 2) < 0.8 and abs(x + 0.5 - cx) <= h * 0.9:
            return BLUE
    return WHITE


def japan(x, y):
    return RED if math.hypot(x + 0.5 - FW / 2, y + 0.5 - FH / 2) < 11 else WHITE


def korea(x, y):
    dx, dy = x + 0.5 - FW / 2, y + 0.5 - FH / 2
    if math.hypot(dx, dy) < 10:
        # red above, blue below, with the two small swirls
        if math.hypot(dx + 5, dy) < 5:
            return BLUE
        if math.hypot(dx - 5, dy) < 5:
            return RED
        return RED if dy < 0 else BLUE
    # four trigrams in the corners
    for cx, cy in ((11, 8), (FW - 12, 8), (11, FH - 9), (FW - 12, FH - 9)):
        if abs(x - cx) <= 5 and abs(y - cy) <= 4 and (y - cy) % 3 != 2:
            return BLACK
    return WHITE


def portugal(x, y):
    if math.hypot(x + 0.5 - 24, y + 0.5 - FH / 2) < 8:
        return YELLOW if math.hypot(x + 0.5 - 24, y + 0.5 - FH / 2) > 5 else RED
    return GREEN if x < 24 else RED


def spain(x, y):
    return YELLOW if FH / 4 <= y < FH * 3 / 4 else RED


def vietnam(x, y):
    return YELLOW if star(FW / 2, FH / 2 + 1, 12, x, y) else RED


def none(x, y):
    # a question mark on grey
    cx, cy = FW / 2, 15
    d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
    if 5 <= d <= 8 and not (y > cy and x < cx):
        return WHITE
    if abs(x + 0.5 - cx) < 1.6 and cy + 5 <= y <= 26:
        return WHITE
    if abs(x + 0.5 - cx) < 1.6 and 30 <= y <= 32:
        return WHITE
    return GRAY


FLAGS = {
    "BM_LANG_SIMPCHINESE": china,
    "BM_LANG_CZECH": czech,
    "BM_LANG_DANISH": nordic(RED, WHITE),
    "BM_LANG_ENGLISH": union,
    "BM_LANG_FRENCH": vertical(BLUE, WHITE, RED),
    "BM_LANG_GERMAN": horizontal(BLACK, RED, YELLOW),
    "BM_LANG_GREEK": greece,
    "BM_LANG_HEBREW": israel,
    "BM_LANG_ITALIAN": vertical(GREEN, WHITE, RED),
    "BM_LANG_JAPANESE": japan,
    "BM_LANG_KOREAN": korea,
    "BM_LANG_PORTUGESE": portugal,
    "BM_LANG_RUSSIAN": horizontal(WHITE, BLUE, RED),
    "BM_LANG_SPANISH": spain,
    "BM_LANG_VIETNAMESE": vietnam,
    "BM_LANG_NONE": none,
}


# ---------------------------------------------------------------- others
def group_states(x, y):
    i, x = divmod(x, 16)
    if i == 0 or not (2 <= x <= 13 and 2 <= y <= 13):
        return WHITE
    if x in (2, 13) or y in (2, 13):
        return GRAY
    if i == 1:
        # a check mark
        if (4 <= x <= 6 and y == x + 3) or (6 <= x <= 11 and y == 15 - x) or \
           (4 <= x <= 6 and y == x + 4) or (6 <= x <= 11 and y == 16 - x):
            return BLACK
    return WHITE


def unzip(x, y):
    # an open box, three sheets rising out of it
    if 6 <= x <= 30 and 20 <= y <= 35:
        return OLIVE if x in (6, 30) or y in (20, 35) else YELLOW
    if 3 <= x <= 33 and 17 <= y <= 19:
        return OLIVE
    for i, (sx, sy) in enumerate(((10, 2), (16, 6), (22, 10))):
        if sx <= x <= sx + 8 and sy <= y <= sy + 10:
            if x in (sx, sx + 8) or y in (sy, sy + 10):
                return BLACK
            return WHITE if (y - sy) % 3 else SILVER
    return SILVER


def transfer(x, y):
    # a globe with an arrow down into a disk
    if math.hypot(x + 0.5 - 12, y + 0.5 - 11) < 9:
        d = math.hypot(x + 0.5 - 12, y + 0.5 - 11)
        if d > 8:
            return NAVY
        return GREEN if (x * 3 + y * 5) % 11 < 4 else BLUE
    if 21 <= x <= 35 and 21 <= y <= 34:
        if x in (21, 35) or y in (21, 34):
            return BLACK
        if 24 <= x <= 32 and 22 <= y <= 27:
            return SILVER
        return NAVY
    if 26 <= x <= 29 and 4 <= y <= 14:
        return RED
    if 15 <= y <= 19 and abs(x + 0.5 - 28) <= 19 - y + 1:
        return RED
    return SILVER


def disk(ox, oy, x, y):
    if not (ox <= x < ox + 40 and oy <= y < oy + 40):
        return None
    x, y = x - ox, y - oy
    if x in (0, 39) or y in (0, 39):
        return BLACK
    if 10 <= x <= 29 and 1 <= y <= 13:
        return SILVER if not (22 <= x <= 26 and 3 <= y <= 11) else NAVY
    if 6 <= x <= 33 and 20 <= y <= 38:
        return WHITE if (y - 20) % 4 else SILVER
    return NAVY


def change_disk(x, y):
    for ox, oy in ((14, 66), (8, 40), (2, 14)):
        c = disk(ox, oy, x, y)
        if c is not None:
            return c
    return SILVER


def hourglass(x, y):
    if 6 <= x <= 25 and (2 <= y <= 4 or 27 <= y <= 29):
        return OLIVE
    if 5 <= y <= 26:
        half = abs(y - 15.5) / 10.5 * 8 + 1
        d = abs(x + 0.5 - 16)
        if d <= half:
            if d > half - 1.2:
                return BLACK
            sand = (y > 19 and y > 26 - (half * 0.8)) or (y < 12 and y > 7)
            return YELLOW if sand else WHITE
    return SILVER


def cross(x, y):
    """A cross of two strokes, 2 pixels wide (red with a dark edge below), or
    None off it."""
    if 3 <= x <= 12 and 3 <= y <= 13 and (x - y in (0, -1) or x + y in (15, 16)):
        return RED if x == y or x + y == 15 else MAROON
    return None


def glyph(mark):
    """A 16 x 16 glyph of mark on olive (transparent)."""
    def pixel(x, y):
        c = mark(x, y)
        return OLIVE if c is None else c
    return pixel


def glyph_pair(mark):
    """A two-image glyph (32 x 16): mark on olive (transparent), then its
    disabled look, grey with a white shadow below and right."""
    def pixel(x, y):
        if x < 16:
            return glyph(mark)(x, y)
        x -= 16
        if mark(x, y) is not None:
            return GRAY
        if mark(x - 1, y - 1) is not None:
            return WHITE
        return OLIVE
    return pixel


def main():
    os.makedirs(OUT, exist_ok=True)
    write_bmp("INSTALLTHEME1", 117, 290, theme)
    for name, body in FLAGS.items():
        write_bmp(name, FW, FH, framed(body))
    write_bmp("GROUPSTATES", 48, 16, group_states)
    write_bmp("COPYUNZIP", 36, 37, unzip)
    write_bmp("COPYTRANSFER", 37, 36, transfer)
    write_bmp("CHANGEDISK", 57, 113, change_disk)
    write_bmp("STATUSINFO", 32, 32, hourglass)
    write_bmp("CANCELGLYPH", 16, 16, glyph(cross))
    write_bmp("CANCELGLYPH2", 32, 16, glyph_pair(cross))


if __name__ == "__main__":
    main()
