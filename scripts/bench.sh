#!/usr/bin/env bash
# Runs the benchmarks and prints their figures (docs/performance.md quotes
# them). Everything lives under $BUILD_ROOT/bench*; the files are on the
# build's disk, so flushes to disk are real.
#   scripts/bench.sh [tools|one_file|growth|exchange|startup|memory|idle|all]
#     (default: all but idle)
# tools installs Debian's xdelta3 and bsdiff when they are missing (the
# benchmarks alone need them). idle needs the Windows build of Orvanel.exe
# (scripts/test.d/30-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_ROOT="${BUILD_ROOT:-build}"
what="${1:-standard}"
runs="${BENCH_RUNS:-20}"
dir="$BUILD_ROOT/bench"
work="$PWD/$BUILD_ROOT/bench-work"
# BENCH_CLI times another build of orvanel-cli (an older one, say) instead.
cli="${BENCH_CLI:-$PWD/$dir/cli/orvanel-cli}"
paired="$PWD/$dir/bench/bench_paired"
durable="$PWD/$dir/bench/durable_replace"

# orvanel-cli is linked statically, as the Linux package ships it.
build() {
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEL_STATIC_CLI=ON >/dev/null
  cmake --build "$dir" -j"$(nproc)" \
    --target bench_exchange bench_startup bench_paired durable_replace make_demo_dlls orvanel-cli >/dev/null
}

# Two classes with two skills each, and 4 MiB stand-in DLLs of random bytes.
# Offsets have at most five hexadecimal digits, so the ranges lie in the
# first MiB; the exchange reads and writes the whole file all the same.
make_stand_ins() {
  local folder="$work/stand-in"
  rm -rf "$folder"
  mkdir -p "$folder/data" "$folder/dlls"
  printf '1.09b\r\n1.09d\r\n|\r\n' >"$folder/data/versions.txt"
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

# Debian's xdelta3 and bsdiff, for the side-by-side run only: installed here
# when missing, after any other apt or dpkg has finished.
patch_tools() {
  command -v xdelta3 >/dev/null && command -v bsdiff >/dev/null && command -v bspatch >/dev/null &&
    return
  for _ in $(seq 60); do
    pgrep -x apt-get >/dev/null || pgrep -x apt >/dev/null || pgrep -x dpkg >/dev/null || break
    sleep 5
  done
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y --no-install-recommends xdelta3 bsdiff >/dev/null 2>&1 ||
    { apt-get update >/dev/null && apt-get install -y --no-install-recommends xdelta3 bsdiff >/dev/null; }
}

# side_by_side FOLDER FIRST SECOND: in FOLDER (data/ and dlls/), the
# exchange of FIRST and SECOND (CLASS:SKILL), all three aspects, by
# orvanel-cli and by a binary patch that makes the same bytes, applied with
# xdelta3 -d and with bspatch; as yardsticks a durable replace of the same
# files (bench/durable_replace: each written to a temporary file, flushed,
# renamed, the folder flushed once) and the same kept together by a journal
# (--journaled: the flushes any change of two files needs), cp and a copy
# flushed to disk (dd bs=4M conv=fsync); the one-file version (Effects alone: d2game.dll) beside the
# durable replace of that file; orvanel-cli list and swap --dry-run for what
# start-up, the tables and reading the DLLs cost by themselves.
side_by_side() {
  local folder=$1 first=$2 second=$3
  local swap=(swap --version 0 --first "$first" --second "$second" --effects --graphics --descs)
  cd "$folder"
  rm -rf target made made-one out-* ./*.vcdiff ./*.bsdiff
  mkdir -p out-cp out-dd out-xdelta3 out-bspatch out-durable out-durable-one
  cp -r dlls target
  cp -r dlls made
  cp -r dlls made-one
  "$cli" --data data --folder made "${swap[@]}" >/dev/null
  local one=(swap --version 0 --first "$first" --second "$second" --effects)
  "$cli" --data data --folder made-one "${one[@]}" >/dev/null
  local plan="$folder/plan.tsv" tab=$'\t' dll
  {
    for dll in d2game d2client; do
      echo "cp${tab}0${tab}cp${tab}dlls/$dll.dll${tab}out-cp/$dll.dll"
    done
    for dll in d2game d2client; do
      echo "dd fsync${tab}0${tab}dd${tab}if=dlls/$dll.dll${tab}of=out-dd/$dll.dll${tab}bs=4M${tab}conv=fsync${tab}status=none"
    done
    echo "durable replace${tab}0${tab}$durable${tab}out-durable${tab}made/d2game.dll${tab}made/d2client.dll"
    echo "durable replace journaled${tab}0${tab}$durable${tab}--journaled${tab}out-durable${tab}made/d2game.dll${tab}made/d2client.dll"
    echo "orvanel-cli swap${tab}0${tab}$cli${tab}--data${tab}data${tab}--folder${tab}target$(printf "${tab}%s" "${swap[@]}")"
    echo "durable replace one${tab}0${tab}$durable${tab}out-durable-one${tab}made-one/d2game.dll"
    echo "orvanel-cli swap one${tab}0${tab}$cli${tab}--data${tab}data${tab}--folder${tab}target$(printf "${tab}%s" "${one[@]}")"
    for dll in d2game d2client; do
      xdelta3 -e -f -s "dlls/$dll.dll" "made/$dll.dll" "$dll.vcdiff"
      bsdiff "dlls/$dll.dll" "made/$dll.dll" "$dll.bsdiff"
    done
    for dll in d2game d2client; do
      echo "xdelta3 -d${tab}0${tab}xdelta3${tab}-d${tab}-f${tab}-s${tab}dlls/$dll.dll${tab}$dll.vcdiff${tab}out-xdelta3/$dll.dll"
    done
    for dll in d2game d2client; do
      echo "bspatch${tab}0${tab}bspatch${tab}dlls/$dll.dll${tab}out-bspatch/$dll.dll${tab}$dll.bsdiff"
    done
    echo "cli list${tab}0${tab}$cli${tab}--data${tab}data${tab}list"
    echo "cli swap --dry-run${tab}0${tab}$cli${tab}--data${tab}data${tab}--folder${tab}target$(printf "${tab}%s" "${swap[@]}")${tab}--dry-run"
  } >"$plan"
  echo "patches: $(stat -c '%n %s bytes' ./*.vcdiff ./*.bsdiff | tr '\n' ';' | sed 's/;$//; s/;/, /g')"
  "$paired" "$runs" "durable replace,durable replace journaled,durable replace one,dd fsync" "$plan"
  # Every tool made the bytes of the exchange.
  for out in out-xdelta3 out-bspatch; do
    for dll in d2game d2client; do
      cmp -s "$out/$dll.dll" "made/$dll.dll" || { echo "bench: $out/$dll.dll differs from the exchange's" >&2; exit 1; }
    done
  done
  cd - >/dev/null
}

# A version that keeps its skills in one file, as 1.14d does in its
# 3,614,696-byte Game.exe: the three-aspect swap there (all in that file)
# beside a copy of it flushed to disk (dd conv=fsync) and a durable replace
# of it.
one_file() {
  local folder="$work/one-file" tab=$'\t'
  make_stand_ins
  rm -rf "$folder"
  mkdir -p "$folder/game" "$folder/out-dd" "$folder/out-durable"
  cp -r "$work/stand-in/data" "$folder/data"
  printf '1.14d files=Game.exe\r\n|\r\n' >"$folder/data/versions.txt"
  head -c 3614696 /dev/urandom >"$folder/game/Game.exe"
  cd "$folder"
  local swap=(swap --version 0 --first Left:0 --second Right:1 --effects --graphics --descs)
  "$cli" --data data --folder game "${swap[@]}" >/dev/null
  [ -f game/Game.exe.bak ] && [ ! -e game/d2game.dll ] ||
    { echo "bench: the one-file swap did not change Game.exe alone" >&2; exit 1; }
  {
    echo "dd fsync Game.exe${tab}0${tab}dd${tab}if=game/Game.exe${tab}of=out-dd/Game.exe${tab}bs=4M${tab}conv=fsync${tab}status=none"
    echo "durable replace Game.exe${tab}0${tab}$durable${tab}out-durable${tab}game/Game.exe"
    echo "orvanel-cli swap Game.exe${tab}0${tab}$cli${tab}--data${tab}data${tab}--folder${tab}game$(printf "${tab}%s" "${swap[@]}")"
  } >plan.tsv
  "$paired" "$runs" "dd fsync Game.exe,durable replace Game.exe" plan.tsv
  cd - >/dev/null
}

tools() {
  patch_tools
  echo "xdelta3 $(xdelta3 -V 2>&1 | head -1 | sed 's/^Xdelta version //' | cut -d, -f1), bsdiff $(dpkg-query -W -f '${Version}' bsdiff)"
  make_demo
  rm -rf "$work/demo-side"
  mkdir -p "$work/demo-side"
  cp -r demo/data "$work/demo-side/data"
  mv "$work/demo-dlls" "$work/demo-side/dlls"
  echo "## side by side, demo DLLs (1 MiB), Amazon:Jab with Sorceress:Fire_Bolt"
  side_by_side "$work/demo-side" Amazon:Jab Sorceress:Fire_Bolt
  make_stand_ins
  echo "## side by side, 4 MiB stand-in DLLs, Left:0 with Right:1"
  side_by_side "$work/stand-in" Left:0 Right:1
  echo "## side by side, a one-file version: Game.exe of 3.6 MB, Left:0 with Right:1"
  one_file
}

# Whole orvanel-cli processes on generated tables of 1,000, 10,000 and
# 100,000 skill records, in two shapes: many classes of 50 skills per table,
# and two classes with long tables. Per record: the median time divided by
# the records; growth: that against the same command and shape at 1,000.
growth() {
  local plan="$work/growth/plan.tsv" tab=$'\t' shape records classes skills
  rm -rf "$work/growth"
  mkdir -p "$work/growth"
  : >"$plan"
  for shape in wide deep; do
    for records in 1000 10000 100000; do
      if [ "$shape" = wide ]; then classes=$((records / 100)) skills=50; else classes=2 skills=$((records / 4)); fi
      "$dir/bench/bench_startup" --write "$work/growth/$shape-$records" "$classes" "$skills" >/dev/null
      # More than 256 skills in a table is a finding, and check then exits 1.
      local status=0
      [ "$skills" -gt 256 ] && status=1
      for command in list check; do
        echo "$command $shape $records${tab}$([ "$command" = list ] && echo 0 || echo "$status")${tab}$cli${tab}--data${tab}$work/growth/$shape-$records/data${tab}$command" >>"$plan"
      done
    done
  done
  (cd "$work/growth" && "$paired" "$runs" "list wide 1000" "$plan") >"$work/growth/out.txt"
  echo "## list and check, whole processes: wide = classes of 50 skills per table, deep = 2 classes"
  head -1 "$work/growth/out.txt" | sed 's/; x LABEL.*//'
  # The ratios to the first step say nothing here: left out.
  tail -n +2 "$work/growth/out.txt" | sed -E 's/ {2,}(x list wide 1000|[0-9.]+ \([^)]*\)) *$//'
  echo "## per record: the median over the records, and against the same at 1,000 (x);"
  echo "## beyond 1,000: (median - median at 1,000) / (records - 1,000), start-up left out"
  tail -n +3 "$work/growth/out.txt" | awk '
    { key = $1 " " $2; records = $3; median = $4; per = 1000 * median / records
      if (records == 1000) { base[key] = median; basePer[key] = per }
      printf "%-5s %-4s %6d: %8.2f ms, %6.2f us per record, x %.2f", $1, $2, records, median, per, per / basePer[key]
      if (records > 1000) {
        beyond = 1000 * (median - base[key]) / (records - 1000)
        if (records == 10000) first[key] = beyond
        printf "; beyond 1,000: %5.2f us per record", beyond
        if (records == 100000) printf ", x %.2f of that at 10,000", beyond / first[key]
      }
      printf "\n" }'
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
  tools | growth | exchange | memory | startup | idle | one_file)
    [ "$what" = idle ] || build
    "$what"
    ;;
  standard) build; tools; growth; exchange; memory; startup ;;
  all) build; tools; growth; exchange; memory; startup; idle ;;
  *) echo "usage: scripts/bench.sh [tools|growth|exchange|startup|memory|idle|all]" >&2; exit 2 ;;
esac
