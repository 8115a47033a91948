#!/usr/bin/env bash
# What vr620-points costs while it watches: 20 points read every second through vr620-gatewayd
# from the simulated controller at 9600 bit/s.
#
#   bench/points_watch.sh [--out DIR] [--seconds S] [--requests M]
#     --out DIR     the folder with vr620-points, vr620-gatewayd, vr620, vr620-sim, libducta.so
#                   (default build/default/out)
#     --seconds S   how long the watching window is measured (default 30)
#     --requests M  reads of the other client's `vr620 bench` (default 100)
#
# Prints vr620-points' own CPU share over the interval (user and system ticks against the wall
# clock), its resident memory at the end, the rounds of reads the gateway served for it, and
# the p50/p95 of another client's `vr620 bench` (one connection reading point 1001) alone and
# beside the watching window. vr620-points runs on the offscreen platform; the programs run from
# a copy in a temporary folder with its own DUCTA.INI and data file.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
seconds=30
requests=100
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "points_watch: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

. bench/bench_lib.sh
bench_work points_watch
bench_copy "$out" vr620-points vr620-gatewayd vr620 vr620-sim libducta.so
reads() { grep -c "SNVT_READ command received" "$work/gateway.log" || true; }

# Twenty points of two bytes each, 1000 to 1013, all watched.
{
    for i in $(seq 0 19); do printf '%04X = 00 %02X\n' $((0x1000 + i)) "$i"; done
} >"$work/data.txt"
{
    echo "point,name,watch"
    for i in $(seq 0 19); do printf '%04X,,1\n' $((0x1000 + i)); done
} >"$work/points.csv"

bench_start_sim --baud 9600 --data "$work/data.txt"
printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=9600\r\n' "$work/com1" >"$work/DUCTA.INI"

bench_start_gateway gateway.log --bind 127.0.0.1

bench() {
    "$work/vr620" --port "$port" bench --clients 1 --requests "$requests" 0x1001 |
        grep -o 'p50 [0-9.]*, p95 [0-9.]*'
}
echo "== 9600 bit/s, 20 watched points every second, ${seconds} s"
echo "another client alone:          $(bench) ms"

VR620_POINTS_FILE="$work/points.csv" QT_QPA_PLATFORM=offscreen \
    "$work/vr620-points" HOST=127.0.0.1 "PORT=$port" LANG=ENG >"$work/points.out" 2>&1 &
points=$!
pids+=("$points")
# Settled: a few rounds read.
for _ in $(seq 100); do [ "$(reads)" -ge 60 ] && break; sleep 0.1; done

clk=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$points/stat"; }
before_ticks=$(ticks)
before_reads=$(reads)
start=$(date +%s.%N)
sleep "$seconds"
end=$(date +%s.%N)
after_ticks=$(ticks)
after_reads=$(reads)
rss=$(awk '/VmRSS/ {print $2 " " $3}' "/proc/$points/status")
awk -v t=$((after_ticks - before_ticks)) -v c="$clk" -v s="$start" -v e="$end" \
    'BEGIN { printf "vr620-points CPU share:        %.2f %% (%d ticks in %.1f s)\n", 100 * t / c / (e - s), t, e - s }'
echo "vr620-points resident memory:  $rss"
awk -v r=$((after_reads - before_reads)) -v s="$start" -v e="$end" \
    'BEGIN { printf "reads served for it:           %d (%.1f a second)\n", r, r / (e - s) }'
echo "another client beside it:      $(bench) ms"
