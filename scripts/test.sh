#!/usr/bin/env bash
# Runs every test: installs what is missing, then each stage of
# scripts/test.d in order (native build, Windows build under Wine, ...).
# BUILD_ROOT (default: build) keeps all build output in one folder.
set -uo pipefail
cd "$(dirname "$0")/.."
export BUILD_ROOT="${BUILD_ROOT:-build}"

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

passed=0
failed=0
for stage in scripts/test.d/*.sh; do
  name=$(basename "$stage" .sh)
  echo "== stage $name"
  start=$(date +%s)
  if bash "$stage"; then
    passed=$((passed + 1))
    echo "== stage $name passed ($(($(date +%s) - start)) s)"
  else
    failed=$((failed + 1))
    echo "== stage $name FAILED ($(($(date +%s) - start)) s)"
  fi
done
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
