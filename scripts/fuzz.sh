#!/usr/bin/env bash
# Runs every libFuzzer target of tests/fuzz for SECONDS each (default 60), starting from its
# committed seeds in tests/fuzz/corpus/<name>/, and fails on any crash, leak, sanitizer report
# or time-out. Builds the fuzz preset (clang) first; installs clang when it is missing.
#
#     ./scripts/fuzz.sh [SECONDS]
#
# Inputs that the fuzzer finds interesting go to a scratch folder, not into the seeds; an input
# that fails is kept as build/fuzz/artifacts/<name>-crash-... (run the target on that file to
# see it again).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }
./scripts/deps.sh fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=()
passed=0
for target in build/fuzz/fuzz/fuzz_*; do
    name=${target##*/fuzz_}
    seeds=tests/fuzz/corpus/$name
    mkdir -p "$scratch/$name"
    [ -d "$seeds" ] || { echo "=== $name: no seeds in $seeds" >&2; failed+=("$name"); continue; }
    echo "=== $name: ${seconds} s"
    log="$scratch/$name.log"
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" "$scratch/$name" "$seeds" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "    ${runs:-?} runs, nothing found"
        passed=$((passed + 1))
    else
        tail -n 40 "$log"
        failed+=("$name")
    fi
done
echo "fuzz: $passed passed, ${#failed[@]} failed${failed:+ (${failed[*]})}"
[ ${#failed[@]} -eq 0 ]
