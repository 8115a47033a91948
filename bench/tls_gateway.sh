#!/usr/bin/env bash
# What TLS costs: a read through vr620-gatewayd's plain port, through its TLS port and through a
# relay (vr620-gatewayd --upstream) to its TLS port, in turns in one run, at each line speed (the
# p50 and p95, the median of the rounds, and the ratios to the plain port); full handshakes a
# second; and the gateway's idle cost with one TLS client that holds the device open.
#
#   bench/tls_gateway.sh [--out DIR] [--bench DIR] [--requests M] [--rounds R] [--seconds S]
#                        [--clients N] [BAUD...]
#     --out DIR      the programs (default build/default/out)
#     --bench DIR    where vr620-bench-tls is (default build/default/bench)
#     --requests M   reads of point 0x0102 per round and port (default 300)
#     --rounds R     rounds; each reads through the plain port, the TLS port, then the relay
#                    (default 5)
#     --seconds S    how long handshakes and the idle figure are measured (default 10)
#     --clients N    clients shaking hands at once (default 2)
#     BAUD...        line speeds (default 115200 4800)
#
# The keys are made with the programs' own commands (the relay presents the client's); everything
# runs from copies in a temporary folder with its own DUCTA.INI. Client, relay and gateway share
# the machine's cores.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/default/out
benchdir=build/default/bench
requests=300
rounds=5
seconds=10
clients=2
bauds=()
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out="${2:?--out needs a folder}"; shift ;;
        --bench) benchdir="${2:?--bench needs a folder}"; shift ;;
        --requests) requests="${2:?--requests needs a number}"; shift ;;
        --rounds) rounds="${2:?--rounds needs a number}"; shift ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift ;;
        --clients) clients="${2:?--clients needs a number}"; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | grep '^#' | sed 's/^# \{0,1\}//'; exit 0 ;;
        [0-9]*) bauds+=("$1") ;;
        *) echo "tls_gateway: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
    shift
done
[ ${#bauds[@]} -gt 0 ] || bauds=(115200 4800)

. bench/bench_lib.sh
bench_work tls_gateway
bench_copy "$out" vr620-gatewayd vr620 vr620-sim libducta.so
bench_copy "$benchdir" vr620-bench-tls

"$work/vr620-gatewayd" --tls-make-key "$work/gateway" | tail -1 >"$work/gateway.trust"
"$work/vr620" tls-make-key "$work/client" | tail -1 >"$work/clients.trust"
client_files=("$work/client/cert.pem" "$work/client/key.pem" "$work/gateway.trust")
tls_port=$((20000 + RANDOM % 40000))

start_gateway() {
    bench_start_gateway gateway.log --com 1 --bind 127.0.0.1 --tls-port "$tls_port" \
        --tls-cert "$work/gateway/cert.pem" --tls-key "$work/gateway/key.pem" \
        --tls-trust "$work/clients.trust"
}
stop_gateway() {
    kill -TERM "$gateway"
    wait "$gateway" || { echo "tls_gateway: the gateway did not end with 0" >&2; exit 1; }
}
# The relay on loopback to the gateway's TLS port; its pid in $relay, its port in $relay_port.
start_relay() {
    local gateway_pid=$gateway gateway_port=$port
    bench_start_gateway relay.log --upstream "127.0.0.1:$tls_port" --tls-cert "${client_files[0]}" \
        --tls-key "${client_files[1]}" --tls-trust "${client_files[2]}"
    relay=$gateway relay_port=$port
    gateway=$gateway_pid port=$gateway_port
}
stop_relay() {
    kill -TERM "$relay"
    wait "$relay" || { echo "tls_gateway: the relay did not end with 0" >&2; exit 1; }
}

echo "vr620 bench through vr620-gatewayd: $requests reads of point 0x0102 a round, $rounds rounds" \
    "(median of the rounds), plain port, TLS port and a relay to the TLS port in turn"
printf '%-8s %-6s %10s %10s\n' "bit/s" "port" "p50 ms" "p95 ms"
for baud in "${bauds[@]}"; do
    bench_start_sim --baud "$baud" --turnaround 1
    printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=%s\r\n' "$work/com1" "$baud" >"$work/DUCTA.INI"
    start_gateway
    start_relay
    kinds=(plain tls relay)
    for kind in "${kinds[@]}"; do : >"$work/$kind.p"; done
    for _ in $(seq "$rounds"); do
        for kind in "${kinds[@]}"; do
            case "$kind" in
                plain) args=(--port "$port") ;;
                tls) args=(--port "$tls_port" --tls-cert "${client_files[0]}"
                           --tls-key "${client_files[1]}" --tls-trust "${client_files[2]}") ;;
                relay) args=(--port "$relay_port") ;;
            esac
            result=$("$work/vr620" --host 127.0.0.1 "${args[@]}" bench --requests "$requests" \
                0x0102 2>&1) || { echo "$result" >&2; exit 1; }
            latency_p50_p95 <<<"$result" >>"$work/$kind.p"
        done
    done
    for kind in "${kinds[@]}"; do
        printf '%-8s %-6s %10s %10s\n' "$baud" "$kind" "$(median "$work/$kind.p" 1)" \
            "$(median "$work/$kind.p" 2)"
    done
    for kind in tls relay; do
        awk -v a="$(median "$work/plain.p" 1)" -v b="$(median "$work/$kind.p" 1)" \
            -v c="$(median "$work/plain.p" 2)" -v d="$(median "$work/$kind.p" 2)" \
            -v label="$kind / plain:" 'BEGIN {printf "%-15s p50 %.3f x, p95 %.3f x\n", label, b / a, d / c}'
    done
    stop_relay
    stop_gateway
    kill -TERM "$sim"
    wait "$sim" 2>/dev/null || true
done

# The line's speed plays no part from here on.
bench_start_sim --baud 115200 --turnaround 1
printf '[Ports]\r\nCOM1=%s\r\n[Direct]\r\nBaudRate=115200\r\n' "$work/com1" >"$work/DUCTA.INI"
start_gateway
echo "full TLS handshakes (connect, handshake, close) with $clients clients at once, on $(nproc) cores:"
"$work/vr620-bench-tls" handshakes "$tls_port" "$seconds" "$clients" "${client_files[@]}"
stop_gateway

start_gateway
"$work/vr620-bench-tls" hold "$tls_port" $((seconds + 5)) "${client_files[@]}" >"$work/hold.out" &
pids+=($!)
wait_for_text "$work/hold.out" 100 "^holding" || { echo "tls_gateway: no TLS client holds" >&2; exit 1; }
idle_figures "$gateway" "$seconds" "idle, one TLS client, device open:"
