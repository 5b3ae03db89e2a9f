#!/usr/bin/env python3
"""Draws the program icon (an archive box on a blue tile) as a 16x16 and a
32x32 image and writes them as resources/kelicon.ico."""
import struct
import sys


def pixel(x, y, size):
    s = size / 32.0
    def inside(x0, y0, x1, y1):
        return x0 * s <= x < x1 * s and y0 * s <= y < y1 * s
    if not inside(1, 1, 31, 31):
        return (0, 0, 0, 0)
    colour = (40, 90, 170, 255)          # blue tile
    if inside(7, 10, 25, 26):
        colour = (230, 190, 60, 255)     # box body
    if inside(5, 7, 27, 11):
        colour = (200, 150, 40, 255)     # lid
    if inside(14, 7, 18, 26):
        colour = (120, 70, 20, 255)      # strap
    if inside(12, 14, 20, 18):
        colour = (245, 245, 245, 255)    # label
    return colour


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):    # bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * mask_row * size
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(out):
    images = [image(16), image(32)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((16, 32), images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/kelicon.ico")
