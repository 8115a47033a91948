#!/usr/bin/env bash
# Pulls the simulated adapter out while vr620-gatewayd holds the device open, and measures what
# that costs: the gateway's CPU seconds while the device is away and a client reads ten times a
# second, the time of a failed request, the CPU of failed requests sent without pause, whether
# service resumes when the device comes back (nobody reconnects), and how long SIGTERM takes.
#
#     bench/unplug.sh [BUILD_OUT_DIR] [AWAY_SECONDS]
#
# Defaults: build/default/out (from the repository's top) and 30 s. The device vanishes with SIGUSR1 to vr620-sim and comes
# back with SIGUSR2, at the same --link path.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/default/out}
away=${2:-30}

. bench/bench_lib.sh
bench_work unplug
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so
printf '[Ports]\r\nCOM1=%s\r\n' "$work/com1" >"$work/DUCTA.INI"
bench_start_sim
bench_start_gateway gatewayd.log
gw=$gateway

# One client connects the device and leaves it connected (its share of the count stays).
"$work/vr620" --port "$port" connect >/dev/null

cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
seconds() { echo "scale=2; $1 / $(getconf CLK_TCK)" | bc; }
kill -USR1 "$sim"
for _ in $(seq 100); do [ -L "$work/com1" ] || break; sleep 0.1; done

# A client that reads ten times a second, as a program polling a value would.
before=$(cpu "$gw")
end=$(($(date +%s) + away))
reads=0
slowest=0
while [ "$(date +%s)" -lt "$end" ]; do
    start=$(date +%s.%N)
    "$work/vr620" --port "$port" read 0x0102 >/dev/null 2>&1 || true
    took=$(echo "$(date +%s.%N) - $start" | bc)
    (($(echo "$took > $slowest" | bc))) && slowest=$took
    reads=$((reads + 1))
    sleep 0.1
done
after=$(cpu "$gw")
echo "device away ${away} s, $reads reads: gateway CPU $(seconds $((after - before))) s," \
    "slowest read ${slowest} s"

# A client that reads without pause.
before=$(cpu "$gw")
"$work/vr620" --port "$port" bench --requests 20000 2>/dev/null | sed 's/^/  bench: /' || true
after=$(cpu "$gw")
echo "  gateway CPU for those 20000 failed requests: $(seconds $((after - before))) s"

kill -USR2 "$sim"
for _ in $(seq 100); do [ -L "$work/com1" ] && break; sleep 0.1; done
start=$(date +%s.%N)
until "$work/vr620" --port "$port" read 0x0102 >/dev/null 2>&1; do
    if (($(echo "$(date +%s.%N) - $start > 60" | bc))); then
        echo "service did not resume within 60 s"
        break
    fi
    sleep 0.05
done
echo "first OK after the return: $(echo "$(date +%s.%N) - $start" | bc) s"

start=$(date +%s.%N)
kill -TERM "$gw"
wait "$gw" || true
echo "SIGTERM to exit: $(echo "$(date +%s.%N) - $start" | bc) s"
grep -c 'SNVT_READ.*ERROR' "$work/gatewayd.log" | sed 's/^/failed SNVT_READ lines logged: /'
