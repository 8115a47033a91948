#!/usr/bin/env bash
# A read through vr620-gatewayd.exe under Wine beside the same read through the Linux
# vr620-gatewayd, in one run, against one vr620-sim: p50 and p95 of `vr620 bench`.
#
#   bench/wine_gateway.sh [--out DIR] [--windows-out DIR] [--requests M] [--rounds R] [BAUD...]
#     --out DIR          the Linux programs (default build/default/out)
#     --windows-out DIR  vr620-gatewayd.exe and DUCTA.dll (default build/windows/out)
#     --requests M       reads of point 0x0102 per gateway and round (default 200)
#     --rounds R         rounds; each round runs the Linux and the Windows gateway in turn
#                        (default 3)
#     BAUD...            line speeds (default 4800 38400)
#
# Wine runs in a prefix of its own in a temporary folder (its COM42 mapped onto the simulator),
# never the user's; the programs run from copies with their own DUCTA.INI.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
wout=build/windows/out
requests=200
rounds=3
bauds=()
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --windows-out) wout="${2:?--windows-out needs a folder}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        --rounds) rounds="${2:?--rounds needs a number}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "wine_gateway: unknown option '$1' (see --help)" >&2; exit 2 ;;
        *) bauds+=("$1") ;;
    esac
    shift
done
[ ${#bauds[@]} -gt 0 ] || bauds=(4800 38400)

. bench/bench_lib.sh
bench_work wine_gateway
bench_gateway_wait=300  # Wine starts slowly
bench_at_end='WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true'
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so
mkdir -p "$work/windows"
for f in vr620-gatewayd.exe DUCTA.dll; do
    cp "$wout/$f" "$work/windows/" ||
        { echo "wine_gateway: $wout/$f is missing (scripts/windows.sh builds it)" >&2; exit 1; }
done

export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wineboot -i >/dev/null 2>&1
wineserver -w
# One server for all the runs, which start and stop programs in quick succession (a server
# that ends by itself as a program starts leaves that program without one). Its own output
# (at the end it lists every object it still holds) stays out of the figures.
wineserver -p 2>"$work/wineserver.log"
wineboot </dev/null >/dev/null 2>&1  # Wine's services, which then live as long as the server
# Far above the machine's own serial ports, which Wine maps afresh whenever its server starts.
ln -sfn "$work/com1" "$WINEPREFIX/dosdevices/com42"

start_gateway() {  # linux|windows: on a free port each time, $port
    if [ "$1" = linux ]; then
        bench_gateway=("$work/vr620-gatewayd")
    else
        bench_gateway=(wine "$work/windows/vr620-gatewayd.exe")
    fi
    bench_start_gateway gateway.log --com 1 --bind 127.0.0.1
}
stop_gateway() {  # SIGINT: under Wine it arrives as Ctrl-C
    kill -INT "$gateway"
    wait "$gateway" || { echo "wine_gateway: the gateway did not end with 0" >&2; exit 1; }
}

echo "vr620 bench: $requests reads of point 0x0102, one client, $rounds rounds"
printf '%-8s %-9s %10s %10s\n' "bit/s" gateway "p50 ms" "p95 ms"
for baud in "${bauds[@]}"; do
    bench_start_sim --baud "$baud" --turnaround 1
    printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=%s\r\n' "$work/com1" "$baud" \
        >"$work/DUCTA.INI"
    printf '[Ports]\r\nCOM1=\\\\.\\COM42\r\n[Direct]\r\nBaudRate=%s\r\n' "$baud" \
        >"$work/windows/DUCTA.INI"
    : >"$work/linux.p" ; : >"$work/windows.p"
    for _ in $(seq "$rounds"); do
        for kind in linux windows; do
            start_gateway "$kind"
            result=$("$work/vr620" --port "$port" bench --requests "$requests" 0x0102 2>&1) ||
                { echo "$result" >&2; exit 1; }
            latency_p50_p95 <<<"$result" >>"$work/$kind.p"
            stop_gateway
        done
    done
    for kind in linux windows; do
        # The median of the rounds' figures.
        p50=$(median "$work/$kind.p" 1)
        p95=$(median "$work/$kind.p" 2)
        printf '%-8s %-9s %10s %10s\n' "$baud" "$kind" "$p50" "$p95"
    done
    kill -TERM "$sim"; wait "$sim" 2>/dev/null || true
done
