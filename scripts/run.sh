#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds Sheetfind and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${BUILD_PACKAGES[@]}"
cmake --preset release
cmake --build --preset release

need_packages "${WINDOW_PACKAGES[@]}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'MESSAGE'
Sheetfind is built, but it cannot open its window: there is no display here
(neither DISPLAY nor WAYLAND_DISPLAY is set). Run it from a desktop session, or
under a virtual X display:

    xvfb-run -a ./build/release/src/app/sheetfind

(xvfb-run comes with Debian's xvfb and xauth packages.)
MESSAGE
    exit 1
fi
echo "./build/release/src/app/sheetfind"
exec ./build/release/src/app/sheetfind
