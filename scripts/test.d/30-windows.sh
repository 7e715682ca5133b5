#!/usr/bin/env bash
# The same portable core and unit tests built with MinGW for 32-bit Windows
# and run under Wine, where text mode, paths and file replacement differ.
set -euo pipefail
source scripts/windows-build.sh
dir="$windows_dir"
windows_configure "$dir" "$windows_toolchain"
cmake --build "$dir" -j"$(nproc)"
if [ "$windows_arch" != i686 ]; then
  echo "windows: this machine cannot run 32-bit programs; the tests under Wine run the" \
    "$windows_arch build of the same code. The 32-bit programs are built and checked here:"
  windows_configure "$BUILD_ROOT/windows" "$PWD/cmake/mingw-i686.cmake"
  cmake --build "$BUILD_ROOT/windows" -j"$(nproc)" --target Orvanel orvanel-cli
  bash scripts/check-imports.sh "$BUILD_ROOT/windows/app/Orvanel.exe"
  bash scripts/check-imports.sh "$BUILD_ROOT/windows/cli/orvanel-cli.exe"
fi
# The PE reader reads the built programs' version resources as pefile does.
bash scripts/check-pe-version.sh "$dir" "$BUILD_ROOT/windows"
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
ctest --test-dir "$dir" --output-on-failure
