#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds every test under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

# All at once, so that whoever has to install them by hand gets one list. The
# window's tests check the result font, the Windows resource and the desktop
# files with the tools the platforms use, draw the SVG icon with librsvg, and
# read the window over AT-SPI on a virtual display as a screen reader does; the
# manual page is made with help2man and the completion run by bash-completion.
need_packages "${BUILD_PACKAGES[@]}" libgtest-dev clang-format \
    "${WINDOW_PACKAGES[@]}" binutils-mingw-w64-i686 desktop-file-utils appstream python3 \
    librsvg2-bin imagemagick xvfb xauth dbus at-spi2-core python3-pyatspi \
    help2man bash-completion "${FUZZ_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev --output-on-failure --no-tests=error

# The Python module of this build is instrumented like the rest, so the sanitizer
# runtimes must be loaded before Debian's python3. Freed memory is quarantined only
# briefly, so that the memory test sees what the module keeps, not what ASan keeps.
SANITIZER_RUNTIMES="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libubsan.so)"
LD_PRELOAD="$SANITIZER_RUNTIMES" ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=16 \
    SHEETFIND_PYTHONPATH="$PWD/build/dev/python" PYTHONPATH="$PWD/build/dev/python" \
    SHEETFIND_CLI="$PWD/build/dev/src/cli/sheetfind-cli" \
    /usr/bin/python3 -m pytest python/tests -q

# Fuzzing is part of every test run: each target for a short fixed time.
./scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
