#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang and runs each for a fixed time, starting
# from the committed seeds. Every target runs; fails at the end on any finding,
# naming the targets that found one.
#   scripts/fuzz.sh [SECONDS per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
seconds=${1:-30}

need_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=()
for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$work/$name"
    # New inputs go to the scratch folder; the committed seeds stay as they are.
    if ! build/fuzz/fuzz/"fuzz_$name" -dict=fuzz/notations.dict -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/$name" "$corpus" >"$work/$name.log" 2>&1; then
        tail -n 60 "$work/$name.log"
        echo "fuzz_$name found a failure; the input is in the log above" >&2
        failed+=("fuzz_$name")
        continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    echo "fuzz_$name: $runs executions in $seconds s, no finding"
    passed=$((passed + 1))
done
echo "fuzz: $passed passed, ${#failed[@]} failed${failed[*]:+: ${failed[*]}}"
[ "${#failed[@]}" -eq 0 ]
