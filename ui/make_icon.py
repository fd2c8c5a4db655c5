#!/usr/bin/env python3
"""Draws the program's icon (a configuration sheet, an arrow and a brick
firewall on a rounded tile) and writes it as a Windows .ico file with 16, 32
and 48 pixel images in 32-bit colour with alpha.

    make_icon.py OUTPUT.ico
"""
import struct
import sys

SAMPLES = 4  # supersampling per axis, for smooth edges


def inside_rounded(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def colour_at(x, y):
    """Colour (r, g, b, a) of the point (x, y) in the unit square, y down."""
    # Firewall: a brick wall on the right.
    if 0.60 <= x <= 0.92 and 0.26 <= y <= 0.78:
        row = int((y - 0.26) / 0.13)
        offset = 0.0 if row % 2 == 0 else 0.08
        mortar_y = ((y - 0.26) % 0.13) < 0.025
        mortar_x = ((x - 0.60 + offset) % 0.16) < 0.025
        if mortar_y or mortar_x:
            return (250, 235, 215, 255)
        return (214, 84, 40, 255)
    # Arrow from the sheet to the wall.
    if 0.40 <= x <= 0.52 and 0.46 <= y <= 0.58:
        return (255, 255, 255, 255)
    if 0.52 <= x <= 0.60 and abs(y - 0.52) <= (0.60 - x) * 1.2:
        return (255, 255, 255, 255)
    # Configuration sheet with text lines on the left.
    if 0.10 <= x <= 0.38 and 0.18 <= y <= 0.84:
        line = (y - 0.30) % 0.12
        if 0.15 <= x <= 0.33 and 0.28 <= y <= 0.78 and line < 0.04:
            return (70, 110, 150, 255)
        return (255, 255, 255, 255)
    # The tile.
    if inside_rounded(x, y, 0.02, 0.02, 0.98, 0.98, 0.18):
        shade = int(40 + 50 * (1 - y))
        return (20, shade + 60, shade + 110, 255)
    return (0, 0, 0, 0)


def render(size):
    """Rows of BGRA pixels, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    r, g, b, a = colour_at(x, y)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[2] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[0] / acc[3]), round(alpha)))
        rows.append(row)
    return rows


def image_data(size):
    """A 32-bit DIB as stored in an .ico: header, XOR pixels, AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(c for px in row for c in px) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main():
    sizes = (16, 32, 48)
    images = [image_data(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
