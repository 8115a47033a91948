#!/usr/bin/env bash
# What sharing a transaction among identical reads buys, and what it costs where nothing can be
# shared.
#
#   bench/coalesce.sh [--out DIR] [--seconds S] [--clients "1 8 32 64"] [--bauds "4800 115200"]
#     --out DIR      the folder with vr620-gatewayd, vr620, vr620-sim, libducta.so
#                    (default build/default/out)
#     --seconds S    how long each round reads (default 10)
#     --clients LIST the numbers of clients (default "1 8 32 64")
#     --bauds LIST   the line speeds (default "4800 115200")
#
# For each speed, number of clients, and whether they all read one point or each its own, one
# round with the gateway's coalescing on and one with --no-coalesce: every client reads in a
# loop for S seconds (`vr620 bench --seconds`). Prints a Markdown table: served reads a second,
# line transactions a second (the request frames the simulated controller received, from its
# trace), p50/p95/max latency in ms; then the served reads of coalescing on over off.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
seconds=10
client_counts="1 8 32 64"
bauds="4800 115200"
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --clients) client_counts="${2:?--clients needs a list}"; shift ;;
        --bauds) bauds="${2:?--bauds needs a list}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "coalesce: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

. bench/bench_lib.sh
bench_work coalesce
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so

# 64 points of two bytes each, 0x1000 and on, so that every client can have its own.
for i in $(seq 0 63); do printf '%04X = %02X %02X\n' $((0x1000 + i)) "$i" "$i"; done >"$work/points"

# One round: prints "reads/s transactions/s p50 p95 max".
round() {  # baud clients same|own on|off
    local own="" coalesce="" before after served
    [ "$3" = own ] && own=--own-points
    [ "$4" = off ] && coalesce=--no-coalesce
    bench_start_gateway "gateway-$1-$2-$3-$4.log" --com 1 $coalesce
    before=$(grep -c '\] rx 02 81 ' "$work/sim.out" || true)
    "$work/vr620" --port "$port" bench --clients "$2" --seconds "$seconds" $own 0x1000 \
        >"$work/bench.out" 2>&1 || { cat "$work/bench.out" >&2; exit 1; }
    after=$(grep -c '\] rx 02 81 ' "$work/sim.out" || true)
    kill -TERM "$gateway"
    wait "$gateway" 2>/dev/null || true
    served=$(sed -n 's/^answered \([0-9]*\) .* in \([0-9.]*\) s.*/\1 \2/p' "$work/bench.out")
    read -r count took <<<"$served"
    awk -v n="$count" -v t="$took" -v tx=$((after - before)) -v s="$seconds" \
        'BEGIN { printf "%.1f %.1f ", n / t, tx / s }'
    sed -n 's/^latency ms: p50 \([0-9.]*\), p95 \([0-9.]*\), max \([0-9.]*\).*/\1 \2 \3/p' \
        "$work/bench.out"
}

echo "| bit/s | clients | points | coalescing | reads/s | transactions/s | p50 ms | p95 ms | max ms |"
echo "|---:|---:|---|---|---:|---:|---:|---:|---:|"
ratios=()
for baud in $bauds; do
    [ -n "${sim:-}" ] && { kill -TERM "$sim"; wait "$sim" 2>/dev/null || true; }
    rm -f "$work/com1"
    bench_start_sim --baud "$baud" --turnaround 1 --data "$work/points" --verbose
    printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=%s\r\n' "$work/com1" "$baud" \
        >"$work/DUCTA.INI"
    for clients in $client_counts; do
        for points in same own; do
            declare -A rate=()
            for coalesce in on off; do
                read -r reads tx p50 p95 max <<<"$(round "$baud" "$clients" "$points" "$coalesce")"
                rate[$coalesce]=$reads
                echo "| $baud | $clients | $points | $coalesce | $reads | $tx | $p50 | $p95 | $max |"
            done
            ratios+=("$baud bit/s, $clients clients, $points point(s): on/off $(awk \
                -v a="${rate[on]}" -v b="${rate[off]}" 'BEGIN { printf "%.3f", a / b }')")
        done
    done
done
echo
printf '%s\n' "${ratios[@]}"
