#!/usr/bin/env bash
# Builds the release packages into $BUILD_ROOT/package (default build/package):
#   Orvanel-<version>-win32.zip             from the MinGW build ($BUILD_ROOT/windows)
#   orvanel-<version>-linux-x86_64.tar.gz   orvanel-cli linked statically
#   SHA256SUMS                              the checksums of both
# What each holds is set in release/CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_ROOT="${BUILD_ROOT:-build}"
windows="$BUILD_ROOT/windows"
linux="$BUILD_ROOT/linux-static"
out="$BUILD_ROOT/package"
work="$PWD/$BUILD_ROOT/package-work"

bash scripts/setup.sh

echo "package: building orvanel-cli for Linux, statically linked"
cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=Release -DORVANEL_STATIC_CLI=ON >/dev/null
cmake --build "$linux" -j"$(nproc)" --target orvanel-cli make_demo_dlls >/dev/null

# The native make_demo_dlls writes the zip's stand-in DLLs (the same bytes as
# the Windows one), so making the packages runs no Windows program.
echo "package: building for Windows"
cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEL_DEMO_DLL_WRITER="$PWD/$linux/demo/make_demo_dlls" \
  >/dev/null
cmake --build "$windows" -j"$(nproc)" --target Orvanel orvanel-cli >/dev/null

rm -rf "$out" "$work"
mkdir -p "$out"
for build in "$windows" "$linux"; do
  cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
done
mv "$work"/*.zip "$work"/*.tar.gz "$out/"
(cd "$out" && sha256sum -- * >SHA256SUMS)
rm -rf "$work"
echo "package: in $out"
(cd "$out" && ls -l -- *)
