# SPDX-License-Identifier: MIT
# sheetfind-cli.exe (x64) where Windows differs from Linux: file names with accents
# and other scripts, on the command line and inside files; a console typed into and
# read in another code page; tables as Excel saves them; the names Windows keeps for
# devices; paths beyond 260 characters. Sourced by check_windows.sh, whose expect,
# run and Wine prefix it uses.

ways=$work/ways
mkdir -p "$ways/Élise/Relevés" "$ways/測量"
cp -r "$root/examples" "$ways/"
exe=$out/x64/sheetfind-cli.exe
here_cli() { (cd "$ways" && run "$1" "$2" wine "$exe" "${@:3}"); }

## File names as Windows users write them
printf 'nom,lat,lon\r\nÉlise,49.25,-123.1\r\nЖеня,53.9171,-122.7497\r\n' >"$ways/Élise/Relevés/points.csv"
expect "a table in a folder named with accents" "status 0" \
    "$(here_cli C.UTF-8 '' annotate 'Élise\Relevés\points.csv' -o 'Élise\Relevés\points-nts.csv')"
expect "its names and fields kept, byte for byte" \
    "$(printf 'nom,lat,lon,nts_50k\r\nÉlise,49.25,-123.1,092G06\r\nЖеня,53.9171,-122.7497,093G15\r\n' | od -c)" \
    "$(od -c <"$ways/Élise/Relevés/points-nts.csv")"
cp "$root/examples/data/area.geojson" "$ways/測量/區域.geojson"
expect "a layer in a folder named in Chinese, to a shapefile" "status 0 區域-nts.dbf 區域-nts.prj 區域-nts.shp 區域-nts.shx" \
    "$(here_cli C.UTF-8 '' annotate '測量\區域.geojson' -o '測量\區域-nts.shp' | tr '\n' ' ')$(cd "$ways/測量" && ls 區域-nts.* | tr '\n' ' ' | sed 's/ $//')"
expect "a message quotes the name as typed" 'status 2
sheetfind-cli: cannot open "Élise\nowhere.csv": No such file or directory' \
    "$(here_cli C.UTF-8 '' annotate 'Élise\nowhere.csv'; cat "$work/stderr")"

## A console: what is typed, and messages, whatever the console's code page
# A terminal makes Wine give the program a console; cmd's chcp sets its code page to
# that of a Western European Windows. The console's escapes and line ends are dropped.
# Ctrl-C, which ends the program, goes to the console as Windows gives it.
printf '@chcp 850 >NUL\r\n@"%s" locate\r\n' "$(winepath -w "$exe")" >"$ways/typed.bat"
typed=$( (
    sleep 3
    printf 'Élise 1\r'
    sleep 2
    printf '49.25 -123.1\r'
    sleep 2
    printf '\003' # Ctrl-C ends it
    sleep 1
) | (cd "$ways" && timeout 30 script -qec "wine cmd /c typed.bat" /dev/null) 2>/dev/null |
    sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r\n')
expect "a console in code page 850 reads what is typed and quotes it" \
    'ERROR: Type mismatch: the latitude "Élise" is not a number; expected decimal degrees such as 49.25' \
    "$(grep -o 'ERROR: Type mismatch: the latitude "[^"]*" is not a number; expected decimal degrees such as 49.25' <<<"$typed")"
expect "and answers the next line" yes "$(grep -q '49.25 -123.1092G06' <<<"$typed" && echo yes || echo no)"

## Tables as Excel saves them
# "CSV UTF-8 (comma delimited)" from an English Excel: a byte order mark, CRLF.
printf '\xef\xbb\xbfname,lat,lon\r\nVancouver,49.25,-123.1\r\n' >"$ways/excel.csv"
expect "an English Excel table comes out as Excel wrote it, the column added" \
    "$(printf '\xef\xbb\xbfname,lat,lon,nts_50k\r\nVancouver,49.25,-123.1,092G06\r\n' | od -c)" \
    "$( (cd "$ways" && wine "$exe" annotate excel.csv) | od -c)"
# A French-Canadian Excel: ';' between fields and ',' as the decimal mark, read in
# fr-CA's regional settings (Wine takes them from LANG), the last line without CRLF.
printf '\xef\xbb\xbfnom;lat;lon\r\nVancouver;49,25;-123,1\r\n"Fort St. John; BC";56,2524;-120,8466' \
    >"$ways/releves.csv"
expect "a French-Canadian Excel table goes in and out" "status 0" \
    "$(here_cli fr_CA.UTF-8 '' annotate releves.csv -o releves-nts.csv)"
expect "and comes out as Excel reopens it: ';', decimal commas, the byte order mark, CRLF" \
    "$(printf '\xef\xbb\xbfnom;lat;lon;nts_50k\r\nVancouver;49,25;-123,1;092G06\r\n"Fort St. John; BC";56,2524;-120,8466;094A07\r\n' | od -c)" \
    "$(od -c <"$ways/releves-nts.csv")"
expect "the same table read by the Linux tool gives the same bytes" \
    "$(cd "$ways" && LANG=fr_CA.UTF-8 "$linux_cli" annotate releves.csv | od -c)" \
    "$(od -c <"$ways/releves-nts.csv")"

## Names Windows keeps for devices, and long paths
expect "-o aux.csv is refused by name" 'status 2
sheetfind-cli: "aux.csv" is a name Windows keeps for a device (AUX), not for a file; choose another name' \
    "$(here_cli C.UTF-8 '' annotate examples/data/points.csv -o aux.csv; cat "$work/stderr")"
expect "a layer to com1.gpkg is refused by name" "status 2 (COM1)" \
    "$(here_cli C.UTF-8 '' cover examples/data/route.geojson -o com1.gpkg) $(grep -o '(COM1)' "$work/stderr")"
expect "a table named con.csv is not read from the console" "status 2 (CON)" \
    "$(here_cli C.UTF-8 '' annotate con.csv) $(grep -o '(CON)' "$work/stderr")"
expect "-o NUL is the null device" "status 0 nothing written" \
    "$(here_cli C.UTF-8 '' annotate examples/data/points.csv -o NUL) $(cd "$ways" && ls -a | grep -qi '^nul\|sheetfind-' && echo written || echo nothing written)"
deep=$(printf 'folder-%02d\\' $(seq 1 30))
mkdir -p "$ways/$(tr '\\' '/' <<<"$deep")"
cp "$root/examples/data/points.csv" "$ways/$(tr '\\' '/' <<<"$deep")"
# Wine, as Windows without long paths turned on, takes no path beyond 259 characters.
expect "a table behind a path of more than 260 characters is refused clearly" "status 2 yes" \
    "$(here_cli C.UTF-8 '' annotate "${deep}points.csv") $(grep -q 'characters, and Windows takes at most 259 unless long paths are turned on' "$work/stderr" && echo yes || echo no)"
expect "and so is an output there" "status 2 yes" \
    "$(here_cli C.UTF-8 '' cover examples/data/route.geojson -o "${deep}cells.gpkg") $(grep -q 'Windows takes at most 259' "$work/stderr" && echo yes || echo no)"

## Ctrl-C while a table is written, in a console: nothing under its name, nothing staged
# The terminal's Ctrl-C reaches Wine's own process as well as the program, so the
# status the run ends with varies; that it ends, and what it leaves, do not.
interrupted=$( (
    sleep 3
    printf 'lat,lon\r'
    sleep 1
    printf '49.25,-123.1\r'
    sleep 2
    printf '\003'
    sleep 2
) | (cd "$ways" && timeout 30 script -qec "wine '$exe' annotate -o typed-nts.csv" /dev/null >/dev/null 2>&1
    [ $? -ne 124 ] && echo ended || echo "still running after 30 s"))
expect "Ctrl-C while typing a table into -o ends the run" ended "$interrupted"
expect "and leaves neither the file nor its staging folder" "" \
    "$(cd "$ways" && ls -a | grep 'typed-nts')"

## A user's PROJ grids, where the shift's notice says to put them
# With a grid of Canada's name in %LOCALAPPDATA%\proj, PROJ shifts with it, for the
# points typed and for a layer's, which GDAL reads; so does Linux's in its own place.
user_grids=$(winepath -u "$(wine cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')")/proj
mkdir -p "$user_grids" "$work/xdg/proj"
/usr/bin/python3 "$here/make_ntv2_grid.py" "$user_grids/ntv2_0.gsb"
cp "$user_grids/ntv2_0.gsb" "$work/xdg/proj/"
printf '{"type":"Feature","properties":{},"geometry":{"type":"Point","coordinates":[-120.5656,56.9125]}}' \
    >"$ways/well.geojson"
expect "a grid in %LOCALAPPDATA%\\proj shifts a GPS point" \
    "$(XDG_DATA_HOME=$work/xdg run C.UTF-8 '' "$linux_cli" locate -s png 56.9125 -120.5656)" \
    "$(here_cli C.UTF-8 '' locate -s png 56.9125 -120.5656)"
expect "with the operation that grid stands for" yes \
    "$(grep -q 'Inverse of NAD27 to NAD83 (4)' "$work/stderr" && echo yes || echo no)"
expect "and a layer's points, through GDAL" \
    "$(cd "$ways" && XDG_DATA_HOME=$work/xdg "$linux_cli" cover -s png well.geojson)" \
    "$(cd "$ways" && wine "$exe" cover -s png well.geojson)"
rm "$user_grids/ntv2_0.gsb"
expect "without it, the coarse shift answers otherwise" "a-096-H/094-A-15" \
    "$(cd "$ways" && wine "$exe" locate -s png 56.9125 -120.5656 2>/dev/null)"
