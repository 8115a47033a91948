#!/usr/bin/env bash
# The main job: builds the default preset if needed, starts the simulated controller vr620-sim
# on a pseudo-terminal, maps COM1 to it in DUCTA.INI beside libducta.so, starts the gateway,
# shows a round of client requests with vr620, and keeps the gateway serving. With a display
# the gateway is the manager window VR620Manager (close it to stop), whose three buttons start
# vr620-points with the simulator's points (through VR620Manager.INI beside it, put back
# afterwards); without one it is the headless vr620-gatewayd (Ctrl-C to stop).
#
#   scripts/main-job.sh [--once] [--headless] [--port N] [--build DIR]
#     --once       stop after the round (the default when there is no terminal, or under CI)
#     --headless   use vr620-gatewayd even when a display is available
#     --port N     the gateway's TCP port (default 7105)
#     --build DIR  use this already configured build folder instead of the default preset
set -euo pipefail
cd "$(dirname "$0")/.."

once=0
headless=0
port=7105
build=""
while [ $# -gt 0 ]; do
    case "$1" in
        --once) once=1 ;;
        --headless) headless=1 ;;
        --port) port="${2:?--port needs a number}"; shift ;;
        --build) build="${2:?--build needs a folder}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "main-job: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done
if [ -n "${CI:-}" ] || [ ! -t 0 ]; then once=1; fi
# The manager window needs a display; a round that stops at once has no use for a window.
if [ "$once" -eq 1 ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then headless=1; fi

./scripts/deps.sh
if [ -z "$build" ]; then
    if [ ! -f build/default/build.ninja ]; then cmake --preset default; fi
    cmake --build --preset default -j "$(nproc)"
    build=build/default
else
    cmake --build "$build" -j "$(nproc)" --target vr620-sim vr620-gatewayd vr620 ducta \
        VR620Manager vr620-points
fi

out="$(cd "$build" && pwd)/out"
work="$(mktemp -d -t vr620-main-job-XXXXXX)"
ini="$out/DUCTA.INI"
manager_ini="$out/VR620Manager.INI"
manager_ini_written=0
sim_pid=""
gateway_pid=""
manager_pid=""
tail_pid=""

cleanup() {
    trap - EXIT INT TERM
    [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null || true
    if [ -n "$manager_pid" ] && kill -0 "$manager_pid" 2>/dev/null; then
        kill -TERM "$manager_pid"
        wait "$manager_pid" 2>/dev/null || true
    fi
    if [ -n "$gateway_pid" ] && kill -0 "$gateway_pid" 2>/dev/null; then
        kill -TERM "$gateway_pid"
        wait "$gateway_pid" 2>/dev/null || true
        echo "== gateway stopped"
    fi
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid"
        wait "$sim_pid" 2>/dev/null || true
    fi
    # The DUCTA.INI that was there before the job comes back, and so does VR620Manager.INI.
    if [ -f "$work/DUCTA.INI.saved" ]; then mv -f "$work/DUCTA.INI.saved" "$ini"; else rm -f "$ini"; fi
    if [ "$manager_ini_written" -eq 1 ]; then
        if [ -f "$work/VR620Manager.INI.saved" ]; then
            mv -f "$work/VR620Manager.INI.saved" "$manager_ini"
        else
            rm -f "$manager_ini"
        fi
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

# Waits up to $2 tenths of a second for the file $1 to contain the text $3.
wait_for_text() {
    local file="$1" tenths="$2" text="$3"
    for _ in $(seq "$tenths"); do
        grep -q -- "$text" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

echo "== starting the simulated controller"
"$out/vr620-sim" --link "$work/vr620-com1" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
if ! wait_for_text "$work/sim.out" 100 "^device: "; then
    echo "main-job: vr620-sim did not start:" >&2
    cat "$work/sim.err" >&2
    exit 1
fi
echo "   $(head -n1 "$work/sim.out") (link $work/vr620-com1)"

[ -f "$ini" ] && cp -p "$ini" "$work/DUCTA.INI.saved"
printf '[Ports]\r\nCOM1=%s\r\n' "$work/vr620-com1" >"$ini"
echo "   COM1 mapped in $ini"

if [ "$headless" -eq 0 ]; then
    # The three buttons start vr620-points, which opens with the simulator's points. The
    # manager runs in its folder, where the client programs are looked for.
    [ -f "$manager_ini" ] && cp -p "$manager_ini" "$work/VR620Manager.INI.saved"
    manager_ini_written=1
    {
        printf '[APPLICATIONS]\r\n'
        for key in CONFIG_APPLICATION_NAME TIMEPROG_APPLICATION_NAME SETTINGS_APPLICATION_NAME; do
            printf '%s=%s\r\n' "$key" "$out/vr620-points"
        done
    } >"$manager_ini"
    printf 'point,name,watch\n0001,,0\n0002,,1\n0003,,0\n0010,,1\n0020,,0\n0102,,0\n0200,,0\n' \
        >"$work/points.csv"
    echo "== starting the manager window VR620Manager (its gateway listens on port $port)"
    echo "   its buttons start vr620-points (set in $manager_ini)"
    (cd "$out" && VR620_POINTS_FILE="$work/points.csv" exec ./VR620Manager "PORT=$port") \
        >"$work/manager.out" 2>"$work/manager.err" &
    manager_pid=$!
    for _ in $(seq 100); do
        # A DEVICE_DISCONNECT with nothing open is answered OK and changes nothing.
        "$out/vr620" --port "$port" disconnect >/dev/null 2>&1 && break
        kill -0 "$manager_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! "$out/vr620" --port "$port" disconnect >/dev/null 2>&1; then
        echo "main-job: the manager's gateway did not start (port $port in use? try --port N):" >&2
        cat "$work/manager.err" >&2
        exit 1
    fi
else
    echo "== starting vr620-gatewayd on port $port"
    "$out/vr620-gatewayd" --port "$port" --com 1 >"$work/gateway.log" 2>"$work/gateway.err" &
    gateway_pid=$!
    for _ in $(seq 100); do
        grep -q "Listening to port" "$work/gateway.log" 2>/dev/null && break
        kill -0 "$gateway_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q "Listening to port" "$work/gateway.log"; then
        echo "main-job: the gateway did not start (another program on port $port? try --port N):" >&2
        cat "$work/gateway.err" >&2
        exit 1
    fi
fi

vr620() {
    echo "\$ vr620 --port $port $*"
    "$out/vr620" --port "$port" "$@" | sed 's/^/  /'
    return "${PIPESTATUS[0]}"
}

echo "== a round of client requests"
vr620 connect
vr620 read 0x0102
vr620 read 0x0002
vr620 write 0x0010 "56 78"
vr620 read 0x0010
vr620 disconnect

if [ "$headless" -eq 1 ]; then
    echo "== the gateway's connection log so far"
    sed 's/^/  /' "$work/gateway.log"
fi

if [ "$once" -eq 1 ]; then
    echo "== round done (--once)"
    exit 0
fi

host="$(hostname)"
if [ "$headless" -eq 0 ]; then
    cat <<TEXT
== the manager window serves the simulated controller on COM1
   Its buttons Konfigurointi, Aikaohjelmat and Asetusarvot open vr620-points, a window of the
   controller's data points. Its connection log is under Avaa > Yhteysloki. Reach the gateway
   at $host:$port, e.g.:
     $out/vr620 --port $port read 0x0102
   Close the manager window (or press Ctrl-C here) to stop.
TEXT
    wait "$manager_pid" || true
    manager_pid=""
    echo "== manager closed"
    exit 0
fi
cat <<TEXT
== the gateway keeps serving the simulated controller on COM1
   Reach it at $host:$port (or localhost:$port), for example from another terminal:
     $out/vr620 --host $host --port $port read 0x0102
     $out/vr620 --port $port write 0x0010 "12 34"
     $out/vr620 --port $port bench --clients 64 --requests 20
   Press Ctrl-C to stop. The connection log follows:
TEXT
tail -n 0 -f "$work/gateway.log" &
tail_pid=$!
wait "$gateway_pid" || true
gateway_pid=""
echo "main-job: the gateway ended by itself" >&2
exit 1
