#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sheetfind for Windows as a user meets it, under Wine on a virtual X display: the
# window typed into and clicked with xdotool and read back by the probe;
# sheetfind-cli.exe's answers and exit statuses, beside the Linux tool's; and the
# installer's silent install and uninstall. One Wine prefix serves the whole run.
#
#   tests/windows/check_windows.sh WINDOWS_DIR PROBE [LINUX_CLI]
#
# WINDOWS_DIR is what scripts/windows.sh wrote (build/windows). With
# SHEETFIND_SCREENSHOT=FILE it also photographs the window after a lookup.
set -uo pipefail
if [ -z "${SHEETFIND_WINDOWS_DISPLAY:-}" ]; then
    exec env SHEETFIND_WINDOWS_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
out=$(realpath "$1")
probe_exe=$(realpath "$2")
linux_cli=${3:+$(realpath "$3")}
work=$(mktemp -d)
# Mono and Gecko are not needed, and asking for them would wait on a dialog.
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
cleanup() {
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
expect() { # WHAT EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1: expected '$2', got '$3'" >&2
        failures=$((failures + 1))
    fi
}

## The program files, read back as Windows reads them

expect "Sheetfind.exe's type" "PE32 executable (GUI) Intel 80386" \
    "$(file -b "$out/Sheetfind.exe" | grep -o 'PE32 executable (GUI) Intel 80386')"
expect "sheetfind-cli.exe's type" "PE32 executable (console) Intel 80386" \
    "$(file -b "$out/sheetfind-cli.exe" | grep -o 'PE32 executable (console) Intel 80386')"
# Windows' own DLLs only: nothing to ship beside the programs.
dlls() { i686-w64-mingw32-objdump -p "$out/$1" | awk '/DLL Name:/ {print $3}' | LC_ALL=C sort | tr '\n' ' '; }
expect "Sheetfind.exe's DLLs" "GDI32.dll KERNEL32.dll USER32.dll msvcrt.dll " "$(dlls Sheetfind.exe)"
expect "sheetfind-cli.exe's DLLs" "KERNEL32.dll msvcrt.dll " "$(dlls sheetfind-cli.exe)"
# The version information and the icon, as the resource script's own test reads them.
cmake -DWINDRES=i686-w64-mingw32-windres -DVERSION="$(sed -nE 's/^ +VERSION ([0-9.]+)$/\1/p' \
    "$(dirname "$0")/../../CMakeLists.txt")" -DPROGRAM="$out/Sheetfind.exe" \
    -P "$(dirname "$0")/../res/check_version_resource.cmake" >/dev/null 2>"$work/stderr"
expect "Sheetfind.exe's version information and icon" "" "$(cat "$work/stderr")"

began=$(date +%s)
wineboot -i >/dev/null 2>&1
# Wine draws the title bar itself where no window manager runs.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -p # kept running: every later start is quick
echo "the Wine prefix took $(($(date +%s) - began)) s"

## sheetfind-cli.exe

# Runs a program with LANG and standard input: its standard output without CRs,
# then its status.
run() { # LANG STDIN PROGRAM ARGS...
    local lang=$1 input=$2
    shift 2
    printf "$input" | LANG=$lang "$@" 2>"$work/stderr" | tr -d '\r'
    echo "status ${PIPESTATUS[1]}"
}
cli() { run "$1" "$2" wine "$out/sheetfind-cli.exe" "${@:3}"; }

# The Windows tool answers as the Linux one does: the same lines, the same status.
same() { # LANG STDIN ARGS...
    local windows
    windows=$(cli "$@")
    if [ -n "$linux_cli" ]; then
        expect "sheetfind-cli.exe ${*:3} (LANG=$1) as on Linux" "$(run "$1" "$2" "$linux_cli" "${@:3}")" "$windows"
    fi
}
same C.UTF-8 '' locate -s 2500 49.25 -123.1
same C.UTF-8 '' 49.25 -123.1
same C.UTF-8 '' locate -s 1m 49.25 -123.1
same C.UTF-8 '' locate -s 20k 49.25 -123.1
same C.UTF-8 '' locate "49°15′N" "123°6′W"
same C.UTF-8 '' locate 10U 491213 5458885
same C.UTF-8 '' locate 10UDV9121358885
same C.UTF-8 '' locate -s png --datum NAD27 56.91 -120.565
same C.UTF-8 '' bounds 092G06 092G025322 082O010
same C.UTF-8 '' neighbours 092G
same C.UTF-8 '' cover 49.2 -123.2 49.3 -123.0
same C.UTF-8 '' cover -s 10k 49.2 -123.2 49.21 -123.15
same C.UTF-8 '49.25,-123.1\r\n85,0\r\n\r\n# a note\r\nabc,1\r\n'
same C.UTF-8 '49.25 -123.1\r\n49 15 N 123 6 W\r\nxyz\r\n' locate
same C.UTF-8 '092G06\r\nXYZ\r\n' bounds
same C.UTF-8 '' bounds XYZ
same C.UTF-8 '' frobnicate
same C.UTF-8 '' locate -s 7k 49 -123
same fr_CA.UTF-8 '' 49,25 -123,1
same de_DE.UTF-8 '' 49.25 -123.1

expect "sheetfind-cli.exe locate -s 2500 49.25 -123.1" "092G025322
status 0" "$(cli C.UTF-8 '' locate -s 2500 49.25 -123.1)"
# What the Windows build leaves out says so, with status 2.
for left_out in "annotate points.csv" "serve" "locate -o out.gpkg 49 -123" "locate -f geojson 49 -123" \
    "cover --wkt POINT(-123 49)"; do
    # shellcheck disable=SC2086 # the words are the arguments
    status=$(cli C.UTF-8 '' $left_out)
    expect "sheetfind-cli.exe $left_out is left out" "status 2 Windows build" \
        "$status $(grep -o 'Windows build' "$work/stderr")"
done

## Sheetfind.exe

probe() { wine "$probe_exe" "$@" | tr -d '\r'; }
settle() { sleep 0.4; }
click() { # CONTROL
    # shellcheck disable=SC2046 # x and y
    xdotool mousemove $(probe center "$1") click 1
    settle
}
keys() { xdotool key --delay 50 "$@"; settle; }
# What a probe reads once the window has caught up, within three seconds.
shows() { # WHAT EXPECTED PROBE-ARGS...
    local got
    for _ in $(seq 10); do
        got=$(probe "${@:3}")
        [ "$got" == "$2" ] && break
        sleep 0.3
    done
    expect "$1" "$2" "$got"
}
typed() { xdotool type --delay 50 -- "$1"; settle; }

wine "$out/Sheetfind.exe" &
probe wait
expect "the client area is 7395 x 3090 twips" "493 206" "$(probe client)"
# Boxes and the button at their twip places; labels at theirs, sized to their captions.
expect "txtLat's place" "16 40 209 19" "$(probe rect txtLat)"
expect "txtLon's place" "256 40 217 19" "$(probe rect txtLon)"
expect "cmdSheetfind's place" "296 152 161 33" "$(probe rect cmdSheetfind)"
expect "Label1's corner" "8 16" "$(probe rect Label1 | cut -d' ' -f1,2)"
expect "Label2's corner" "256 16" "$(probe rect Label2 | cut -d' ' -f1,2)"
expect "an empty Label3" "32 96 9 37" "$(probe rect Label3)"
expect "the focus starts in the latitude box" txtLat "$(probe focus)"
tab_order=$(for _ in 1 2 3; do keys Tab; probe focus; done | tr '\n' ' ')
expect "Tab visits the boxes and the button" "txtLon cmdSheetfind txtLat " "$tab_order"

typed abc
keys Tab
typed -123.1
keys Tab space
expect "a bad latitude's message" \
    'Type mismatch: the latitude "abc" is not a number; expected decimal degrees such as 49.25' \
    "$(probe message)"
keys Return
expect "after the message the latitude box has the focus" txtLat "$(probe focus)"
# The bad text is selected, so typing replaces it.
typed 49.25
keys Return Escape
expect "Enter and Escape do not look up" "" "$(probe text Label3)"
click cmdSheetfind
shows "49.25, -123.1 typed and clicked" 092G06 text Label3
width=$(probe rect Label3 | cut -d' ' -f3)
[ "$width" -gt 60 ] && fits=yes || fits="no, $width px"
expect "Label3 grows to its caption" yes "$fits"
[ -n "${SHEETFIND_SCREENSHOT:-}" ] && import -window root -crop 499x229+0+0 "$SHEETFIND_SCREENSHOT"

click txtLon
keys End
typed x
click cmdSheetfind
expect "a bad longitude's message" \
    'Type mismatch: the longitude "-123.1x" is not a number; expected decimal degrees such as -123.1' \
    "$(probe message)"
keys Return
expect "the program runs on and keeps its result" 092G06 "$(probe text Label3)"
expect "the longitude box is the one at fault" txtLon "$(probe focus)"
typed -123.1
click txtLat
keys End BackSpace BackSpace BackSpace BackSpace BackSpace
typed 85
click cmdSheetfind
shows "above 80 degrees the label empties and shrinks back" "32 96 9 37" rect Label3
probe close
wait

# Numbers in the user's regional settings: a comma in French Canada. Wine takes
# them from LANG into the registry as each process starts, so the probes share it.
export LANG=fr_CA.UTF-8
wine "$out/Sheetfind.exe" &
probe wait
settle
# Without a window manager, nothing gives a new window the keyboard: a click does.
click txtLat
typed "49,25"
keys Tab
typed "-123,1"
click cmdSheetfind
expect "49,25 and -123,1 typed in fr-CA" "49,25 -123,1" "$(probe text txtLat) $(probe text txtLon)"
shows "49,25 and -123,1 read in fr-CA" 092G06 text Label3
probe close
wait
export LANG=C.UTF-8

## The installer

installer=$(ls "$out"/Sheetfind-*-setup.exe)
program_files="$WINEPREFIX/drive_c/Program Files/Sheetfind"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Sheetfind.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheetfind'
wine "$installer" /S
expect "the silent install" "LICENSE.txt Sheetfind.exe sheetfind-cli.exe uninstall.exe" \
    "$(ls "$program_files" 2>&1 | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
[ -f "$shortcut" ] && entry=yes || entry=no
expect "the Start menu entry" yes "$entry"
registered=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | awk '{print $1}' |
    grep -xE 'DisplayVersion|Publisher|EstimatedSize|UninstallString' | LC_ALL=C sort | tr '\n' ' ')
expect "the Add/Remove Programs entry" "DisplayVersion EstimatedSize Publisher UninstallString " \
    "$registered"
expect "the installed sheetfind-cli.exe" "092G06
status 0" "$(run C.UTF-8 '' wine 'C:\Program Files\Sheetfind\sheetfind-cli.exe' 49.25 -123.1)"
wine 'C:\Program Files\Sheetfind\Sheetfind.exe' &
probe wait && started=yes || started=no
expect "the installed Sheetfind.exe starts" yes "$started"
probe close
wait
# The uninstaller runs a copy of itself and returns at once: wait for it to finish.
wine 'C:\Program Files\Sheetfind\uninstall.exe' /S
for _ in $(seq 60); do
    [ -e "$program_files" ] || [ -e "$shortcut" ] || break
    sleep 0.5
done
left=$(ls -d "$program_files" "$shortcut" 2>/dev/null)
wine reg query "$uninstall_key" >/dev/null 2>&1 && left="$left the registry key"
expect "the silent uninstall leaves nothing" "" "$left"

echo "the Windows checks took $(($(date +%s) - began)) s"
if [ "$failures" -gt 0 ]; then
    echo "check_windows.sh: $failures checks failed" >&2
    exit 1
fi
echo "check_windows.sh: every check passed"
