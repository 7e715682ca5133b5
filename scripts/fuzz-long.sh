#!/usr/bin/env bash
# The long fuzzing run: every target for SECONDS (default 240) one after the
# other, continuing from the corpus earlier runs left in $BUILD_ROOT.
#   scripts/fuzz-long.sh [SECONDS_PER_TARGET] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-240}"
shift || true
exec bash scripts/fuzz.sh "$seconds" "$@"
