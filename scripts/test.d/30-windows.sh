#!/usr/bin/env bash
# The same portable core and unit tests built with MinGW for 32-bit Windows
# and run under Wine, where text mode, paths and file replacement differ.
set -euo pipefail
dir="$BUILD_ROOT/windows"
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
ctest --test-dir "$dir" --output-on-failure
