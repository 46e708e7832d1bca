#!/usr/bin/env python3
"""Writes the loader's 32 x 32 bitmap (loader.bmp) and icon (loader.ico): a
box with an arrow pointing into it. Run once; the outputs are kept in the tree."""
import struct

W = H = 32


def pixel(x, y):
    # y counts from the top; colours are (r, g, b)
    box = 6 <= x <= 25 and 14 <= y <= 28
    edge = box and (x in (6, 25) or y in (14, 28))
    lid = 4 <= x <= 27 and 12 <= y <= 14
    shaft = 14 <= x <= 17 and 2 <= y <= 13
    head = 8 <= y <= 13 and abs(x - 15.5) <= (13 - y) + 1.5 and y >= 9
    if shaft or head:
        return (0, 110, 40)
    if lid:
        return (120, 70, 20)
    if edge:
        return (120, 70, 20)
    if box:
        return (205, 160, 90)
    return None


def rows_bgr(background):
    out = b""
    for y in range(H - 1, -1, -1):  # bottom-up
        for x in range(W):
            c = pixel(x, y) or background
            out += bytes((c[2], c[1], c[0]))
    return out


def bmp():
    data = rows_bgr((255, 255, 255))
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def ico():
    xor = b""
    mask = b""
    for y in range(H - 1, -1, -1):
        bits = 0
        for x in range(W):
            c = pixel(x, y)
            if c:
                xor += bytes((c[2], c[1], c[0], 255))
            else:
                xor += bytes((0, 0, 0, 0))
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    info = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + mask
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", W, H, 0, 0, 1, 32, len(image), 6 + 16)
    return head + entry + image


if __name__ == "__main__":
    open("loader.bmp", "wb").write(bmp())
    open("loader.ico", "wb").write(ico())
