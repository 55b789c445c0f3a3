#!/usr/bin/env python3
"""Writes the 16-colour toolbar strip of the widget tests: two 16x15 images
on the standard button face (silver), a red square and a blue square."""
import struct
import sys

WIDTH, HEIGHT = 32, 15
# The standard 16-colour palette, as toolbars are drawn in (B, G, R, 0).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128), (128, 128, 0),
    (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0),
    (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
SILVER, RED, BLUE = 7, 9, 12


def pixel(x, y):
    inner = 4 <= x % 16 <= 11 and 4 <= y <= 10
    if not inner:
        return SILVER
    return RED if x < 16 else BLUE


def main(path):
    row_bytes = ((WIDTH * 4 + 31) // 32) * 4
    rows = bytearray()
    for y in reversed(range(HEIGHT)):
        row = bytearray(row_bytes)
        for x in range(WIDTH):
            row[x // 2] |= pixel(x, y) << (0 if x % 2 else 4)
        rows += row
    palette = b''.join(bytes((r, g, b, 0)) for (r, g, b) in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 4, 0, len(rows), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(header + info + palette + rows)


if __name__ == '__main__':
    main(sys.argv[1])
