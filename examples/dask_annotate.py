#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Adds the NTS sheet of every row to a large CSV (or Parquet) table with Dask.

    examples/dask_annotate.py points.csv annotated.csv
    examples/dask_annotate.py points.csv annotated.csv --scheduler tcp://HOST:8786

Without --scheduler it starts a LocalCluster on this machine; with it, the work runs
on the workers of that scheduler, which need the sheetfind package (installed, or on
their PYTHONPATH) and must see the input and output paths (a shared file system).
The table needs a latitude and a longitude column in decimal degrees (--lat, --lon);
the new column is named as sheetfind-cli names it (nts_50k, bcgs_20k...) unless --column is
given. Rows keep their order; a row with no sheet gets an empty field.
"""
import argparse
import sys
from pathlib import Path

import dask.dataframe as dd
from distributed import Client, LocalCluster, progress

import sheetfind



def arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source", help="CSV file (or .parquet) with a latitude and a longitude")
    parser.add_argument("output", help="CSV file (or .parquet) to write")
    parser.add_argument("--scheduler", help="address of a running scheduler, e.g. tcp://HOST:8786")
    parser.add_argument("--workers", type=int, default=2, help="LocalCluster workers (default 2)")
    parser.add_argument("--scale", default="50k", choices=sheetfind.scales())
    parser.add_argument("--lat", default="lat", help="latitude column (default lat)")
    parser.add_argument("--lon", default="lon", help="longitude column (default lon)")
    parser.add_argument("--column", help="name of the new column (default nts_50k...)")
    parser.add_argument("--blocksize", default="16MB", help="CSV bytes per partition")
    return parser.parse_args(argv)


def add_sheets(partition, lat, lon, scale, column):
    """One partition with its sheets: the array loop of sheetfind on whole columns."""
    out = partition.copy()
    out[column] = sheetfind.locate(partition[lat], partition[lon], scale=scale).astype(object)
    return out


def is_parquet(path):
    return Path(path).suffix == ".parquet"


def annotate(options):
    column = options.column or sheetfind.column_name(options.scale)
    if is_parquet(options.source):
        table = dd.read_parquet(options.source)
    else:
        # Coordinates are read as numbers; a text that is not one stops the run with
        # pandas' message naming it, rather than becoming a row without a sheet.
        table = dd.read_csv(
            options.source,
            blocksize=options.blocksize,
            dtype={options.lat: "float64", options.lon: "float64"},
        )
    for name in (options.lat, options.lon):
        if name not in table.columns:
            raise SystemExit(f"{options.source}: no column {name!r}; columns are {list(table.columns)}")
    meta = table._meta.assign(**{column: table._meta[options.lat].astype(object)})
    annotated = table.map_partitions(
        add_sheets, options.lat, options.lon, options.scale, column, meta=meta
    )
    if is_parquet(options.output):
        written = annotated.to_parquet(options.output, write_index=False, compute=False)
    else:
        written = annotated.to_csv(options.output, single_file=True, index=False, compute=False)
    return written


def main(argv=None):
    options = arguments(sys.argv[1:] if argv is None else argv)
    if options.scheduler:
        client = Client(options.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(
            n_workers=options.workers, threads_per_worker=1, dashboard_address=":0"
        )
        client = Client(cluster)
    try:
        futures = client.compute(annotate(options))
        progress(futures)
        print()
        # Raises here, with the worker's error, when a partition failed.
        client.gather(futures)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
