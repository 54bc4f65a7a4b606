#!/usr/bin/env python3
"""Writes the placeholder editor images into resources/img/.

Plain drawings (a panel, knob strips with a pointer per frame, two-state
switches, a meter strip) with the sizes and frame counts the editor expects,
until the final artwork replaces them. Pure Python: no imaging package.
Run: python3 resources/make_placeholders.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a)."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def blank(w, h, colour):
    return [[colour] * w for _ in range(h)]


def knob_strip(size, frames, body):
    rows = []
    c = (size - 1) / 2.0
    radius = size * 0.42
    for k in range(frames):
        # 300 degrees of travel clockwise, from 8 o'clock through 12 to 4.
        angle = math.radians(240 - 300.0 * k / max(1, frames - 1))
        px, py = math.cos(angle), -math.sin(angle)
        for y in range(size):
            row = []
            for x in range(size):
                dx, dy = x - c, y - c
                d = math.hypot(dx, dy)
                if d > radius:
                    row.append((0, 0, 0, 0))
                    continue
                along = dx * px + dy * py
                across = abs(dx * py - dy * px)
                if along > radius * 0.25 and across < 1.6:
                    row.append((240, 240, 240, 255))
                elif d > radius - 1.5:
                    row.append((20, 20, 24, 255))
                else:
                    row.append(body)
            rows.append(row)
    return rows


def switch_strip(w, h):
    rows = []
    for k in range(2):
        lit = (230, 160, 40, 255) if k else (70, 60, 50, 255)
        for y in range(h):
            row = []
            for x in range(w):
                edge = x in (0, w - 1) or y in (0, h - 1)
                row.append((20, 20, 24, 255) if edge else lit)
            rows.append(row)
    return rows


def meter_strip(w, h, frames):
    rows = []
    for k in range(frames):
        lit = int(round(w * k / max(1, frames - 1)))
        for y in range(h):
            row = []
            for x in range(w):
                if y in (0, h - 1):
                    row.append((20, 20, 24, 255))
                elif x < lit:
                    row.append((200, 60 + 150 * x // w, 40, 255))
                else:
                    row.append((40, 40, 44, 255))
            rows.append(row)
    return rows


def background(w, h):
    rows = []
    for y in range(h):
        shade = 70 - 30 * y // h
        row = []
        for x in range(w):
            if x in (0, w - 1) or y in (0, h - 1):
                row.append((15, 15, 18, 255))
            else:
                row.append((shade, shade + 4, shade + 10, 255))
        rows.append(row)
    return rows


def main():
    out = os.path.join(HERE, "img")
    os.makedirs(out, exist_ok=True)
    images = {
        "BG.png": (838, 245, background(838, 245)),
        "VU.png": (120, 61 * 12, meter_strip(120, 12, 61)),
        "RAT.png": (64, 4 * 64, knob_strip(64, 4, (110, 50, 40, 255))),
        "BY.png": (40, 2 * 20, switch_strip(40, 20)),
        "INTER.png": (40, 2 * 20, switch_strip(40, 20)),
        "OVER.png": (40, 2 * 20, switch_strip(40, 20)),
        "SC.png": (40, 2 * 20, switch_strip(40, 20)),
    }
    for name, size in (("IN", 80), ("OUT", 80), ("ATK", 64), ("REL", 64),
                       ("HPF", 56), ("MIX", 56), ("HF", 56), ("MIDF", 56),
                       ("MIDG", 56)):
        images[name + ".png"] = (size, 61 * size, knob_strip(size, 61, (60, 64, 76, 255)))
    for name, (w, h, pixels) in sorted(images.items()):
        assert len(pixels) == h and all(len(r) == w for r in pixels)
        write_png(os.path.join(out, name), w, h, pixels)
        print(name, w, h)


if __name__ == "__main__":
    main()
