#!/usr/bin/env bash
# The PE reader (files/pe_version.h) against Debian's python3-pefile on the
# Windows programs of the build and the demo's stand-in Game.exe: the same
# file version and build time stamp, or the same absence. A program that was
# not built is skipped.
#   BUILD_ROOT=build bash scripts/check-pe-version.sh WINDOWS_BUILD_DIR...
set -euo pipefail
native="$BUILD_ROOT/native"
cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native" -j"$(nproc)" --target pe_version_probe make_demo_dlls >/dev/null
"$native/demo/make_demo_dlls" --game-exe "$BUILD_ROOT/pe-check" demo >/dev/null
files=("$BUILD_ROOT/pe-check/Game.exe")
for dir in $(printf '%s\n' "$@" | sort -u); do
  for program in app/Orvanel.exe cli/orvanel-cli.exe tests/unit_tests.exe; do
    if [ -f "$dir/$program" ]; then
      files+=("$dir/$program")
    else
      echo "check-pe-version: $dir/$program was not built, skipped"
    fi
  done
done

ours=$("$native/tests/pe_version_probe" "${files[@]}")
theirs=$(/usr/bin/python3 - "${files[@]}" <<'PY'
import sys
import pefile

for path in sys.argv[1:]:
    pe = pefile.PE(path)
    version = "-"
    for info in getattr(pe, "VS_FIXEDFILEINFO", [])[:1]:
        ms, ls = info.FileVersionMS, info.FileVersionLS
        version = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    stamp = pe.FILE_HEADER.TimeDateStamp
    print("%s version=%s time=%s" % (path, version, stamp if stamp else "-"))
PY
)
if [ "$ours" != "$theirs" ]; then
  echo "check-pe-version: the PE reader and pefile disagree:"
  diff <(echo "$ours") <(echo "$theirs") || true
  exit 1
fi
grep -q 'version=[0-9]' <<<"$ours" || { echo "check-pe-version: no file had a version"; exit 1; }
echo "check-pe-version: ${#files[@]} files read as pefile reads them"
