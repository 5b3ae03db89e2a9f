#!/usr/bin/env python3
"""Draws the program icon (an archive box on a blue tile) as a 16x16 and a
32x32 image and writes them as resources/kelicon.ico. The icon has a few
flat colours and a hard edge, so 16 colours and a transparency mask show it
exactly, in a fifth of the bytes of true colour with alpha."""
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


def image(size, palette):
    """A 4-bit image with its palette and AND mask; transparent pixels are
    masked and drawn with colour 0."""
    pixel_row = ((size * 4 + 31) // 32) * 4
    mask_row = ((size + 31) // 32) * 4
    xor = b""
    mask = b""
    for y in range(size - 1, -1, -1):    # bottom-up
        indices = []
        bits = 0
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            if a == 0:
                indices.append(0)
                bits |= 1 << (mask_row * 8 - 1 - x)
            else:
                indices.append(palette.index((b, g, r)))
        row = bytes(indices[i] << 4 | indices[i + 1] for i in range(0, size, 2))
        xor += row.ljust(pixel_row, b"\0")
        mask += bits.to_bytes(mask_row, "big")
    colours = b"".join(bytes((b, g, r, 0)) for b, g, r in palette).ljust(64, b"\0")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    return header + colours + xor + mask


def main(out):
    palette = [(0, 0, 0)]
    for size in (16, 32):
        for y in range(size):
            for x in range(size):
                r, g, b, a = pixel(x, y, size)
                if a and (b, g, r) not in palette:
                    palette.append((b, g, r))
    images = [image(16, palette), image(32, palette)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((16, 32), images):
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/kelicon.ico")
