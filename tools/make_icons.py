#!/usr/bin/env python3
"""Draws Lumaro's icons (32-bit with an AND mask) into res/, at every size
Windows asks for between 100 % and 200 % scaling, so that no icon is ever
stretched from another size: the 32 and 16 pixel images of 100 % first, as
they always were, then the larger ones.

Run once when an icon changes; the .ico files are kept in the repository.
"""
import math
import os
import struct
import sys


def render(size, painter):
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            # sample at the pixel centre in a unit square
            u = (x + 0.5) / size
            v = (y + 0.5) / size
            c = painter(u, v)
            if c is not None:
                px[y][x] = c
    return px


def ico_image(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = px[y][x]
            xor += bytes((b, g, r, a))
    row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        for x in range(size):
            if px[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(xor) + bytes(mask)


def write_ico(path, painter, sizes=(32, 16)):
    images = [ico_image(render(s, painter)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, 'wb') as f:
        f.write(out)


def disc(u, v, cx, cy, r):
    return (u - cx) ** 2 + (v - cy) ** 2 <= r * r


def clock(u, v):
    """Application icon: a blue clock face with two hands."""
    if not disc(u, v, .5, .5, .47):
        return None
    if not disc(u, v, .5, .5, .40):
        return (30, 70, 160, 255)
    # hands: to 12 o'clock and to 3 o'clock
    if abs(u - .5) < .05 and .16 < v < .54:
        return (20, 20, 60, 255)
    if abs(v - .5) < .05 and .46 < u < .76:
        return (20, 20, 60, 255)
    return (235, 240, 255, 255)


def check(u, v):
    """OK button icon: a green tick on a light disc."""
    if not disc(u, v, .5, .5, .46):
        return None
    d1 = abs((v - .55) - (u - .28))      # down stroke
    d2 = abs((v - .72) + (u - .45))      # up stroke
    if (d1 < .09 and .18 < u < .47) or (d2 < .09 and .42 < u < .82):
        return (0, 140, 40, 255)
    return (220, 245, 220, 255)


def close_mark(u, v):
    """Notice close icon: a white cross on an orange square."""
    if not (.06 < u < .94 and .06 < v < .94):
        return None
    if abs(u - v) < .09 and .22 < u < .78 or abs(u + v - 1) < .09 and .22 < u < .78:
        return (255, 255, 255, 255)
    return (230, 120, 20, 255)


def quit_mark(u, v):
    """Icon of a monitor that a newer one has retired: a grey clock, red bar."""
    if not disc(u, v, .5, .5, .47):
        return None
    if abs(u + v - 1) < .08:
        return (200, 20, 20, 255)
    if not disc(u, v, .5, .5, .40):
        return (110, 110, 110, 255)
    return (215, 215, 215, 255)


# Window and tray icons: the small icon (SM_CXSMICON) at 100, 125, 150 and
# 200 %, the large one (SM_CXICON) at 100 and 150 %. For the large one of 125
# and 200 % Windows scales the 48 pixel image: each size costs the program
# twice its pixels, and the program has a size limit.
WINDOW_SIZES = (32, 16, 20, 24, 48)
# Button icons sit on buttons 14 to 17 dialog units high: the small image of
# 100 % and its sizes at 125, 150 and 200 %.
BUTTON_SIZES = (16, 20, 24, 32)


def main():
    res = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'res')
    write_ico(os.path.join(res, 'lumaro.ico'), clock, WINDOW_SIZES)
    write_ico(os.path.join(res, 'ok.ico'), check, BUTTON_SIZES)
    write_ico(os.path.join(res, 'close.ico'), close_mark, BUTTON_SIZES)
    write_ico(os.path.join(res, 'quit.ico'), quit_mark, WINDOW_SIZES)


if __name__ == '__main__':
    main()
