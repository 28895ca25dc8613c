#!/usr/bin/env bash
# Installs what is missing, builds Sheetfind and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${BUILD_PACKAGES[@]}"
cmake --preset release
cmake --build --preset release

echo "sheetfind-cli 49.25 -123.1"
./build/release/src/cli/sheetfind-cli 49.25 -123.1
