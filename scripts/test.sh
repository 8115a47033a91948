#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and passes the tests: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, then one with ThreadSanitizer (the device
# library, the gateway and the manager with its log delivery). Any sanitizer report fails the
# run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
# Leaks inside system libraries (fontconfig, Qt's platform plugins) are not ours to fix.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"

jobs=$(nproc)
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan tsan)
for preset in "${presets[@]}"; do
    echo "=== ${preset}: build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    echo "=== ${preset}: tests"
    ctest --preset "$preset" -j "$jobs"
done
echo "=== all test runs passed: ${presets[*]}"
