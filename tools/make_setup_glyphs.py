#!/usr/bin/env python3
"""Draws the help button's two-image glyph of this setup's complete page into
setup/resources/, with the palette, writer and disabled look of
make_wizard_images.py:

  BLUEQUESTIONMARK.bmp  32 x 16  a blue question mark, then greyed for the
                                 disabled button; olive is transparent

The splash page's Cancel takes the wizard's cross (CANCELGLYPH2). The output
is kept in the tree; the build never runs this script."""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_wizard_images as images  # noqa: E402


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
    images.write_bmp("BLUEQUESTIONMARK", 32, 16, images.glyph_pair(question_mark))


if __name__ == "__main__":
    main()
