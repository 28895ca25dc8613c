#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, lists what lintian says of it, then installs it in a
# clean Debian 12 root (debootstrap, minbase) with apt-get and runs it there:
# sheetfind-cli 49.25 -123.1, its GIS module (cover --wkt) and python3 -c "import
# sheetfind", which must each answer 092G06. Fails when lintian finds an error or a warning, or when the
# package does not install or answer so.
#   scripts/check_deb.sh [ROOT, kept for the next run; default a temporary folder,
#   removed at the end]
# Needs root (debootstrap, chroot) and Debian's archive.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${BUILD_PACKAGES[@]}" dpkg-dev lintian debootstrap help2man bash-completion
cmake --preset release >/dev/null
cmake --build --preset release
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/sheetfind_*_amd64.deb)
echo "Package: $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Depends\|Recommends\|Installed-Size\):/  \1:/p'

# Lintian's informational tags are shown too, but only errors and warnings fail
# the check; they are left to be told after the install has been tried.
echo "lintian:"
lintian_status=0
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" | sed 's/^/  /' ||
    lintian_status=$?

# A root made here is nearly 1 GB: it goes when the check ends, but only once
# proc is unmounted, and never past its own file system.
if [ $# -ge 1 ]; then
    root=$1
    made_root=false
else
    root=$(mktemp -d)
    made_root=true
fi
cleanup() {
    if mountpoint -q "$root/proc"; then
        umount "$root/proc" || return
    fi
    if $made_root; then
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT
if [ ! -x "$root/usr/bin/apt-get" ]; then
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
cp "$deb" "$root/tmp/"
mount -t proc proc "$root/proc"
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get -q update >/dev/null
chroot "$root" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" >/dev/null

# Each answer is taken before it is shown: a command that fails inside echo's
# arguments would not stop the script, and the check would pass on nothing.
expected=092G06
failed=0
check() {
    local label=$1 got
    shift
    if ! got=$(chroot "$root" "$@"); then
        echo "  $label -> failed"
        failed=1
    elif [ "$got" != "$expected" ]; then
        echo "  $label -> $got, expected $expected"
        failed=1
    else
        echo "  $label -> $got"
    fi
}
echo "In a clean Debian 12 root:"
check "sheetfind-cli 49.25 -123.1" sheetfind-cli 49.25 -123.1
# Its GIS commands come from the module it loads on demand, installed apart.
check "sheetfind-cli cover --wkt 'POINT(-123.1 49.25)'" \
    sheetfind-cli cover --wkt 'POINT(-123.1 49.25)'
check "python3 -c 'import sheetfind'" \
    python3 -c 'import sheetfind; print(sheetfind.locate(49.25, -123.1))'
# The window's controls need a proportional face: with Liberation's fonts alone,
# fontconfig would take Liberation Mono for sans-serif.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
if [ -f "$root$font" ]; then
    echo "  window font -> $font"
else
    echo "  window font -> $font is missing"
    failed=1
fi
# minbase has no man-db, so the pages are listed rather than looked up with man -w.
echo "  /usr/share/man/man1 -> $(cd "$root/usr/share/man/man1" && echo sheetfind*)"
echo "  /usr/share/doc/sheetfind -> $(cd "$root/usr/share/doc/sheetfind" && echo *)"

if [ "$lintian_status" -ne 0 ]; then
    echo "lintian found errors or warnings" >&2
    exit 1
fi
exit "$failed"
