#!/usr/bin/env python3
"""Writes the two 16 x 16, 16-colour toolbox bitmaps from the pixel art below.

Run it after changing a picture; the .bmp files are committed so builds need no Python.
"""
import os
import struct

# The standard 16-colour palette (B, G, R, 0).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # as (R, G, B)

# One hex digit a pixel, top row first. 7 = light grey (the toolbox background).
CARD = [  # a card with its dark magnetic stripe, swiped through a reader slot
    "7777777777777777",
    "7777777777777777",
    "7FFFFFFFFFFFFF77",
    "7F000000000000F7",
    "7F000000000000F7",
    "7FFFFFFFFFFFFFF7",
    "7FFFFFFFFFFFFFF7",
    "7FF44444FFFFFFF7",
    "7FFFFFFFFFFFFFF7",
    "7FF8888888888FF7",
    "7FFFFFFFFFFFFFF7",
    "78888888888888F7",
    "7777777777777777",
    "8888888888888888",
    "0000000000000000",
    "7777777777777777",
]
FINGER = [  # concentric ridges of a fingertip
    "7777777777777777",
    "7777700000777777",
    "7777077777077777",
    "7770770007707777",
    "7707707770770777",
    "7707077777070777",
    "7070770007707077",
    "7070707770707077",
    "7070707070707077",
    "7070707070707077",
    "7070770707707077",
    "7707077077070777",
    "7707707770770777",
    "7770770007707777",
    "7777077777077777",
    "7777700000777777",
]


def write_bmp(path, rows):
    width, height = 16, 16
    row_bytes = 8  # 16 pixels at 4 bits, already a multiple of 4
    pixels = b"".join(bytes.fromhex(row) for row in reversed(rows))  # bottom-up
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    size = offset + row_bytes * height
    header = struct.pack("<2sIHHI", b"BM", size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, row_bytes * height, 0, 0, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


here = os.path.dirname(os.path.abspath(__file__))
write_bmp(os.path.join(here, "velquist", "toolbox.bmp"), CARD)
write_bmp(os.path.join(here, "fingerprint", "toolbox.bmp"), FINGER)
