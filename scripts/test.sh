#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds every test under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them all: CTest runs the C++ tests, the
# Python module's and the QGIS plugin's (labels python and qgis), then the Windows
# programs are cross-built and run under Wine, and every fuzz target runs for a
# short fixed time. A stage that fails does not stop the ones
# after it: every stage runs, and the script fails at the end naming those that
# failed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

# All at once, so that whoever has to install them by hand gets one list. The
# window's tests check the result font, the Windows resource and the desktop
# files with the tools the platforms use, draw the SVG icon with librsvg, and
# read the window over AT-SPI on a virtual display as a screen reader does; the
# manual page is made with help2man and the completion run by bash-completion. The
# QGIS plugin's tests run in QGIS itself (about 900 MB), and the PostGIS test runs a
# PostgreSQL server of its own. The map page is driven in headless Chromium, and the
# web API's documented examples are run with curl. The
# Windows programs are cross-built for x86 and x64 and run under Wine: 64-bit Wine
# everywhere, 32-bit Wine too where the kernel runs 32-bit programs.
need_packages "${BUILD_PACKAGES[@]}" libgtest-dev clang-format \
    "${WINDOW_PACKAGES[@]}" binutils-mingw-w64-i686 desktop-file-utils appstream python3 \
    librsvg2-bin imagemagick xvfb xauth dbus at-spi2-core python3-pyatspi \
    help2man bash-completion curl "${FUZZ_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}" \
    "${QGIS_PACKAGES[@]}" "${POSTGIS_PACKAGES[@]}" "${BROWSER_PACKAGES[@]}" \
    "${WINDOWS_BUILD_PACKAGES[@]}" "${WINDOWS_TEST_PACKAGES[@]}"
need_wine32
need_locales

failed=()
# Runs one stage; a failure is noted and the next stage runs.
stage() {
    local name=$1
    shift
    echo "== $name: $*"
    if ! "$@"; then
        echo "== $name failed" >&2
        failed+=("$name")
    fi
}

stage configure cmake --preset dev
# Ninja goes on past a target that fails to build (-k 0), so that CTest still runs
# every test that could be built; a test left unbuilt fails there.
stage build cmake --build --preset dev -- -k 0
stage ctest ctest --preset dev --output-on-failure --no-tests=error
# The Windows programs as a user meets them, under Wine, answering as the Linux tool does.
stage windows-build ./scripts/windows.sh
stage windows tests/windows/check_windows.sh build/windows build/dev/src/cli/sheetfind-cli
# Fuzzing is part of every test run: each target for a short fixed time.
stage fuzz ./scripts/fuzz.sh "${FUZZ_SECONDS:-30}"

if [ "${#failed[@]}" -gt 0 ]; then
    echo "test.sh: failed: ${failed[*]}" >&2
    exit 1
fi
echo "test.sh: every stage passed"
