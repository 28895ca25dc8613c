#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures `sheetfind-cli annotate` on a generated CSV table against the bare batch
# path on the same points: records (lines) per second, as the median of several
# runs on one core, and their ratio.
#   bench/annotate_throughput.sh [ROWS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-10000000}
runs=${2:-5}

cmake --preset bench >/dev/null
cmake --build --preset bench --target sheetfind-cli >/dev/null
cli=build/bench/src/cli/sheetfind-cli

points=$(mktemp)
table=$(mktemp --suffix=.csv)
trap 'rm -f "$points" "$table"' EXIT
# The same points in both: the table adds an id and a name, one quoted in five.
awk -v n="$rows" -v points="$points" 'BEGIN {
    srand(20261208)
    print "id,name,lat,lon"
    for (i = 0; i < n; i++) {
        lat = sprintf("%.6f", 40 + 40 * rand())
        lon = sprintf("%.6f", -48 - 96 * rand())
        print lat, lon > points
        name = i % 5 == 0 ? "\"Site " i ", north\"" : "site" i
        printf "%d,%s,%s,%s\n", i, name, lat, lon
    }
}' >"$table"

# The median of `runs` timings of a command reading the file INPUT.
#   median INPUT COMMAND...
median() {
    local input=$1
    shift
    local times=()
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s.%N)
        "$@" <"$input" >/dev/null
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
    done
    printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

bare=$(median "$points" env LC_ALL=C taskset -c 0 "$cli")
annotate=$(median "$table" env LC_ALL=C taskset -c 0 "$cli" annotate)
awk -v n="$rows" -v r="$runs" -v b="$bare" -v a="$annotate" 'BEGIN {
    printf "bare batch: %d lines, median of %d runs: %.3f s, %.0f lines/s\n", n, r, b, n / b
    printf "annotate:   %d rows,  median of %d runs: %.3f s, %.0f rows/s\n", n, r, a, n / a
    printf "annotate / bare: %.2f\n", b / a
}'
