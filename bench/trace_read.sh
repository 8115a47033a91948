#!/usr/bin/env bash
# What the capture of the serial line ([Trace] in DUCTA.INI) costs a read: `vr620 bench` through
# vr620-gatewayd against vr620-sim, with the capture off and on in turn, in one run; the p50 and
# p95 of each (the median of the rounds) and their ratio.
#
#   bench/trace_read.sh [--out DIR] [--requests M] [--rounds R] [--baud B]
#     --out DIR      the programs (default build/default/out)
#     --requests M   reads of point 0x0102 per round and setting (default 500)
#     --rounds R     rounds; each round runs the gateway without and with the capture (default 5)
#     --baud B       line speed (default 115200)
#
# The programs run from copies in a temporary folder with their own DUCTA.INI; the capture goes
# to a file in that folder.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
requests=500
rounds=5
baud=115200
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        --rounds) rounds="${2:?--rounds needs a number}"; shift ;;
        --baud) baud="${2:?--baud needs a number}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "trace_read: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

. bench/bench_lib.sh
bench_work trace_read
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so

bench_start_sim --baud "$baud" --turnaround 1

ini() {  # off|on
    printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=%s\r\n' "$work/com1" "$baud"
    [ "$1" = on ] && printf '[Trace]\r\nFile=%s\r\n' "$work/line.pcapng"
    return 0
}

: >"$work/off.p"
: >"$work/on.p"
for _ in $(seq "$rounds"); do
    for trace in off on; do
        ini "$trace" >"$work/DUCTA.INI"
        bench_start_gateway gateway.log --com 1 --bind 127.0.0.1
        result=$("$work/vr620" --port "$port" bench --requests "$requests" 0x0102 2>&1) ||
            { echo "$result" >&2; exit 1; }
        latency_p50_p95 <<<"$result" >>"$work/$trace.p"
        kill -TERM "$gateway"
        wait "$gateway" || { echo "trace_read: the gateway did not end with 0" >&2; exit 1; }
    done
done

echo "vr620 bench through vr620-gatewayd at $baud bit/s: $requests reads of point 0x0102 a round," \
    "$rounds rounds (median of the rounds)"
printf '%-10s %10s %10s\n' "[Trace]" "p50 ms" "p95 ms"
for trace in off on; do
    printf '%-10s %10s %10s\n' "$trace" "$(median "$work/$trace.p" 1)" "$(median "$work/$trace.p" 2)"
done
awk -v a="$(median "$work/off.p" 1)" -v b="$(median "$work/on.p" 1)" \
    -v c="$(median "$work/off.p" 2)" -v d="$(median "$work/on.p" 2)" \
    'BEGIN {printf "on / off:  p50 %.3f x, p95 %.3f x\n", b / a, d / c}'
echo "capture written: $(stat -c %s "$work/line.pcapng") bytes, $rounds sections"
