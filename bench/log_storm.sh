#!/usr/bin/env bash
# What a retry storm writes, and what the folding of repeated lines costs a read: four shells
# that run `vr620 read 0x0102` in a loop through vr620-gatewayd while the simulated adapter is
# pulled out (each round connects, fails DEVICE_CONNECT and closes); the bytes and lines a second
# of the connection log (standard output) and of the library's debug lines (standard error),
# and those of the log after the first round. Then the p50 and p95 of `vr620 bench` at 115200
# bit/s with the adapter in. With --before DIR the same for the programs in DIR (a build of the
# branch before), the two taking turns, and the ratio of the p50s.
#
#   bench/log_storm.sh [--out DIR] [--before DIR] [--seconds S] [--requests M] [--rounds R]
#     --out DIR      the programs (default build/default/out)
#     --before DIR   the programs to compare with (vr620-gatewayd, vr620, vr620-sim,
#                    libducta.so), e.g. a build of main
#     --seconds S    how long the storm lasts (default 60)
#     --requests M   reads of point 0x0102 per round of the latency (default 500)
#     --rounds R     rounds of the latency; each round runs every build in turn (default 5)
#
# The programs run from copies in a temporary folder, each build in its own with its DUCTA.INI.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
before=""
seconds=60
requests=500
rounds=5
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --before) before="${2:?--before needs a folder}"; shift ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        --rounds) rounds="${2:?--rounds needs a number}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "log_storm: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

. bench/bench_lib.sh
bench_work log_storm
builds=(after)
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so
mkdir "$work/after"
mv "$work"/{vr620-gatewayd,vr620,libducta.so} "$work/after/"
if [ -n "$before" ]; then
    builds=(before after)
    mkdir "$work/before"
    for f in vr620-gatewayd vr620 libducta.so; do
        cp "$before/$f" "$work/before/" ||
            { echo "log_storm: $before/$f is missing" >&2; exit 1; }
    done
fi

ini() {  # build
    printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=115200\r\n' "$work/com1" \
        >"$work/$1/DUCTA.INI"
}

echo "The storm: 4 shells running 'vr620 read 0x0102' in a loop for $seconds s, adapter pulled out"
printf '%-7s %8s %10s %8s %10s %9s %12s %12s\n' build rounds "log B/s" "log l/s" "debug B/s" \
    "debug l/s" "log lines" "after first"
bench_start_sim --baud 115200 --turnaround 1
kill -USR1 "$sim"
wait_for_text "$work/sim.out" 100 "^device: gone" || { echo "log_storm: no unplug" >&2; exit 1; }
for build in "${builds[@]}"; do
    ini "$build"
    bench_gateway=("$work/$build/vr620-gatewayd")
    bench_gateway_err="$build.err"  # the library's debug lines, apart
    bench_start_gateway "$build.log" --com 1 --bind 127.0.0.1
    bench_gateway_err=""
    start_lines=$(wc -l <"$work/$build.log")
    start_bytes=$(wc -c <"$work/$build.log")
    start_err=$(wc -c <"$work/$build.err")
    start_err_lines=$(wc -l <"$work/$build.err")
    : >"$work/rounds"
    shells=()
    for _ in 1 2 3 4; do
        (
            end=$((SECONDS + seconds)); n=0
            while [ $SECONDS -lt $end ]; do
                "$work/$build/vr620" --port "$port" read 0x0102 >/dev/null 2>&1 || true
                n=$((n + 1))
                [ $n -eq 1 ] && echo first >>"$work/rounds"
            done
            echo "$n" >>"$work/rounds"
        ) &
        shells+=($!)
    done
    # The first round: every shell has had its first read.
    for _ in $(seq 600); do [ "$(grep -c first "$work/rounds")" -ge 4 ] && break; sleep 0.1; done
    first_lines=$(wc -l <"$work/$build.log")
    wait "${shells[@]}"
    kill -TERM "$gateway"; wait "$gateway" 2>/dev/null || true
    lines=$(($(wc -l <"$work/$build.log") - start_lines))
    bytes=$(($(wc -c <"$work/$build.log") - start_bytes))
    err=$(($(wc -c <"$work/$build.err") - start_err))
    err_lines=$(($(wc -l <"$work/$build.err") - start_err_lines))
    after_first=$(($(wc -l <"$work/$build.log") - first_lines))
    made=$(grep -v first "$work/rounds" | awk '{n += $1} END {print n}')
    awk -v b="$build" -v r="$made" -v by="$bytes" -v l="$lines" -v e="$err" -v el="$err_lines" \
        -v s="$seconds" -v a="$after_first" \
        'BEGIN {printf "%-7s %8d %10.0f %8.1f %10.0f %9.1f %12d %12d\n", b, r, by / s, l / s, e / s, el / s, l, a}'
done
kill -USR2 "$sim"
wait_for_text "$work/sim.out" 100 "^device: /" || true

echo
echo "vr620 bench at 115200 bit/s: $requests reads of point 0x0102 a round, $rounds rounds" \
    "(median of the rounds)"
for build in "${builds[@]}"; do : >"$work/$build.p"; done
for _ in $(seq "$rounds"); do
    for build in "${builds[@]}"; do
        bench_gateway=("$work/$build/vr620-gatewayd")
        bench_start_gateway "$build.bench.log" --com 1 --bind 127.0.0.1
        result=$("$work/$build/vr620" --port "$port" bench --requests "$requests" 0x0102 2>&1) ||
            { echo "$result" >&2; exit 1; }
        latency_p50_p95 <<<"$result" >>"$work/$build.p"
        kill -TERM "$gateway"
        wait "$gateway" || { echo "log_storm: the gateway did not end with 0" >&2; exit 1; }
    done
done
printf '%-10s %10s %10s\n' build "p50 ms" "p95 ms"
for build in "${builds[@]}"; do
    printf '%-10s %10s %10s\n' "$build" "$(median "$work/$build.p" 1)" "$(median "$work/$build.p" 2)"
done
if [ -n "$before" ]; then
    awk -v a="$(median "$work/before.p" 1)" -v b="$(median "$work/after.p" 1)" \
        'BEGIN {printf "after / before: p50 %.3f x\n", b / a}'
fi
