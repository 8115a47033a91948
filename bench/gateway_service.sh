#!/usr/bin/env bash
# What vr620-gatewayd costs as a service, and what one stalled client does to the others.
#
#   bench/gateway_service.sh [--out DIR] [--seconds S] [--clients N] [--requests M] [--baud B]
#                            [--watchdog MS]
#     --out DIR     the folder with vr620-gatewayd, vr620, vr620-sim, libducta.so
#                   (default build/default/out)
#     --seconds S   how long each idle figure is watched (default 10)
#     --clients N   working clients of the latency figures (default 4)
#     --requests M  reads per working client (default 200)
#     --baud B      line speed of the simulated controller (default 38400)
#     --watchdog MS also the idle figures of a second gateway run as systemd runs a unit with
#                   WatchdogSec: WATCHDOG_USEC of MS milliseconds and a NOTIFY_SOCKET of the
#                   script's own (python3 takes the messages), with the count of its WATCHDOG=1
#
# Prints, for the gateway with no client and with one idle client that holds the device open:
# context switches per second over all its threads (/proc/PID/task/*/status), CPU ticks used
# in the interval and resident memory; then `vr620 bench` of N working clients alone and beside
# one client that keeps stopping in the middle of a message (it sends half a message, waits
# until the gateway drops it, and starts again), with their p50/p95 latency.
# The programs run from a copy in a temporary folder with its own DUCTA.INI; nothing of the
# build folder is changed. Without a watchdog the idle gateway should make no switches at all;
# with one, at most one wake-up per half period.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
seconds=10
clients=4
requests=200
baud=38400
watchdog_ms=""
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --clients) clients="${2:?--clients needs a number}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        --baud) baud="${2:?--baud needs a number}"; shift ;;
        --watchdog) watchdog_ms="${2:?--watchdog needs milliseconds}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "gateway_service: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done

. bench/bench_lib.sh
bench_work gateway_service
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so

bench_start_sim --baud "$baud" --turnaround 1
printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=%s\r\n' "$work/com1" "$baud" >"$work/DUCTA.INI"

bench_start_gateway gateway.log --com 1

echo "vr620-gatewayd on port $port, simulated controller at $baud bit/s"
idle_figures "$gateway" "$seconds" "idle, no client:"

# One idle client that holds the device open.
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf '\x00\x00\x00\x05\x00\x01\x00\x00\x00' >&3
reply=$(timeout 10 dd bs=9 count=1 status=none <&3 | od -An -tx1 | tr -d ' \n')
[ "$reply" = "000000050001000000" ] || { echo "gateway_service: DEVICE_CONNECT got '$reply'" >&2; exit 1; }
idle_figures "$gateway" "$seconds" "idle, one client, device open:"
exec 3>&-

bench() {  # label
    local result
    result=$("$work/vr620" --port "$port" bench --clients "$clients" --requests "$requests" 2>&1) ||
        { echo "$result" >&2; exit 1; }
    printf '%-34s %s\n' "$1" "$(grep '^latency' <<<"$result")"
}

echo "vr620 bench, $clients working clients, $requests reads each:"
bench "  alone:"
(
    while exec 4<>"/dev/tcp/127.0.0.1/$port"; do
        printf '\x00\x00\x00\x05\x00' >&4  # half a message
        cat <&4 >/dev/null || true         # until the gateway drops it
        exec 4>&-
    done
) 2>/dev/null &
pids+=($!)
sleep 0.5
bench "  beside one stalled client:"

if [ -n "$watchdog_ms" ]; then
    # A second gateway, as systemd starts a unit with WatchdogSec, the first one stopped.
    kill -TERM "$gateway"
    wait "$gateway" 2>/dev/null || true
    python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
while True:
    print(s.recv(4096).decode(errors="replace"), flush=True)
' "$work/notify" >"$work/notify.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -S "$work/notify" ] && break; sleep 0.1; done
    export NOTIFY_SOCKET="$work/notify" WATCHDOG_USEC=$((watchdog_ms * 1000))
    bench_start_gateway watchdog.log --com 1
    unset NOTIFY_SOCKET WATCHDOG_USEC
    wait_for_text "$work/notify.log" 50 "READY=1" || { echo "gateway_service: no READY=1" >&2; exit 1; }
    before=$(grep -c '^WATCHDOG=1$' "$work/notify.log" || true)
    idle_figures "$gateway" "$seconds" "idle, watchdog ${watchdog_ms} ms:"
    after=$(grep -c '^WATCHDOG=1$' "$work/notify.log" || true)
    printf '%-34s %d WATCHDOG=1 in about %ds (one per %d ms expected)\n' "" \
        $((after - before)) $((seconds + 1)) $((watchdog_ms / 2))
fi
