#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and passes the tests: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the gateway and device library under
# ThreadSanitizer. Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# Leak checking needs ptrace-like access that some sandboxes refuse; keep it on where it works.
if ! (echo 'int main(){}' | g++ -x c++ -fsanitize=address - -o /tmp/vr620-lsan-probe 2>/dev/null &&
      /tmp/vr620-lsan-probe >/dev/null 2>&1); then
    export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:halt_on_error=1"
fi

jobs=$(nproc)
for preset in default asan tsan; do
    echo "=== ${preset} build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    echo "=== ${preset} tests"
    label=()
    # Qt and the manager are not built under ThreadSanitizer; the threaded code is.
    ctest --preset "$preset" -j "$jobs" "${label[@]}"
done
echo "=== all test runs passed"
