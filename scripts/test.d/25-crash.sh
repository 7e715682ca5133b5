#!/usr/bin/env bash
# Crash and race safety of changes: real three-aspect exchanges and restores
# of two demo-sized DLLs, 150 of them (CRASH_KILLS) killed at random moments,
# each followed by the next change: after it both DLLs must be together (all
# old or all new) and whole, and it must say when it undid a half change; some
# kills must be seen to leave one DLL changed and the other not. Then every
# step of an exchange and of a restore in turn is made the last before a
# crash, and the undo must leave both DLLs all old or all new; a DLL changed
# by another program after a stop must stop the next change, and restore must
# clear it. Then 50 rounds of two exchanges started together on one folder,
# some with one of them killed: each DLL must hold exactly the changes of the
# runs that reported success, and a run that finds the lock held must refuse
# and change nothing. The DLLs live on the build's disk, not in memory, so the
# flushes are real. Then a third as many kills in a folder of Game.exe alone
# (a version kept in one file): after the next change Game.exe is whole, old
# or new, no journal is left and its backup is untouched. Pass CRASH_SEED to
# repeat a run. Last, every state a power cut may leave during a swap, a
# restore, an apply and a recovery (the model is in docs/reliability.md), and
# during a swap in Game.exe alone, is built and recovered: all old or all
# new, the backups untouched, the player told of an undo; it prints how many
# states each change gave.
set -euo pipefail
dir="$BUILD_ROOT/native"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target crash_saver crash_driver crash_states
"$dir/tests/crash/crash_driver" "$dir/tests/crash/crash_saver" "$BUILD_ROOT/crash-test" \
  "${CRASH_KILLS:-150}" ${CRASH_SEED:-}
"$dir/tests/crash/crash_states" "$BUILD_ROOT/crash-states"
