#!/usr/bin/env python3
"""Draws Sheetfind's icon: a map area cut into its 4 x 4 sheets, with the west
coast in blue and one sheet picked out in yellow with a red point on it.

Writes, beside this script or into the folder given as the only argument:
  sheetfind-32.png, sheetfind-16.png  the window and desktop icon (Linux)
  sheetfind.ico                       the program file's icon (Windows)

Both sizes use the 16 colours of the classic Windows palette (4 bits per
pixel), so the same pictures serve the .ico and the PNGs. Only the standard
library is used, and the output is byte-for-byte reproducible.
"""

import os
import struct
import sys
import zlib

# The 16-colour Windows palette, in index order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GRAY, SILVER, RED, YELLOW, BLUE, AQUA, WHITE = 0, 8, 7, 9, 11, 12, 14, 15
# Magenta is never drawn: it marks the transparent pixels.
CLEAR = 13

# Sheets in the sea, as (column, row) counted from the north-west corner: the
# picture's west coast.
SEA = {(0, 1), (0, 2), (0, 3), (1, 3)}
# The sheet that the lookup found.
FOUND = (2, 1)


def draw(size):
    """Returns the picture as rows of palette indices."""
    cell = 6 if size == 32 else 2  # inner size of one sheet, in pixels
    first = 2 if size == 32 else 1  # the map's north-west corner
    step = cell + 1
    last = first + 4 * step  # the map's south-east corner
    pixels = [[CLEAR] * size for _ in range(size)]

    for y in range(first, last + 1):
        for x in range(first, last + 1):
            on_line_x = (x - first) % step == 0
            on_line_y = (y - first) % step == 0
            if x in (first, last) or y in (first, last):
                colour = BLACK
            elif on_line_x or on_line_y:
                colour = GRAY
            else:
                sheet = ((x - first) // step, (y - first) // step)
                colour = AQUA if sheet in SEA else WHITE
                if sheet == FOUND:
                    colour = YELLOW if size == 32 else RED
            pixels[y][x] = colour
    # A shadow to the south-east lifts the sheet off the desktop.
    for i in range(first + 1, last + 2):
        if last + 1 < size:
            pixels[i][last + 1] = GRAY
            pixels[last + 1][i] = GRAY

    if size == 32:
        # The point, in the middle of the found sheet.
        x0 = first + FOUND[0] * step + 1 + cell // 2 - 1
        y0 = first + FOUND[1] * step + 1 + cell // 2 - 1
        for dy in range(2):
            for dx in range(2):
                pixels[y0 + dy][x0 + dx] = RED
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(pixels):
    size = len(pixels)
    rows = b"".join(b"\x00" + bytes(row[i] << 4 | row[i + 1] for i in range(0, size, 2))
                    for row in pixels)
    alpha = bytes(0 if i == CLEAR else 255 for i in range(CLEAR + 1))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(rgb) for rgb in PALETTE))
            + chunk(b"tRNS", alpha)
            + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def padded(row):
    return row + b"\x00" * (-len(row) % 4)


def dib(pixels):
    """One icon image: a 4-bit bitmap, bottom row first, and its 1-bit mask."""
    size = len(pixels)
    colour = b""
    mask = b""
    for row in reversed(pixels):
        shown = [0 if i == CLEAR else i for i in row]
        colour += padded(bytes(shown[i] << 4 | shown[i + 1] for i in range(0, size, 2)))
        bits = 0
        for i in row:
            bits = bits << 1 | (i == CLEAR)
        mask += padded(bits.to_bytes(size // 8, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + colour + mask


def ico(pictures):
    images = [dib(p) for p in pictures]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for picture, image in zip(pictures, images):
        size = len(picture)
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    pictures = [draw(32), draw(16)]
    files = {
        "sheetfind-32.png": png(pictures[0]),
        "sheetfind-16.png": png(pictures[1]),
        "sheetfind.ico": ico(pictures),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
