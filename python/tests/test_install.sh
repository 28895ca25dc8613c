#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the package from a clean copy of the sources into a fresh venv of Debian's
# python3, offline (no package index), and imports it. Run from anywhere.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A clone: only what git tracks, so that no build tree or stale module helps.
git -C "$root" ls-files -z | (cd "$root" && xargs -0 tar cf -) | (mkdir "$work/src" && tar xf - -C "$work/src")

/usr/bin/python3 -m venv --system-site-packages "$work/venv"
unset PIP_FIND_LINKS PIP_INDEX_URL PIP_EXTRA_INDEX_URL
# The sanitizer runtimes of a test run have nothing to do with this build.
unset LD_PRELOAD ASAN_OPTIONS PYTHONPATH SHEETFIND_PYTHONPATH
PIP_NO_INDEX=1 "$work/venv/bin/python" -m pip install --no-build-isolation --quiet "$work/src"
cd "$work"
"$work/venv/bin/python" -c "import sheetfind; assert sheetfind.locate(49.25, -123.1) == '092G06'; print('installed', sheetfind.__file__)"
