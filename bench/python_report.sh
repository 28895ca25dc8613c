#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python module's speed, medians of several runs on one core (taskset -c 0):
#   - end to end, text points in and references out, against bench/numpy_sheets.py,
#     beside bench/floor (the least any program can do for the same bytes) and the
#     start of Python with numpy, which bound what any Python script can gain here;
#   - sheetfind.locate on arrays in memory, against the numpy formula alone;
#   - sheetfind.locate against the C++ locate loop plus the output array alone;
#   - annotate of a GeoDataFrame of points against locate on its coordinates as arrays,
#     and against geopandas.sjoin with the 1:50 000 grid, the same sheets.
# Answers are checked to be identical to the numpy formula's before anything is timed.
#   bench/python_report.sh [POINTS, default 10000000] [RUNS, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
points=${1:-10000000}
runs=${2:-5}
py=/usr/bin/python3

need_packages "${BUILD_PACKAGES[@]}" libbenchmark-dev python3-dev pybind11-dev python3-numpy \
    python3-geopandas python3-rtree
cmake --preset bench >/dev/null
cmake --build --preset bench --target _sheetfind _sheetfind_gis floor >/dev/null
export PYTHONPATH="$PWD/build/bench/python"
floor=build/bench/bench/floor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The numpy formula covers [40, 80) x (-144, -48], the band of the 1:50 000 lookup;
# a latitude that %.6f rounds up to 80 is kept inside it.
awk -v n="$points" 'BEGIN {
    srand(20261208)
    for (i = 0; i < n; i++) {
        lat = sprintf("%.6f", 40 + 40 * rand())
        if (lat + 0 >= 80) lat = "79.999999"
        printf "%s %.6f\n", lat, -48 - 96 * rand()
    }
}' >"$work/points.txt"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { # the points file on standard input too, for bench/floor
    local start end
    start=$(date +%s.%N)
    taskset -c 0 "$@" <"$work/points.txt" >"$work/out.txt"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); $points points, $runs runs each, medians, taskset -c 0"
echo

taskset -c 0 "$py" bench/numpy_sheets.py "$work/points.txt" >"$work/numpy.txt"
taskset -c 0 "$py" bench/python_sheets.py "$work/points.txt" >"$work/sheetfind.txt"
cmp -s "$work/numpy.txt" "$work/sheetfind.txt" || {
    echo "FAIL: bench/python_sheets.py and bench/numpy_sheets.py answer differently" >&2
    exit 1
}
taskset -c 0 "$floor" <"$work/points.txt" | cmp -s - "$work/numpy.txt" || {
    echo "FAIL: bench/floor and bench/numpy_sheets.py answer differently" >&2
    exit 1
}
# Taken in turns, so that whatever else the machine does weighs on all alike.
numpy_times=()
sheetfind_times=()
floor_times=()
start_times=()
for _ in $(seq "$runs"); do
    numpy_times+=("$(seconds "$py" bench/numpy_sheets.py "$work/points.txt")")
    sheetfind_times+=("$(seconds "$py" bench/python_sheets.py "$work/points.txt")")
    floor_times+=("$(seconds "$floor")")
    start_times+=("$(seconds "$py" -c 'import numpy, sheetfind')")
done
numpy_end=$(printf '%s\n' "${numpy_times[@]}" | median)
sheetfind_end=$(printf '%s\n' "${sheetfind_times[@]}" | median)
floor_end=$(printf '%s\n' "${floor_times[@]}" | median)
start_end=$(printf '%s\n' "${start_times[@]}" | median)
awk -v n="$numpy_end" -v s="$sheetfind_end" -v f="$floor_end" -v p="$start_end" 'BEGIN {
    printf "End to end, text in and out:  numpy %.3f s  sheetfind %.3f s  ratio %.1fx (target >= 10x)\n", n, s, n / s
    printf "  bounds on that ratio:       bench/floor %.3f s, numpy / floor %.1fx; python3 with numpy and sheetfind imported %.3f s\n", f, n / f, p
}'

taskset -c 0 "$py" - "$work/points.txt" "$runs" <<'PY'
import statistics
import sys
import time

import numpy as np

sys.path.insert(0, "bench")
import numpy_sheets  # noqa: E402

import sheetfind  # noqa: E402
from sheetfind import _sheetfind  # noqa: E402

path, runs = sys.argv[1], int(sys.argv[2])
with open(path, "rb") as source:
    lat, lon = sheetfind.read_points(source.read())


def median_seconds(call):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


formula = numpy_sheets.sheet_text(lat, lon)[:, :6].view("S6").ravel()
answers = sheetfind.locate(lat, lon)
assert np.array_equal(np.char.strip(formula.astype("U6")), answers), "answers differ"

numpy_time = median_seconds(lambda: numpy_sheets.sheet_text(lat, lon))
locate_time = median_seconds(lambda: sheetfind.locate(lat, lon))
floor_time = median_seconds(lambda: _sheetfind._locate_loop_yardstick(lat, lon, "50k"))
print(
    f"Arrays in memory:              numpy formula {numpy_time:.3f} s  sheetfind.locate "
    f"{locate_time:.3f} s  ratio {numpy_time / locate_time:.1f}x (target >= 5x)"
)
print(
    f"Against the C++ loop:          locate loop + '<U6' array {floor_time:.3f} s  "
    f"sheetfind.locate {locate_time:.3f} s  ratio {locate_time / floor_time:.2f} (target <= 1.5)"
)
print(f"Per point: sheetfind.locate {locate_time / len(lat) * 1e9:.1f} ns")

# A GeoDataFrame of points, where analysts' points live: annotate against what the
# engine does on the same coordinates as arrays, written into a copy of the frame.
import geopandas as gpd  # noqa: E402

count = min(len(lat), 1_000_000)
frame = gpd.GeoDataFrame(geometry=gpd.points_from_xy(lon[:count], lat[:count]), crs="EPSG:4326")


def by_arrays():
    out = frame.copy()
    out["nts_50k"] = sheetfind.locate(lat[:count], lon[:count])


def medians_in_turns(*calls):
    """The median time of each call, the calls taken in turns."""
    times = [[] for _ in calls]
    for _ in range(runs):
        for taken, call in zip(times, calls):
            start = time.perf_counter()
            call()
            taken.append(time.perf_counter() - start)
    return [statistics.median(taken) for taken in times]


assert (sheetfind.annotate(frame)["nts_50k"].to_numpy() == answers[:count]).all(), "frames differ"
annotate_time, array_time = medians_in_turns(lambda: sheetfind.annotate(frame), by_arrays)
print(
    f"GeoPandas, {count} points:     annotate {annotate_time:.3f} s  locate on its arrays into a "
    f"copy {array_time:.3f} s  ratio {annotate_time / array_time:.1f}"
)

# Against the spatial join an analyst would write by hand, against the 1:50 000 grid
# as polygons (geopandas.sjoin, with rtree): checked to give the same sheets, then
# taken in turns with annotate.
grid = sheetfind.grid_frame("50k")[["reference", "geometry"]]


def by_join():
    return gpd.sjoin(frame, grid, how="left", predicate="within")


joined = by_join()
assert len(joined) == count and (
    joined["reference"].fillna("").to_numpy() == sheetfind.annotate(frame)["nts_50k"].to_numpy()
).all(), "the join gives other sheets"
annotate_time, join_time = medians_in_turns(lambda: sheetfind.annotate(frame), by_join)
print(
    f"GeoPandas, {count} points:     annotate {annotate_time:.3f} s  sjoin against the 1:50 000 "
    f"grid {join_time:.3f} s  {join_time / annotate_time:.0f}x faster (goal: at least 3x)"
)

# Memory: 20 more calls on all the points keep it flat, by tracemalloc and by the
# resident set, once a few calls have let the allocator settle.
import resource  # noqa: E402
import tracemalloc  # noqa: E402


def resident():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize()


for _ in range(3):
    del answers
    answers = sheetfind.locate(lat, lon)
del answers
tracemalloc.start()
traced_before, resident_before = tracemalloc.get_traced_memory()[0], resident()
for _ in range(20):
    answers = sheetfind.locate(lat, lon)
    del answers
traced_growth = tracemalloc.get_traced_memory()[0] - traced_before
resident_growth = resident() - resident_before
print(
    f"Memory over 20 calls on {len(lat)} points: traced {traced_growth} B, resident "
    f"{resident_growth / 2**20:.1f} MiB, one answer {len(lat) * 24 / 2**20:.0f} MiB"
)
PY
