#!/usr/bin/env python3
"""Writes the two tray icons, idle.ico and active.ico, next to this script.

Each icon holds a 32x32 and a 16x16 image, 4 bits per pixel in the standard
16-colour palette, with an AND mask: a dark blue frame around a panel of three
by three grey keys, each key with a yellow lamp. The idle panel is white, the
active panel green. The 32x32 images are also written as help/idle.bmp and
help/active.bmp, so that the help shows the icons it describes. Run it again
after changing the drawing; the output is byte-for-byte reproducible.
"""

import os
import struct

# The standard 16-colour palette in its usual Windows order, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREEN, NAVY, SILVER, GREY, YELLOW, WHITE = 0, 2, 4, 7, 8, 11, 15
TRANSPARENT = None

# Geometry per size: frame width on the top/left and on the bottom/right
# (the thicker bottom/right edge reads as the box's shadow at 16 pixels),
# the margin between frame and keys, the key size and the gap between keys.
GEOMETRY = {
    32: dict(frame_tl=3, frame_br=3, margin=2, key=6, gap=2),
    16: dict(frame_tl=1, frame_br=2, margin=1, key=3, gap=1),
}


def draw(size, panel):
    g = GEOMETRY[size]
    px = [[NAVY] * size for _ in range(size)]
    inner_lo, inner_hi = g["frame_tl"], size - g["frame_br"]
    for y in range(inner_lo, inner_hi):
        for x in range(inner_lo, inner_hi):
            px[y][x] = panel
    # Rounded outer corners.
    for x, y in ((0, 0), (size - 1, 0), (0, size - 1), (size - 1, size - 1)):
        px[y][x] = TRANSPARENT
    k = g["key"]
    for row in range(3):
        for col in range(3):
            top = inner_lo + g["margin"] + row * (k + g["gap"])
            left = inner_lo + g["margin"] + col * (k + g["gap"])
            for dy in range(k):
                for dx in range(k):
                    shadow = dx == k - 1 or dy == k - 1
                    px[top + dy][left + dx] = GREY if shadow else SILVER
            if size >= 32:
                # A lamp window across the upper part of the key face.
                for dy in (1, 2):
                    for dx in (1, 2, 3):
                        px[top + dy][left + dx] = YELLOW
            else:
                px[top + 1][left + 1] = YELLOW
    return px


def image_bytes(px, with_mask=True):
    size = len(px)
    height = size * 2 if with_mask else size  # an icon's height counts the mask too
    header = struct.pack("<IiiHHIIiiII", 40, size, height, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, gr, r, 0) for r, gr, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        row = px[y] if with_mask else [WHITE if c is TRANSPARENT else c for c in px[y]]
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            index = BLACK if c is TRANSPARENT else c
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if c is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + (bytes(mask) if with_mask else b"")


def bitmap_file_bytes(px):
    dib = image_bytes(px, with_mask=False)
    return struct.pack("<2sIHHI", b"BM", 14 + len(dib), 0, 0, 14 + 40 + 16 * 4) + dib


def icon_bytes(panel):
    images = [image_bytes(draw(size, panel)) for size in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    help_dir = os.path.join(here, "..", "..", "help")
    for name, panel in (("idle", WHITE), ("active", GREEN)):
        with open(os.path.join(here, name + ".ico"), "wb") as f:
            f.write(icon_bytes(panel))
        with open(os.path.join(help_dir, name + ".bmp"), "wb") as f:
            f.write(bitmap_file_bytes(draw(32, panel)))


if __name__ == "__main__":
    main()
