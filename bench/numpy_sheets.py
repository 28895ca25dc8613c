#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The 1:50 000 lookup as an analyst would write it with numpy, for comparison.

Reads "LATITUDE LONGITUDE" lines from the file named on the command line and writes
one reference (or an empty line) per point to standard output, like sheetfind-cli.
"""
import sys

import numpy as np

SOUTHERN_LETTERS = np.frombuffer(b"ABCDHGFEIJKLPONM", dtype=np.uint8)
ARCTIC_LETTERS = np.frombuffer(b"ABDCEFHG", dtype=np.uint8)
SHEETS = np.array([1, 2, 3, 4, 8, 7, 6, 5, 9, 10, 11, 12, 16, 15, 14, 13])


def sheet_text(lat, lon):
    """One row of 7 bytes per point: the reference and a newline, or 6 blanks and a
    newline where no sheet covers the point."""
    inside = (lat >= 40) & (lat < 80) & (lon > -144) & (lon <= -48)
    arctic = lat >= 68

    west = -48.0 - lon
    north = lat - 40.0
    column = np.floor(west / 8)
    row = np.floor(north / 4)
    west -= column * 8
    north -= row * 4
    area_width = np.where(arctic, 4.0, 2.0)
    area_column = np.floor(west / area_width)
    area_row = np.floor(north)
    west -= area_column * area_width
    north -= area_row
    sheet_column = np.floor(west / (area_width / 4))
    sheet_row = np.floor(north / 0.25)

    # Out-of-band points would index outside the tables: clamp them, then blank them.
    column = np.clip(column, 0, 11).astype(np.int64)
    row = np.clip(row, 0, 9).astype(np.int64)
    area_column = np.clip(area_column, 0, 3).astype(np.int64)
    area_row = np.clip(area_row, 0, 3).astype(np.int64)
    sheet = SHEETS[(np.clip(sheet_row, 0, 3) * 4 + np.clip(sheet_column, 0, 3)).astype(np.int64)]
    letter = np.where(
        arctic,
        ARCTIC_LETTERS[area_row * 2 + np.minimum(area_column, 1)],
        SOUTHERN_LETTERS[area_row * 4 + area_column],
    )

    text = np.empty((len(lat), 7), dtype=np.uint8)
    text[:, 0] = ord("0") + column // 10
    text[:, 1] = ord("0") + column % 10
    text[:, 2] = ord("0") + row
    text[:, 3] = letter
    text[:, 4] = ord("0") + sheet // 10
    text[:, 5] = ord("0") + sheet % 10
    text[:, 6] = ord("\n")
    text[~inside, :6] = ord(" ")
    return text


def main(path):
    points = np.loadtxt(path, dtype=np.float64, ndmin=2)
    text = sheet_text(points[:, 0], points[:, 1])
    flat = text.ravel()
    sys.stdout.buffer.write(flat[flat != ord(" ")].tobytes())


if __name__ == "__main__":
    main(sys.argv[1])
