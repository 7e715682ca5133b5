#!/usr/bin/env bash
# The window's processor use while nothing happens: starts Orvanel.exe under
# Wine with the demo tables, waits until its window is shown and settled,
# then reads the process's user and system time from /proc/<pid>/stat (and
# those of its wineserver) over 10 seconds.
# Builds $BUILD_ROOT/windows/app/Orvanel.exe from the current tree first.
# IDLE_EXE measures another program instead (its window must be titled
# "Orvanel"), e.g. a busy polling loop to see that the method notices one.
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_ROOT="${BUILD_ROOT:-build}"
seconds="${IDLE_SECONDS:-10}"
exe="${IDLE_EXE:-$PWD/$BUILD_ROOT/windows/app/Orvanel.exe}"
if [ -z "${IDLE_EXE:-}" ]; then
  cmake -S . -B "$BUILD_ROOT/windows" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_ROOT/windows" -j"$(nproc)" --target Orvanel >/dev/null
fi

work="$PWD/$BUILD_ROOT/bench-work/idle"
rm -rf "$work"
mkdir -p "$work"
cp -r demo/data "$work/data"

source scripts/wine-env.sh
wine_start
app_pid=""
finish() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  wine_stop
}
trap finish EXIT

# user + system time of a process, in clock ticks (fields 14 and 15).
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# The wineserver of this prefix works in a folder named after the prefix's
# device and inode.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server_pid=""
for proc in /proc/[0-9]*; do
  if [ "$(basename "$(readlink "$proc/cwd" 2>/dev/null)")" = "$server_dir" ] &&
    grep -q wineserver "$proc/comm" 2>/dev/null; then
    server_pid=${proc#/proc/}
  fi
done

cd "$work"
wine "$exe" >/dev/null 2>&1 &
app_pid=$!
for _ in $(seq 120); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Orvanel"' && break
  sleep 0.5
done
if ! xwininfo -root -tree 2>/dev/null | grep -q '"Orvanel"'; then
  echo "idle: expected the Orvanel window within 60 s, found none" >&2
  exit 1
fi
# The Windows process keeps the pid that wine was started with.
tr '\0' ' ' <"/proc/$app_pid/cmdline" | grep -q "$(basename "$exe")" || {
  echo "idle: expected process $app_pid to run $(basename "$exe"), found $(tr '\0' ' ' <"/proc/$app_pid/cmdline")" >&2
  exit 1
}
sleep 3

hz=$(getconf CLK_TCK)
app_before=$(ticks "$app_pid")
server_before=$([ -n "$server_pid" ] && ticks "$server_pid" || echo 0)
start=$(date +%s.%N)
sleep "$seconds"
app_after=$(ticks "$app_pid")
server_after=$([ -n "$server_pid" ] && ticks "$server_pid" || echo 0)
elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')

percent() { awk -v t="$1" -v hz="$hz" -v s="$elapsed" 'BEGIN {printf "%.2f", 100 * t / hz / s}'; }
printf 'idle for %.2f s; clock tick 1/%d s\n' "$elapsed" "$hz"
echo "$(basename "$exe") (pid $app_pid): $((app_after - app_before)) ticks = $(percent $((app_after - app_before)))% of one core" \
  "($app_after ticks since it started, start-up included)"
if [ -n "$server_pid" ]; then
  echo "its wineserver (pid $server_pid): $((server_after - server_before)) ticks = $(percent $((server_after - server_before)))% of one core"
fi
