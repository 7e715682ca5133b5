#!/usr/bin/env bash
# Orvanel.exe end to end: it imports only system DLLs, its menu resource is
# the one the window procedure expects, and tests/e2e works the real program
# through its windows under Wine on a virtual display.
set -euo pipefail
source scripts/windows-build.sh
dir="$windows_dir"
windows_configure "$dir" "$windows_toolchain"
cmake --build "$dir" -j"$(nproc)" --target Orvanel orvanel_e2e
exe="$dir/app/Orvanel.exe"

echo "e2e: imports of Orvanel.exe"
bash scripts/check-imports.sh "$exe"

echo "e2e: menu resource 101"
# The menu cannot be read from another process under Wine, so it is read
# from the built program.
"$windows_prefix-windres" -i "$exe" -O rc |
  awk '/^LANGUAGE/ { language = $0 } /^101 MENU/ { print language; inside = 1 }
       inside { print } inside && /^END/ { exit }' |
  diff -u tests/e2e/menu_101.rc -

echo "e2e: the program under Wine"
# Always a virtual display of its own: the tests press keys and read pixels,
# which a desktop in use would disturb.
export ORVANEL_OWN_DISPLAY=1
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
start=$(date +%s)
(cd "$dir/tests/e2e" && wine orvanel_e2e.exe)
echo "e2e: $(($(date +%s) - start)) s"
