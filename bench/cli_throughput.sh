#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures sheetfind-cli on a generated file of points spread over the grid's band:
# lines per second, as the median of several runs on one core.
#   bench/cli_throughput.sh [LINES] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
lines=${1:-1000000}
runs=${2:-5}

cmake --preset bench >/dev/null
cmake --build --preset bench --target sheetfind-cli >/dev/null
cli=build/bench/src/cli/sheetfind-cli

input=$(mktemp)
trap 'rm -f "$input"' EXIT
awk -v n="$lines" 'BEGIN {
    srand(20261208)
    for (i = 0; i < n; i++)
        printf "%.6f %.6f\n", 40 + 40 * rand(), -48 - 96 * rand()
}' >"$input"

times=()
for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    LC_ALL=C taskset -c 0 "$cli" <"$input" >/dev/null
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
done
median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
awk -v n="$lines" -v r="$runs" -v t="$median" \
    'BEGIN { printf "sheetfind-cli: %d lines, median of %d runs: %.3f s, %.0f lines/s\n", n, r, t, n / t }'
