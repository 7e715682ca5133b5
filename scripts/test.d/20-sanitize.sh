#!/usr/bin/env bash
# The native unit tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer. Any report stops the test binary with an error,
# so one finding fails the stage.
set -euo pipefail
dir="$BUILD_ROOT/sanitize"
# GCC's address sanitizer makes -Wmaybe-uninitialized report false positives
# inside libstdc++ (std::function in CLI11); the plain native build keeps the
# warning.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANEL_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS=-Wno-maybe-uninitialized >/dev/null
cmake --build "$dir" -j"$(nproc)"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:exitcode=23"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=24"
ctest --test-dir "$dir" --output-on-failure

# As root no permission check ever fails, so the tests of read-only files
# skip themselves. Run those once more as an ordinary user (from a copy of
# the binary, in case the build folder is closed to other users).
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  skipped=$("$dir/tests/unit_tests" 2>&1 | sed -n 's/^\[  SKIPPED \] \([A-Za-z0-9_]*\.[A-Za-z0-9_]*\).*/\1/p' | sort -u | paste -sd:)
  if [ -n "$skipped" ]; then
    copy=$(mktemp -d)
    trap 'rm -rf "$copy"' EXIT
    cp "$dir/tests/unit_tests" "$copy/"
    chmod 755 "$copy" "$copy/unit_tests"
    echo "as an ordinary user: $skipped"
    (cd "$copy" && setpriv --reuid=65534 --regid=65534 --clear-groups \
      ./unit_tests --gtest_filter="$skipped" | tee "$copy/out" | grep -E '^\[ +(OK|FAILED|SKIPPED) ')
    if grep -q '^\[  SKIPPED \]' "$copy/out"; then
      echo "still skipped as an ordinary user"
      exit 1
    fi
  fi
fi
