#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# annotate and cover on PostGIS tables, through GDAL's "PG:" connection strings, against
# a PostgreSQL server of the check's own: made with initdb in a temporary folder,
# reached on a Unix socket in that folder only (no TCP), and stopped by its PID when the
# check ends, whether it passes or not. PostgreSQL refuses to run as root, so under
# root the server runs as nobody. Two tables in BC Albers (EPSG:3005), points and
# polygons placed from longitude and latitude with ST_Transform, one point without
# geometry; each output is read back with GDAL's Python bindings and every feature's
# fields, sheet and place are compared with what is known of them.
#   check_postgis.sh SHEETFIND_CLI
# Status 77 (skipped) when PostgreSQL 15 is not installed, except under CI, which
# installs it: there a missing server is a failure, never a test quietly left out.
set -uo pipefail
cli=$1
pg_bin=/usr/lib/postgresql/15/bin
python=/usr/bin/python3
for program in initdb pg_ctl psql; do
    if [ ! -x "$pg_bin/$program" ]; then
        echo "skipped: $pg_bin/$program is missing (Debian's postgresql-15-postgis-3)"
        [ "${CI:-}" = true ] && exit 1
        exit 77
    fi
done

work=$(mktemp -d)
stop_server() {
    local pid
    pid=$(head -n 1 "$work/data/postmaster.pid" 2>/dev/null)
    if [ -n "$pid" ] && kill -INT "$pid" 2>/dev/null; then # fast shutdown
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -QUIT "$pid" 2>/dev/null # immediate shutdown, if the fast one hangs
    fi
    rm -rf "$work"
}
trap stop_server EXIT
trap 'exit 1' INT TERM HUP
cd "$work" || exit 2

as_server=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody: "$work"
    as_server=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
fi
if ! "${as_server[@]}" "$pg_bin/initdb" -D "$work/data" -U postgres -A trust -E UTF8 \
        --no-locale --no-sync >initdb.log 2>&1 ||
    ! "${as_server[@]}" "$pg_bin/pg_ctl" -D "$work/data" -l server.log -w -t 30 \
        -o "-c listen_addresses='' -k '$work' -c fsync=off" start >/dev/null; then
    echo "the PostgreSQL server did not start:"
    cat initdb.log server.log 2>/dev/null
    exit 1
fi

sql() { # DATABASE: runs standard input
    "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$work" -U postgres -d "$1"
}
if ! sql postgres <<<'CREATE DATABASE field' || ! sql field <<'SQL'; then
CREATE EXTENSION postgis;
-- Sheets known from the printed maps: 092G06 Vancouver, 092B06 Victoria, 082O01
-- Calgary; 092G07, 092G10 and 092G11 lie east, north-east and north of 092G06. No
-- point lies on a sheet edge: 49.25 N, 123.1 W, for one, comes back from BC Albers
-- as 49.24999999999999 N, in 092G03.
CREATE TABLE sites (id integer PRIMARY KEY, name text, elevation double precision,
    geom geometry(Point, 3005));
INSERT INTO sites VALUES
    (10, 'Vancouver', 70.5, ST_Transform(ST_SetSRID(ST_MakePoint(-123.12, 49.28), 4326), 3005)),
    (20, 'Victoria', 23, ST_Transform(ST_SetSRID(ST_MakePoint(-123.37, 48.43), 4326), 3005)),
    (30, 'Calgary', 1045, ST_Transform(ST_SetSRID(ST_MakePoint(-114.07, 51.05), 4326), 3005)),
    (40, 'not placed yet', NULL, NULL);
-- Boxes with corners in degrees, their edges straight in BC Albers; each stays
-- 0.05 degrees or more from the sheet edges it does not cross.
CREATE TABLE areas (id integer PRIMARY KEY, name text, geom geometry(Polygon, 3005));
INSERT INTO areas VALUES
    (1, 'inside one sheet', ST_Transform(ST_MakeEnvelope(-123.4, 49.3, -123.1, 49.4, 4326), 3005)),
    (2, 'across a meridian', ST_Transform(ST_MakeEnvelope(-123.2, 49.3, -122.8, 49.4, 4326), 3005)),
    (3, 'around a corner', ST_Transform(ST_MakeEnvelope(-123.1, 49.45, -122.9, 49.55, 4326), 3005));
SQL
    echo "the tables could not be made:"
    cat server.log
    exit 1
fi
source="PG:host=$work dbname=field user=postgres"

# A layer as lines: its CRS, its field names, then each feature's fields and the
# envelope of its geometry in longitude and latitude (or "none"), sorted, since
# FlatGeobuf writes the features in the order of its spatial index.
read_back() { # FILE
    "$python" - "$1" <<'PYTHON'
import sys
from osgeo import ogr, osr

ogr.UseExceptions()
source = ogr.Open(sys.argv[1])  # the layer lives only as long as its source
layer = source.GetLayer(0)
crs = layer.GetSpatialRef()
print("crs", crs.GetAuthorityName(None), crs.GetAuthorityCode(None))
wgs84 = osr.SpatialReference()
wgs84.ImportFromEPSG(4326)
wgs84.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
to_wgs84 = osr.CoordinateTransformation(crs, wgs84)
definition = layer.GetLayerDefn()
# A table's key is the layer's id column where the format has one, a field otherwise.
key = layer.GetFIDColumn()
print("|".join(([key] if key else []) +
               [definition.GetFieldDefn(i).GetName() for i in range(definition.GetFieldCount())]))
lines = []
for feature in layer:
    fields = ([str(feature.GetFID())] if key else []) + [
        "" if feature.IsFieldNull(i) else str(feature.GetField(i))
        for i in range(definition.GetFieldCount())]
    geometry = feature.GetGeometryRef()
    if geometry is None:
        place = "none"
    else:
        geometry = geometry.Clone()
        geometry.Transform(to_wgs84)
        west, east, south, north = geometry.GetEnvelope()
        place = " ".join(str(round(value, 6)) for value in (west, south, east, north))
    lines.append("|".join(fields + [place]))
print("\n".join(sorted(lines)))
PYTHON
}

failed=0
fail() {
    echo "$*"
    failed=1
}
expect_layer() { # FILE EXPECTED
    local found
    found=$(read_back "$1" 2>&1)
    if [ "$found" != "$2" ]; then
        fail "$(basename "$1") reads back as:"
        diff <(echo "$2") <(echo "$found")
    fi
}

declare -A layers
layers[sites]='crs EPSG 3005
id|name|elevation|nts_50k
10|Vancouver|70.5|092G06|-123.12 49.28 -123.12 49.28
20|Victoria|23.0|092B06|-123.37 48.43 -123.37 48.43
30|Calgary|1045.0|082O01|-114.07 51.05 -114.07 51.05
40|not placed yet|||none'
layers[areas]='crs EPSG 3005
id|name|nts_50k
1|inside one sheet|092G06|-123.4 49.3 -123.1 49.4
2|across a meridian|092G06,092G07|-123.2 49.3 -122.8 49.4
3|around a corner|092G06,092G07,092G10,092G11|-123.1 49.45 -122.9 49.55'

# A status of 0 writes the table as layers[TABLE] shows it; FlatGeobuf cannot hold
# the point without geometry, so that run is refused, with its reason, and writes
# nothing.
# output     table  status
while read -r output table status; do
    "$cli" annotate "$source" -l "$table" -o "$output" >"$output.log" 2>&1
    found=$?
    if [ "$found" != "$status" ]; then
        fail "annotate $table -o $output: status $found, expected $status"
        cat "$output.log"
    elif [ "$status" -eq 0 ]; then
        expect_layer "$output" "${layers[$table]}"
    elif [ -e "$output" ]; then
        fail "annotate $table -o $output failed but wrote $output"
    elif ! grep -q 'no geometry' "$output.log"; then
        fail "annotate $table -o $output: refused for another reason: $(cat "$output.log")"
    fi
done <<'RUNS'
sites.gpkg   sites  0
areas.gpkg   areas  0
areas.fgb    areas  0
sites.fgb    sites  1
RUNS

# cover of a table, then of every table of the database, the point without geometry
# aside.
# arguments       sheets
while IFS='|' read -r arguments expected; do
    # shellcheck disable=SC2086 # the arguments are split as words
    found=$("$cli" cover "$source" $arguments 2>&1; echo "status $?")
    found=$(tr '\n' ' ' <<<"$found")
    [ "$found" = "$expected status 0 " ] ||
        fail "cover $arguments: $found, expected $expected status 0"
done <<'RUNS'
-l areas|092G06 092G07 092G10 092G11
-l areas -s 250k|092G
|082O01 092B06 092G06 092G07 092G10 092G11
RUNS

[ "$failed" -eq 0 ] && echo "annotate and cover read PostGIS tables and write them whole"
exit "$failed"
