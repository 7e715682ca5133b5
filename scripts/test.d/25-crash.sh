#!/usr/bin/env bash
# Crash safety of saves: 250 real saves of a demo-sized DLL killed at random
# moments; after each kill the DLL must be whole (old or new content) and the
# next save must succeed. The DLL lives on the build's disk, not in memory,
# so the flushes are real. Pass CRASH_SEED to repeat a run.
set -euo pipefail
dir="$BUILD_ROOT/native"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target crash_saver crash_driver
"$dir/tests/crash/crash_driver" "$dir/tests/crash/crash_saver" "$BUILD_ROOT/crash-test" \
  "${CRASH_KILLS:-250}" ${CRASH_SEED:-}
