#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws Sheetfind's icon: a map area cut into its 4 x 4 sheets, with the west
coast in blue and one sheet picked out in yellow with a red point on it.

Writes, beside this script or into the folder given as the only argument:
  sheetfind.svg                the scalable icon (Linux desktops)
  sheetfind-SIZE.png           the icon at 16, 24, 32, 48, 64, 128 and 256 px,
                               for the desktop and for the window itself
  sheetfind.ico                the program file's and the window's icon
                               (Windows): 32 and 16 px, as Windows 3 and 95
                               drew them

Every picture is drawn from one layout per size, fitted to whole pixels so
that the sheet lines stay sharp: an icon scaled from one master blurs its
one-pixel lines at the small sizes. The SVG is the 256 px layout as vector
shapes, so a desktop that scales it gets the same picture as the 256 px PNG.

Every raster picture uses the 16 colours of the classic Windows palette (4
bits per pixel), so the same pictures serve the .ico and the PNGs. Only the
standard library is used, and the output is byte-for-byte reproducible.
"""

import os
import struct
import sys
import zlib
from dataclasses import dataclass

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

# A map area holds 4 x 4 sheets.
SHEETS_PER_SIDE = 4
# Sheets in the sea, as (column, row) counted from the north-west corner: the
# picture's west coast.
SEA = {(0, 1), (0, 2), (0, 3), (1, 3)}
# The sheet that the lookup found.
FOUND = (2, 1)


@dataclass(frozen=True)
class Layout:
    """One size's picture in whole pixels. The map's outer frame starts at
    (first, first); sheets are cell pixels wide inside, parted by grid-pixel
    lines; the shadow is offset by its own width to the south-east. A size too
    small for a point (point == 0) fills the found sheet red instead."""
    size: int
    first: int
    border: int
    grid: int
    cell: int
    shadow: int
    point: int

    @property
    def span(self):
        """The map's width and height, frame included."""
        return 2 * self.border + SHEETS_PER_SIDE * self.cell + (SHEETS_PER_SIDE - 1) * self.grid

    def sheet_origin(self, index):
        """The first inner pixel of the sheet in this column (or row)."""
        return self.first + self.border + index * (self.cell + self.grid)


# The lines thicken about in step with the size, and each point is centred on
# whole pixels: the cell and the point differ by an even number.
LAYOUTS = [
    Layout(size=16, first=1, border=1, grid=1, cell=2, shadow=1, point=0),
    Layout(size=24, first=1, border=1, grid=1, cell=4, shadow=1, point=2),
    Layout(size=32, first=2, border=1, grid=1, cell=6, shadow=1, point=2),
    Layout(size=48, first=2, border=2, grid=1, cell=9, shadow=2, point=3),
    Layout(size=64, first=3, border=2, grid=2, cell=12, shadow=2, point=4),
    Layout(size=128, first=4, border=4, grid=3, cell=25, shadow=4, point=9),
    Layout(size=256, first=8, border=8, grid=6, cell=50, shadow=8, point=18),
]
# The program file's icon, which is also its window's: the large and the small
# icon of Windows, in that order.
ICO_SIZES = [32, 16]
# The size whose layout the SVG draws.
SVG_SIZE = 256


def rectangles(layout):
    """The picture as (x, y, width, height, colour) in painting order: the
    shadow, the frame, the grid, the sheets, the point."""
    first, span, shadow = layout.first, layout.span, layout.shadow
    shapes = [
        (first + shadow, first + shadow, span, span, GRAY),
        (first, first, span, span, BLACK),
        (first + layout.border, first + layout.border,
         span - 2 * layout.border, span - 2 * layout.border, GRAY),
    ]
    for row in range(SHEETS_PER_SIDE):
        for column in range(SHEETS_PER_SIDE):
            sheet = (column, row)
            colour = AQUA if sheet in SEA else WHITE
            if sheet == FOUND:
                colour = YELLOW if layout.point else RED
            shapes.append((layout.sheet_origin(column), layout.sheet_origin(row),
                           layout.cell, layout.cell, colour))
    if layout.point:
        inset = (layout.cell - layout.point) // 2
        shapes.append((layout.sheet_origin(FOUND[0]) + inset, layout.sheet_origin(FOUND[1]) + inset,
                       layout.point, layout.point, RED))
    return shapes


def draw(layout):
    """Returns the picture as rows of palette indices."""
    size = layout.size
    if layout.first + layout.span + layout.shadow > size:
        raise ValueError(f"the {size} px layout does not fit its picture")
    if layout.point and (layout.cell - layout.point) % 2:
        raise ValueError(f"the {size} px point is not centred on whole pixels")
    pixels = [[CLEAR] * size for _ in range(size)]
    for x0, y0, width, height, colour in rectangles(layout):
        for y in range(y0, y0 + height):
            pixels[y][x0:x0 + width] = [colour] * width
    return pixels


def svg(layout):
    """The picture as SVG rectangles on a grid of the layout's pixels."""
    size = layout.size
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}"'
        f' viewBox="0 0 {size} {size}" shape-rendering="crispEdges">',
        "  <title>Sheetfind</title>",
    ]
    for x, y, width, height, colour in rectangles(layout):
        rgb = "#{:02x}{:02x}{:02x}".format(*PALETTE[colour])
        lines.append(f'  <rect x="{x}" y="{y}" width="{width}" height="{height}" fill="{rgb}"/>')
    lines.append("</svg>")
    return ("\n".join(lines) + "\n").encode("ascii")


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
        # The directory has one byte for each side; 0 stands for 256.
        side = len(picture) % 256
        directory += struct.pack("<BBBBHHII", side, side, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    pictures = {layout.size: draw(layout) for layout in LAYOUTS}
    files = {f"sheetfind-{size}.png": png(picture) for size, picture in pictures.items()}
    files["sheetfind.ico"] = ico([pictures[size] for size in ICO_SIZES])
    files["sheetfind.svg"] = svg(next(layout for layout in LAYOUTS if layout.size == SVG_SIZE))
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
