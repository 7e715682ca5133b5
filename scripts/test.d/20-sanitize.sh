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
