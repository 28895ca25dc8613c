#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Looking up points maps neither GDAL nor Qt: each command of the point path is run
# under the dynamic loader's own log of the files it maps, which names every library
# loaded at start-up or later with dlopen. A command that reads a layer must map GDAL,
# so that the check cannot pass on a log that names nothing.
#   check_point_path_libraries.sh SHEETFIND_CLI
set -uo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'lat,lon\n49.25,-123.1\n' >"$work/table.csv"

failed=0
mapped() { # NAME COMMAND...: the libraries the command maps, one per line
    local name=$1
    shift
    LD_DEBUG=files LD_DEBUG_OUTPUT="$work/$name" "$@" </dev/null >/dev/null 2>&1
    cat "$work/$name".* 2>/dev/null | sed -n 's/.*file=\([^ ]*\) .*/\1/p' | sort -u
}
check() { # NAME COMMAND...
    local name=$1 found
    found=$(mapped "$@" | grep -E 'libgdal|libQt6' || true)
    if [ -n "$found" ]; then
        echo "$name maps $(echo "$found" | tr '\n' ' ')"
        failed=1
    fi
}
check bare "$cli" 49.25 -123.1
check lines sh -c "printf '49.25 -123.1\n' | '$cli'"
check locate "$cli" locate 49.25 -123.1
check bounds "$cli" bounds 092G06
check neighbours "$cli" neighbours 092G06
check cover "$cli" cover 49 -124 50 -122
check grid "$cli" grid -s 1m
check annotate "$cli" annotate "$work/table.csv"

if ! mapped layer "$cli" cover --wkt "POINT(-123.1 49.25)" | grep -q libgdal; then
    echo "cover --wkt maps no libgdal: the loader's log names nothing this check can trust"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "the point path maps neither GDAL nor Qt"
exit "$failed"
