#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, lists what lintian says of it, then installs it in a
# clean Debian 12 root (debootstrap, minbase) with apt-get and runs it there:
# sheetfind-cli 49.25 -123.1 and python3 -c "import sheetfind".
#   scripts/check_deb.sh [ROOT, default a temporary folder]
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

echo "lintian:"
lintian --no-tag-display-limit "$deb" | sed 's/^/  /' || true

root=${1:-$(mktemp -d)}
cleanup() {
    umount "$root/proc" 2>/dev/null || true
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
echo "In a clean Debian 12 root:"
echo "  sheetfind-cli 49.25 -123.1 -> $(chroot "$root" sheetfind-cli 49.25 -123.1)"
echo "  python3 -c 'import sheetfind' -> $(chroot "$root" python3 -c 'import sheetfind; print(sheetfind.locate(49.25, -123.1))')"
echo "  man -w sheetfind-cli -> $(chroot "$root" sh -c 'ls /usr/share/man/man1/sheetfind-cli.1*')"
