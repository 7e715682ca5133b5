#!/usr/bin/env bash
# Crash and race safety of exchanges: real three-aspect exchanges of two
# demo-sized DLLs, 150 of them (CRASH_KILLS) killed at random moments; after
# each kill each DLL must be whole (as before or exchanged) and the next
# exchange must flip both. Then 50 rounds of two exchanges started together on
# one folder, some with one of them killed: each DLL must hold exactly the
# changes of the runs that reported success, and a run that finds the lock
# held must refuse and change nothing. The DLLs live on the build's disk, not
# in memory, so the flushes are real. Pass CRASH_SEED to repeat a run.
set -euo pipefail
dir="$BUILD_ROOT/native"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target crash_saver crash_driver
"$dir/tests/crash/crash_driver" "$dir/tests/crash/crash_saver" "$BUILD_ROOT/crash-test" \
  "${CRASH_KILLS:-150}" ${CRASH_SEED:-}
