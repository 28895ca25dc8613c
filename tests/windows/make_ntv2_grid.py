#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes a small NTv2 grid from NAD27 to NAD83 over British Columbia, whose shifts are
all zero, under the name PROJ looks for Canada's grid by (ntv2_0.gsb, the old name of
ca_nrc_ntv2_0.tif): where PROJ finds it, it shifts with "NAD27 to NAD83 (4)" instead
of its coarse fallback, so a test can tell where PROJ looks for a user's grids.

    make_ntv2_grid.py FILE
"""
import struct
import sys

SOUTH, NORTH, EAST, WEST = 48 * 3600.0, 60 * 3600.0, 114 * 3600.0, 140 * 3600.0  # seconds, west positive
STEP = 3600.0


def record(name, value):
    """One 16-byte header record: its name, then an integer, a double or a text."""
    key = name.ljust(8).encode()
    if isinstance(value, int):
        return key + struct.pack("<i", value) + bytes(4)
    if isinstance(value, float):
        return key + struct.pack("<d", value)
    return key + value.ljust(8).encode()


def main():
    rows = int((NORTH - SOUTH) / STEP) + 1
    columns = int((WEST - EAST) / STEP) + 1
    overview = [record("NUM_OREC", 11), record("NUM_SREC", 11), record("NUM_FILE", 1),
                record("GS_TYPE", "SECONDS"), record("VERSION", "NTv2.0"),
                record("SYSTEM_F", "NAD27"), record("SYSTEM_T", "NAD83"),
                record("MAJOR_F", 6378206.4), record("MINOR_F", 6356583.8),
                record("MAJOR_T", 6378137.0), record("MINOR_T", 6356752.314)]
    grid = [record("SUB_NAME", "BC"), record("PARENT", "NONE"), record("CREATED", "20261210"),
            record("UPDATED", "20261210"), record("S_LAT", SOUTH), record("N_LAT", NORTH),
            record("E_LONG", EAST), record("W_LONG", WEST), record("LAT_INC", STEP),
            record("LONG_INC", STEP), record("GS_COUNT", rows * columns)]
    # Each node: the shifts in latitude and longitude, then their accuracies.
    nodes = struct.pack("<ffff", 0.0, 0.0, 0.01, 0.01) * (rows * columns)
    with open(sys.argv[1], "wb") as out:
        out.write(b"".join(overview + grid) + nodes + b"END     " + bytes(8))


if __name__ == "__main__":
    main()
