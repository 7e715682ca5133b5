#!/usr/bin/env bash
# Runs the benchmarks and prints their figures (docs/performance.md quotes
# them). Everything lives under $BUILD_ROOT/bench*; the files are on the
# build's disk, so flushes to disk are real.
#   scripts/bench.sh [exchange|startup|memory|idle|all]   (default: all but idle)
# idle needs the Windows build of Orvanel.exe (scripts/test.d/30-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_ROOT="${BUILD_ROOT:-build}"
what="${1:-standard}"
runs="${BENCH_RUNS:-20}"
dir="$BUILD_ROOT/bench"
work="$PWD/$BUILD_ROOT/bench-work"

build() {
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target bench_exchange bench_startup make_demo_dlls >/dev/null
}

# Two classes with two skills each, and 4 MiB stand-in DLLs of random bytes.
# Offsets have at most five hexadecimal digits, so the ranges lie in the
# first MiB; the exchange reads and writes the whole file all the same.
make_stand_ins() {
  local folder="$work/stand-in"
  rm -rf "$folder"
  mkdir -p "$folder/data" "$folder/dlls"
  printf 'Left\r\nRight\r\n|\r\n' >"$folder/data/classes.txt"
  printf 'Left_A\t10000h\tfx\t20000h\tgfx\t30000h\tdesc\r\nLeft_B\t18000h\tfx\t28000h\tgfx\t38000h\tdesc\r\n|\r\n' \
    >"$folder/data/Left 109b.txt"
  printf 'Right_A\t11000h\tfx\t21000h\tgfx\t31000h\tdesc\r\nRight_B\tFF000h\tfx\tFF100h\tgfx\tFF200h\tdesc\r\n|\r\n' \
    >"$folder/data/Right 109b.txt"
  head -c 4194304 /dev/urandom >"$folder/dlls/d2game.dll"
  head -c 4194304 /dev/urandom >"$folder/dlls/d2client.dll"
}

make_demo() {
  rm -rf "$work/demo-dlls"
  "$dir/demo/make_demo_dlls" "$work/demo-dlls" demo >/dev/null
}

exchange() {
  make_stand_ins
  echo "## exchange of three aspects, 4 MiB stand-in DLLs"
  "$dir/bench/bench_exchange" "$work/stand-in" "$work/stand-in/dlls" "$runs"
  make_demo
  echo "## exchange of three aspects, demo DLLs"
  "$dir/bench/bench_exchange" demo "$work/demo-dlls" "$runs"
}

# Each in a fresh process: the first exchange in a folder (which also makes
# the two backups), then a later one.
memory() {
  make_stand_ins
  echo "## peak memory of the first exchange, 4 MiB stand-in DLLs"
  "$dir/bench/bench_exchange" --peak "$work/stand-in" "$work/stand-in/dlls"
  echo "## peak memory of a later exchange, 4 MiB stand-in DLLs"
  "$dir/bench/bench_exchange" --peak "$work/stand-in" "$work/stand-in/dlls"
  make_demo
  echo "## peak memory of the first exchange, demo DLLs"
  "$dir/bench/bench_exchange" --peak demo "$work/demo-dlls"
  echo "## peak memory of a later exchange, demo DLLs"
  "$dir/bench/bench_exchange" --peak demo "$work/demo-dlls"
}

startup() {
  echo "## start-up loading, 100 classes x 256 skills x 2 tables"
  "$dir/bench/bench_startup" "$work/startup" "$runs"
}

idle() {
  echo "## idle processor use of the window under Wine"
  bash bench/idle_cpu.sh
}

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
case "$what" in
  exchange | memory | startup | idle)
    [ "$what" = idle ] || build
    "$what"
    ;;
  standard) build; exchange; memory; startup ;;
  all) build; exchange; memory; startup; idle ;;
  *) echo "usage: scripts/bench.sh [exchange|startup|memory|idle|all]" >&2; exit 2 ;;
esac
