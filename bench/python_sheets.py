#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The 1:50 000 lookup of bench/numpy_sheets.py, done with sheetfind: reads
"LATITUDE LONGITUDE" lines from the file named on the command line and writes one
reference (or an empty line) per point to standard output."""
import sys

import numpy as np

import sheetfind


def write_lines(references, out):
    # '<U6' code points, one byte each in ASCII, with a newline per point and the
    # zero padding dropped: the same bytes as one print per point.
    text = np.empty((len(references), 7), dtype=np.uint8)
    text[:, :6] = references.view(np.uint32).reshape(-1, 6)
    text[:, 6] = ord("\n")
    flat = text.ravel()
    out.write(flat[flat != 0].tobytes())


def main(path):
    with open(path, "rb") as source:
        lat, lon = sheetfind.read_points(source.read())
    write_lines(sheetfind.locate(lat, lon), sys.stdout.buffer)


if __name__ == "__main__":
    main(sys.argv[1])
