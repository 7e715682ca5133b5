#!/usr/bin/env bash
# Native Linux build and unit tests.
set -euo pipefail
bash scripts/check-includes.sh
dir="$BUILD_ROOT/native"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure
