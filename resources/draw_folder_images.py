#!/usr/bin/env python3
"""Draws the folder tree's pictures and writes them as folder_images.bmp.

Usage: draw_folder_images.py [OUTPUT]   (default: folder_images.bmp beside this script)

Five pictures of 16 x 14 pixels side by side, in the order the tree uses
them: hard disk, networked disk, open folder, closed folder, highlighted
open folder. The strip is a 4-bit palette bitmap (eight colours, two
pixels a byte: half the bytes of an 8-bit one), stored bottom-up as
Windows expects. Pure green is the transparent colour: the image list takes
its mask from the top-left pixel, so that pixel must stay green.

Every colour is one of the sixteen standard ones: the tree's image list is
made without colour flags and so typically holds 16 colours; any other would
be replaced by its nearest standard one when the list is loaded.
"""
import os
import struct
import sys

PALETTE = {  # letter: (red, green, blue)
    ".": (0, 255, 0),      # transparent
    "k": (0, 0, 0),        # outline
    "d": (128, 128, 128),  # drive side and slot, lines on paper
    "l": (192, 192, 192),  # drive front
    "w": (255, 255, 255),  # drive top, paper, light on a folder's edge
    "g": (0, 128, 0),      # drive light (not the transparent green)
    "o": (128, 128, 0),    # folder inside and back
    "y": (255, 255, 0),    # folder front
}

DRIVE = [
    "...kkkkkkkkkkkk.",
    "..kwwwwwwwwwwkk.",
    ".kwwwwwwwwwwkdk.",
    "kkkkkkkkkkkkddk.",
    "kllllllllllkddk.",
    "klddddddlllkddk.",
    "kllllllggllkdk..",
    "kllllllllllkk...",
    "kkkkkkkkkkkk....",
]

HARD_DISK = ["................"] * 3 + DRIVE + ["................"] * 2

NETWORK_DISK = DRIVE + [
    "......kk........",
    "......kk........",
    "kkkkkkkkkkkkkkkk",
    "................",
    "................",
]

OPEN_FOLDER = [
    "................",
    "................",
    ".kkkkk..........",
    "koooookkkkkkkk..",
    "kooooooooooook..",
    "kookkkkkkkkkkkkk",
    "kookyyyyyyyyyyyk",
    "kokyyyyyyyyyyyk.",
    "kokyyyyyyyyyyyk.",
    "kkyyyyyyyyyyyk..",
    "kkyyyyyyyyyyyk..",
    "kkkkkkkkkkkkk...",
    "................",
    "................",
]

CLOSED_FOLDER = [
    "................",
    "................",
    ".kkkkk..........",
    "kwyyyykkkkkkkkk.",
    "kwwwwwwwwwwwwwk.",
    "kwyyyyyyyyyyyyk.",
    "kwyyyyyyyyyyyyk.",
    "kwyyyyyyyyyyyyk.",
    "kwyyyyyyyyyyyyk.",
    "kwyyyyyyyyyyyyk.",
    "kwyyyyyyyyyyyyk.",
    "koooooooooooook.",
    "kkkkkkkkkkkkkkk.",
    "................",
]

# The open folder with a sheet of paper in it and a lit edge: the folder
# the user has selected.
HIGHLIGHTED_FOLDER = [
    "................",
    "......kkkkkkk...",
    ".kkkkkkwwwwwk...",
    "kyyyyykwdddwkk..",
    "kyyyyykwwwwwkk..",
    "kyykkkkkkkkkkkkk",
    "kyykwwwwwwwwwwwk",
    "kykwyyyyyyyyyyk.",
    "kykwyyyyyyyyyyk.",
    "kkwyyyyyyyyyyk..",
    "kkwyyyyyyyyyyk..",
    "kkkkkkkkkkkkk...",
    "................",
    "................",
]

PICTURES = [HARD_DISK, NETWORK_DISK, OPEN_FOLDER, CLOSED_FOLDER, HIGHLIGHTED_FOLDER]
WIDTH, HEIGHT = 16, 14


def check(picture, index):
    if len(picture) != HEIGHT or any(len(row) != WIDTH for row in picture):
        sys.exit(f"picture {index} is not {WIDTH} x {HEIGHT}")
    unknown = {c for row in picture for c in row} - PALETTE.keys()
    if unknown:
        sys.exit(f"picture {index} uses unknown colours {sorted(unknown)}")


def bitmap_bytes():
    for index, picture in enumerate(PICTURES):
        check(picture, index)
    letters = list(PALETTE)
    strip_width = WIDTH * len(PICTURES)
    row_size = (strip_width // 2 + 3) & ~3  # two pixels a byte, rows of whole words
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = [letters.index(picture[y][x]) for picture in PICTURES for x in range(WIDTH)]
        packed = bytes(row[x] << 4 | row[x + 1] for x in range(0, strip_width, 2))
        rows.append(packed + bytes(row_size - len(packed)))
    pixels = b"".join(rows)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE.values())
    info = struct.pack("<IiiHHIIiiII", 40, strip_width, HEIGHT, 1, 4, 0, len(pixels), 2835, 2835,
                       len(letters), 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "folder_images.bmp")
    with open(output, "wb") as f:
        f.write(bitmap_bytes())


if __name__ == "__main__":
    main()
