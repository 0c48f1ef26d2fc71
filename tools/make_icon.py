#!/usr/bin/env python3
"""Draws the program's icon (a blue rounded square with a white clock hand) as a .ico file."""
import math
import struct
import sys


def image(size):
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            cx = cy = (size - 1) / 2
            r = size * 0.46
            d = math.hypot(x - cx, y - cy)
            a = 255 if d <= r else 0
            b, g, rr = 156, 90, 0
            # Clock hands in white.
            if a and ((abs(x - cx) < size * 0.06 and cy - r * 0.7 < y <= cy) or
                      (abs(y - cy) < size * 0.06 and cx <= x < cx + r * 0.55) or d > r - size * 0.07):
                b, g, rr = 255, 255, 255
            row += bytes((b, g, rr, a))
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))  # bottom-up
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main(path):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
