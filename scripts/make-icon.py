#!/usr/bin/env python3
"""Draws the program's icon (resource 128) and writes it as a Windows .ico file.

A dark blue disc, the sea chart's colour, with a white ring of two arrows chasing each other:
the synchronization that the program guards. Sizes 16, 32 and 48 pixels, 32-bit BGRA, drawn
with 4x4 supersampling so the edges stay smooth at tray size. Run from the repository root:

    python3 scripts/make-icon.py app/win32/res/sundra.ico
"""
import math
import struct
import sys

BLUE = (0x1F, 0x4E, 0x79)
WHITE = (0xFF, 0xFF, 0xFF)


def coverage(size, x, y):
    """Returns (alpha of disc, alpha of white mark) for the pixel (x, y), supersampled."""
    n = 4
    disc = mark = 0.0
    c = size / 2.0
    for sy in range(n):
        for sx in range(n):
            px = x + (sx + 0.5) / n - c
            py = y + (sy + 0.5) / n - c
            r = math.hypot(px, py) / c  # 0 at the centre, 1 at the edge
            if r <= 0.98:
                disc += 1
                if is_mark(px / c, py / c, r):
                    mark += 1
    return disc / (n * n), mark / (n * n)


def is_mark(u, v, r):
    angle = math.degrees(math.atan2(-v, u)) % 360.0
    ring = 0.46 <= r <= 0.66
    # Two arcs with gaps just behind the arrow heads.
    for start in (20.0, 200.0):
        span = (angle - start) % 360.0
        if ring and 0.0 <= span <= 140.0:
            return True
        # Arrow head at the end of each arc: a triangle pointing along the circle.
        head = math.radians(start + 140.0)
        hx, hy = math.cos(head) * 0.56, -math.sin(head) * 0.56
        tx, ty = -math.sin(head), -math.cos(head)  # tangent in the arc's direction (screen coords)
        nx, ny = math.cos(head), -math.sin(head)   # outward normal
        du, dv = u - hx, v - hy
        along = du * tx + dv * ty
        across = du * nx + dv * ny
        if 0.0 <= along <= 0.26 and abs(across) <= 0.22 * (1.0 - along / 0.26):
            return True
    return False


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(size):
            disc, mark = coverage(size, x, y)
            if disc == 0:
                row += bytes((0, 0, 0, 0))
                continue
            w = mark / disc
            rgb = [round(BLUE[i] * (1 - w) + WHITE[i] * w) for i in range(3)]
            row += bytes((rgb[2], rgb[1], rgb[0], round(255 * disc)))
        rows.append(bytes(row))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app/win32/res/sundra.ico")
