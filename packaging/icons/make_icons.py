#!/usr/bin/env python3
"""Renders veltrim-48.png and veltrim-256.png, the raster twins of
veltrim.svg: an insole seen from above, shaded like a height map, on the
view's teal gradient. Run from this folder; needs only the standard library."""
import struct
import zlib


def inside_insole(x, y):
    # forefoot and heel ellipses joined by a waist, in a 256 x 256 frame
    fore = ((x - 130) / 56) ** 2 + ((y - 82) / 60) ** 2 <= 1
    heel = ((x - 128) / 42) ** 2 + ((y - 192) / 46) ** 2 <= 1
    waist = 100 <= y <= 192 and abs(x - 128 - (150 - y) * 0.08) <= 40 - (y - 100) * 0.05
    return fore or heel or waist


def pixel(x, y):
    if not (8 <= x < 248 and 8 <= y < 248):
        return (0, 0, 0, 0)
    corner = [(cx, cy) for cx in (44, 212) for cy in (44, 212)
              if (x < 44 or x >= 212) and (y < 44 or y >= 212)]
    if corner and min((x - cx) ** 2 + (y - cy) ** 2 for cx, cy in corner) > 36 ** 2:
        return (0, 0, 0, 0)
    if inside_insole(x, y):
        edge = not all(inside_insole(x + dx, y + dy) for dx, dy in ((5, 0), (-5, 0), (0, 5), (0, -5)))
        if edge:
            return (255, 0, 255, 255)
        g = int(40 + 215 * (x - 70) / 120)
        g = max(30, min(255, g))
        return (g, g, g, 255)
    t = (y - 8) / 240
    return (0, int(0x33 + (0xcc - 0x33) * t), int(0x33 + (0xcc - 0x33) * t), 255)


def write_png(path, size):
    step = 256 / size
    rows = []
    for j in range(size):
        row = bytearray([0])
        for i in range(size):
            # average a 4 x 4 grid of samples per pixel
            acc = [0, 0, 0, 0]
            for sy in range(4):
                for sx in range(4):
                    p = pixel(int((i + (sx + 0.5) / 4) * step), int((j + (sy + 0.5) / 4) * step))
                    for k in range(4):
                        acc[k] += p[k]
            row += bytes(v // 16 for v in acc)
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


for size in (48, 256):
    write_png(f"veltrim-{size}.png", size)
