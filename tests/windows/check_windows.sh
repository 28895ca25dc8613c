#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sheetfind for Windows as a user meets it, under Wine on a virtual X display, for
# both architectures that scripts/windows.sh builds:
# - every program file read back as Windows reads it (type, imports, resources);
# - each architecture that Wine can run here driven as a user drives it: the window
#   typed into with xdotool and read back by the probe, sheetfind-cli.exe beside the
#   Linux tool, the installer in both of its modes;
# - on x64: sheetfind-cli.exe against the Linux tool on every subcommand, format and
#   datum and on random points (compare_cli.py), Windows' own file names, consoles
#   and Excel tables, and the examples of docs/windows.md.
# 64-bit Wine runs on every machine. 32-bit Wine needs a kernel that runs 32-bit
# programs; where it has none, the x86 programs are checked as files only, and the
# run says so. A machine where the x64 programs cannot run fails.
#
#   tests/windows/check_windows.sh WINDOWS_DIR LINUX_CLI
#
# WINDOWS_DIR is what scripts/windows.sh wrote (build/windows). With
# SHEETFIND_SCREENSHOT=FILE it also photographs the x64 window after a lookup.
# SHEETFIND_WINDOWS_ARCHES=x64 drives the x64 programs only, as on a kernel without
# 32-bit programs.
set -uo pipefail
if [ -z "${SHEETFIND_WINDOWS_DISPLAY:-}" ]; then
    exec env SHEETFIND_WINDOWS_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
source "$root/scripts/common.sh"
out=$(realpath "$1")
linux_cli=$(realpath "$2")
work=$(mktemp -d)
version=$(sed -nE 's/^ +VERSION ([0-9.]+)$/\1/p' "$root/CMakeLists.txt")
# One 64-bit prefix runs both architectures, as 64-bit Windows does. Mono and Gecko
# are not needed, and asking for them would wait on a dialog.
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
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

declare -A machine=([x86]="PE32 executable (%s) Intel 80386" [x64]="PE32+ executable (%s) x86-64")
declare -A objdump=([x86]=i686-w64-mingw32-objdump [x64]=x86_64-w64-mingw32-objdump)
# Windows' own DLLs only: nothing to ship beside the programs.
dlls() { "${objdump[$1]}" -p "$out/$1/$2" | awk '/DLL Name:/ {print $3}' | LC_ALL=C sort | tr '\n' ' '; }
for arch in x86 x64; do
    # shellcheck disable=SC2059 # the format is the table's
    expect "$arch Sheetfind.exe's type" "$(printf "${machine[$arch]}" GUI)" \
        "$(file -b "$out/$arch/Sheetfind.exe" | grep -o "$(printf "${machine[$arch]}" GUI)")"
    # shellcheck disable=SC2059
    expect "$arch sheetfind-cli.exe's type" "$(printf "${machine[$arch]}" console)" \
        "$(file -b "$out/$arch/sheetfind-cli.exe" | grep -o "$(printf "${machine[$arch]}" console)")"
    expect "$arch Sheetfind.exe's DLLs" "GDI32.dll KERNEL32.dll USER32.dll msvcrt.dll " \
        "$(dlls $arch Sheetfind.exe)"
    expect "$arch sheetfind-cli.exe's DLLs" "ADVAPI32.dll KERNEL32.dll SHELL32.dll msvcrt.dll " \
        "$(dlls $arch sheetfind-cli.exe)"
    # The version information and the icon, as the resource script's own test reads them.
    for program in Sheetfind sheetfind-cli; do
        cmake -DWINDRES="${objdump[$arch]%objdump}windres" -DVERSION="$version" \
            -DPROGRAM="$out/$arch/$program.exe" -DNAME="$program" \
            -P "$root/tests/res/check_version_resource.cmake" >/dev/null 2>"$work/stderr"
        expect "$arch $program.exe's version information and icon" "" "$(cat "$work/stderr")"
    done
    expect "$arch PROJ's database beside the programs" yes \
        "$([ -s "$out/$arch/proj/proj.db" ] && echo yes || echo no)"
    expect "$arch portable ZIP" "LICENSE.txt Sheetfind.exe proj/proj.db sheetfind-cli.exe " \
        "$(unzip -Z1 "$out/$arch/Sheetfind-$version-windows-$arch.zip" | grep -v '/$' | sed 's|^Sheetfind-[^/]*/||' |
            LC_ALL=C sort | tr '\n' ' ')"
done

began=$(date +%s)
wineboot -i >/dev/null 2>&1
# Wine draws the title bar itself where no window manager runs.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -p # kept running: every later start is quick
echo "the Wine prefix took $(($(date +%s) - began)) s"

# Which architectures run here. Wine without its 32-bit half may start a 32-bit
# program and end with status 0 having run nothing, so a program must say its version.
runs() { wine "$out/$1/sheetfind-cli.exe" --version 2>&1 | tr -d '\r' | head -1; }
arches=()
if [[ "$(runs x64)" != "sheetfind-cli "* ]]; then
    echo "FAIL 64-bit Wine cannot run sheetfind-cli.exe here: $(runs x64)" >&2
    echo "check_windows.sh: no Windows program runs on this machine" >&2
    exit 1
fi
arches+=(x64)
if [ "${SHEETFIND_WINDOWS_ARCHES:-}" == x64 ]; then
    echo "note: x64 only, as asked: the x86 programs were checked as files"
elif kernel_runs_32bit; then
    expect "32-bit Wine runs the x86 sheetfind-cli.exe" "$(runs x64)" "$(runs x86)"
    arches+=(x86)
else
    echo "note: this kernel runs no 32-bit programs: the x86 programs were checked as files," \
        "and the x64 ones are driven under 64-bit Wine"
fi

## sheetfind-cli.exe, beside the Linux tool

# Runs a program with LANG and standard input: its standard output, then its status.
run() { # LANG STDIN PROGRAM ARGS...
    local lang=$1 input=$2
    shift 2
    printf "$input" | LANG=$lang "$@" 2>"$work/stderr"
    echo "status ${PIPESTATUS[1]}"
}
for arch in "${arches[@]}"; do
    cli() { run "$1" "$2" wine "$out/$arch/sheetfind-cli.exe" "${@:3}"; }
    expect "$arch sheetfind-cli.exe locate -s 2500 49.25 -123.1" "092G025322
status 0" "$(cli C.UTF-8 '' locate -s 2500 49.25 -123.1)"
    expect "$arch sheetfind-cli.exe on the PNG grid, from a GPS point" "a-096-H/094-A-15
status 0" "$(cli C.UTF-8 '' locate -s png 56.9125 -120.5656)"
    expect "$arch sheetfind-cli.exe annotates a table" \
        "$(run C.UTF-8 '' "$linux_cli" annotate "$root/examples/data/points.csv")" \
        "$(cli C.UTF-8 '' annotate "$root/examples/data/points.csv")"
    expect "$arch sheetfind-cli.exe serve says it is left out" "status 2 runs on Linux" \
        "$(cli C.UTF-8 '' serve | tail -1) $(grep -o 'runs on Linux' "$work/stderr")"
done

if ! (cd "$work" && /usr/bin/python3 "$here/compare_cli.py" "$out/x64/sheetfind-cli.exe" "$linux_cli"); then
    failures=$((failures + 1))
fi

# docs/windows.md's examples, in cmd.exe.
if ! /usr/bin/python3 "$root/tests/docs/check_examples.py" --root "$root" --cli-dir "$(dirname "$linux_cli")" \
    --windows "$(winepath -w "$out/x64")" "$root/docs/windows.md"; then
    failures=$((failures + 1))
fi

## Windows' own ways, on x64

source "$here/check_windows_ways.sh"

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

for arch in "${arches[@]}"; do
    probe_exe=$out/$arch/tree/tests/windows/sheetfind_probe.exe
    wine "$out/$arch/Sheetfind.exe" &
    probe wait
    expect "$arch the client area is 7395 x 3090 twips" "493 206" "$(probe client)"
    # Boxes and the button at their twip places; labels at theirs, sized to their captions.
    expect "$arch txtLat's place" "16 40 209 19" "$(probe rect txtLat)"
    expect "$arch txtLon's place" "256 40 217 19" "$(probe rect txtLon)"
    expect "$arch cmdSheetfind's place" "296 152 161 33" "$(probe rect cmdSheetfind)"
    expect "$arch Label1's corner" "8 16" "$(probe rect Label1 | cut -d' ' -f1,2)"
    expect "$arch Label2's corner" "256 16" "$(probe rect Label2 | cut -d' ' -f1,2)"
    expect "$arch an empty Label3" "32 96 9 37" "$(probe rect Label3)"
    # Without a window manager, nothing gives a new window the keyboard: a click does.
    click txtLat
    expect "$arch the focus starts in the latitude box" txtLat "$(probe focus)"
    tab_order=$(for _ in 1 2 3; do keys Tab; probe focus; done | tr '\n' ' ')
    expect "$arch Tab visits the boxes and the button" "txtLon cmdSheetfind txtLat " "$tab_order"

    typed abc
    keys Tab
    typed -123.1
    keys Tab space
    expect "$arch a bad latitude's message" \
        'Type mismatch: the latitude "abc" is not a number; expected decimal degrees such as 49.25' \
        "$(probe message)"
    keys Return
    expect "$arch after the message the latitude box has the focus" txtLat "$(probe focus)"
    # The bad text is selected, so typing replaces it.
    typed 49.25
    keys Return Escape
    expect "$arch Enter and Escape do not look up" "" "$(probe text Label3)"
    click cmdSheetfind
    shows "$arch 49.25, -123.1 typed and clicked" 092G06 text Label3
    width=$(probe rect Label3 | cut -d' ' -f3)
    [ "$width" -gt 60 ] && fits=yes || fits="no, $width px"
    expect "$arch Label3 grows to its caption" yes "$fits"
    if [ -n "${SHEETFIND_SCREENSHOT:-}" ] && [ "$arch" == x64 ]; then
        import -window root -crop 499x229+0+0 "$SHEETFIND_SCREENSHOT"
    fi

    click txtLon
    keys End
    typed x
    click cmdSheetfind
    expect "$arch a bad longitude's message" \
        'Type mismatch: the longitude "-123.1x" is not a number; expected decimal degrees such as -123.1' \
        "$(probe message)"
    keys Return
    expect "$arch the program runs on and keeps its result" 092G06 "$(probe text Label3)"
    expect "$arch the longitude box is the one at fault" txtLon "$(probe focus)"
    typed -123.1
    click txtLat
    keys End BackSpace BackSpace BackSpace BackSpace BackSpace
    typed 85
    click cmdSheetfind
    shows "$arch above 80 degrees the label empties and shrinks back" "32 96 9 37" rect Label3
    probe close
    wait

    # Numbers in the user's regional settings: a comma in French Canada. Wine takes
    # them from LANG into the registry as each process starts, so the probes share it.
    export LANG=fr_CA.UTF-8
    wine "$out/$arch/Sheetfind.exe" &
    probe wait
    settle
    click txtLat
    typed "49,25"
    keys Tab
    typed "-123,1"
    click cmdSheetfind
    expect "$arch 49,25 and -123,1 typed in fr-CA" "49,25 -123,1" \
        "$(probe text txtLat) $(probe text txtLon)"
    shows "$arch 49,25 and -123,1 read in fr-CA" 092G06 text Label3
    probe close
    wait
    export LANG=C.UTF-8
done

## The installers

source "$here/check_installer.sh"
for arch in "${arches[@]}"; do
    check_installer "$arch"
done

echo "the Windows checks took $(($(date +%s) - began)) s, driving ${arches[*]}"
if [ "$failures" -gt 0 ]; then
    echo "check_windows.sh: $failures checks failed" >&2
    exit 1
fi
echo "check_windows.sh: every check passed (driven: ${arches[*]})"
