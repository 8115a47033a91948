#!/usr/bin/env bash
# A read through vr620-gatewayd.exe as the Windows service (installed by the package) beside the
# same read through the same program started from a console, under Wine, in one run, against
# one vr620-sim: p50 and p95 of `vr620 bench`.
#
#   bench/wine_service.sh [--out DIR] [--package MSI] [--requests M] [--rounds R] [BAUD...]
#     --out DIR      the Linux programs (default build/default/out)
#     --package MSI  the installer (default build/windows/vr620-<version>-x64.msi, the only one)
#     --requests M   reads of point 0x0102 per gateway and round (default 200)
#     --rounds R     rounds; each runs the service and the console program in turn (default 3)
#     BAUD...        line speeds (default 38400)
#
# Wine runs in a prefix of its own in a temporary folder, its COM1 mapped onto the simulator in
# its registry; the package is installed there silently, and the console program is the
# installed one with the same DUCTA.INI.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
package=""
requests=200
rounds=3
bauds=()
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --package) package="${2:?--package needs a file}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        --rounds) rounds="${2:?--rounds needs a number}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "wine_service: unknown option '$1' (see --help)" >&2; exit 2 ;;
        *) bauds+=("$1") ;;
    esac
    shift
done
[ ${#bauds[@]} -gt 0 ] || bauds=(38400)
if [ -z "$package" ]; then
    packages=(build/windows/vr620-*-x64.msi)
    [ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] ||
        { echo "wine_service: name the installer with --package (scripts/windows.sh builds it)" >&2
          exit 1; }
    package="${packages[0]}"
fi
package="$(realpath "$package")"

. bench/bench_lib.sh
bench_work wine_service
bench_at_end='WINEPREFIX="$work/wine" wineserver -k 2>/dev/null || true'
bench_copy "$out" vr620 vr620-sim

export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wineboot -i >/dev/null 2>&1
# COM1 in the registry, where Wine's device manager takes it from when it starts.
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$work/com1" /f >"$work/reg.out" 2>&1
wineserver -w
# One server for all the runs (its output stays out of the figures), and Wine's services.
wineserver -p 2>"$work/wineserver.log"
wineboot </dev/null >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }

# Waits (a bounded while) until `sc query` says the state.
wait_for_state() {
    for _ in $(seq 300); do
        wine sc query vr620-gatewayd >"$work/sc.out" 2>&1 || true
        grep -q "$1" "$work/sc.out" && return 0
        sleep 0.1
    done
    cat "$work/sc.out" >&2
    echo "wine_service: the service is not $1" >&2
    exit 1
}

service_port=$((20000 + RANDOM % 20000))
console_port=$((40000 + RANDOM % 20000))
wine msiexec /i "$(winpath "$package")" /qn PORT="$service_port" >"$work/msiexec.out" 2>&1 ||
    { echo "wine_service: the install failed ($?)" >&2; exit 1; }
wine net stop vr620-gatewayd >"$work/net.out" 2>&1
folder="$WINEPREFIX/drive_c/Program Files/VR620"
cp "$folder/DUCTA.INI" "$work/DUCTA.INI.installed"

run() {  # service|console
    if [ "$1" = service ]; then
        wine net start vr620-gatewayd >"$work/net.out" 2>&1
        wait_for_state RUNNING
        port=$service_port
    else
        wine "$folder/vr620-gatewayd.exe" --port "$console_port" --com 1 >"$work/console.log" 2>&1 &
        console=$!
        wait_for_text "$work/console.log" 300 "Listening to port" ||
            { cat "$work/console.log" >&2; exit 1; }
        port=$console_port
    fi
    result=$("$work/vr620" --port "$port" bench --requests "$requests" 0x0102 2>&1) ||
        { echo "$result" >&2; exit 1; }
    latency_p50_p95 <<<"$result" >>"$work/$1.p"
    if [ "$1" = service ]; then
        wine net stop vr620-gatewayd >"$work/net.out" 2>&1
        wait_for_state STOPPED
    else
        kill -INT "$console"  # Ctrl-C under Wine
        wait "$console" || { echo "wine_service: the console program did not end with 0" >&2; exit 1; }
    fi
}

echo "vr620 bench: $requests reads of point 0x0102, one client, $rounds rounds"
printf '%-8s %-9s %10s %10s  %s\n' "bit/s" gateway "p50 ms" "p95 ms" "p50 of each round"
for baud in "${bauds[@]}"; do
    bench_start_sim --baud "$baud" --turnaround 1
    { cat "$work/DUCTA.INI.installed"; printf '[Direct]\r\nBaudRate=%s\r\n' "$baud"; } \
        >"$folder/DUCTA.INI"
    : >"$work/service.p" ; : >"$work/console.p"
    for _ in $(seq "$rounds"); do
        run service
        run console
    done
    for kind in service console; do
        # The median of the rounds' figures.
        p50=$(awk '{print $1}' "$work/$kind.p" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
        p95=$(awk '{print $2}' "$work/$kind.p" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
        printf '%-8s %-9s %10s %10s  %s\n' "$baud" "$kind" "$p50" "$p95" \
            "$(awk '{printf "%s ", $1}' "$work/$kind.p")"
    done
    kill -TERM "$sim"; wait "$sim" 2>/dev/null || true
done
