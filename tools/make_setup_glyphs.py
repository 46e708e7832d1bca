#!/usr/bin/env python3
"""Draws the two-image button glyphs of this setup's own pages into
setup/resources/, with the palette and writer of make_wizard_images.py:

  REDCROSSMARK.bmp      32 x 16  a red cross (the splash page's Cancel)
  BLUEQUESTIONMARK.bmp  32 x 16  a blue question mark (the complete page's
                                 help button)

Each holds the picture twice side by side: as it is, then greyed for the
disabled button. Olive (128, 128, 0), the bottom left pixel, is transparent.
The outputs are kept in the tree; the build never runs this script."""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_wizard_images as images  # noqa: E402

GLYPH = 16


def two_images(picture):
    """picture(x, y) -> colour index or None (background) for one image."""
    def pixel(x, y):
        part, x = divmod(x, GLYPH)
        c = picture(x, y)
        if c is None:
            return images.OLIVE
        if part == 0:
            return c
        return images.WHITE if c in (images.WHITE, images.YELLOW) else images.GRAY
    return pixel


def red_cross(x, y):
    px, py = x + 0.5, y + 0.5
    # two strokes from corner to corner, 2 pixels wide, with a dark rim
    d = min(abs(px - py), abs(px + py - GLYPH)) / math.sqrt(2)
    inside = 2.5 <= px <= GLYPH - 2.5 and 2.5 <= py <= GLYPH - 2.5
    if inside and d < 1.1:
        return images.RED
    if 1.5 <= px <= GLYPH - 1.5 and 1.5 <= py <= GLYPH - 1.5 and d < 1.8:
        return images.MAROON
    return None


def question_mark(x, y):
    px, py = x + 0.5, y + 0.5
    cx, cy = 8, 5.5
    r = math.hypot(px - cx, py - cy)
    # the hook: the upper arc and its right side, then a stem down the middle
    if 2.2 <= r <= 4.4 and not (py > cy and px < cx + 0.5):
        return images.BLUE
    if abs(px - cx) < 1.2 and cy + 3 <= py <= 11:
        return images.BLUE
    if abs(px - cx) < 1.2 and 12.5 <= py <= 14.5:
        return images.BLUE
    return None


def main():
    images.OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "setup", "resources")
    images.write_bmp("REDCROSSMARK", 2 * GLYPH, GLYPH, two_images(red_cross))
    images.write_bmp("BLUEQUESTIONMARK", 2 * GLYPH, GLYPH, two_images(question_mark))


if __name__ == "__main__":
    main()
