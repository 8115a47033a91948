# What the benchmark scripts share; each sources it after `cd` to the repository:
#   bench_work NAME          a fresh folder $work, removed at the end with every process whose
#                            pid was added to the array pids (and with what bench_at_end names)
#   bench_copy FROM FILE...  copies the programs into $work, or ends with a message
#   bench_start_sim ARG...   starts $work/vr620-sim ARG... on the line $work/com1 and waits
#                            until it serves; its pid in $sim
#   bench_start_gateway LOG ARG...
#                            starts $work/vr620-gatewayd ARG... on a free port, its output in
#                            $work/LOG, and waits until it listens; its pid in $gateway, the
#                            port in $port
#   wait_for_text FILE TENTHS TEXT
#                            true once FILE holds TEXT, false after TENTHS tenths of a second
#   latency_p50_p95          on standard input the output of `vr620 bench`: prints "P50 P95"
# Speed is measured here, never asserted in tests.

bench_at_end=""
bench_work() {
    bench_name="$1"
    work="$(mktemp -d -t "vr620-$1-XXXXXX")"
    pids=()
    trap bench_cleanup EXIT
}

bench_cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    [ -z "$bench_at_end" ] || eval "$bench_at_end"
    rm -rf "$work"
}

bench_copy() {
    local from="$1" f
    shift
    for f in "$@"; do
        cp "$from/$f" "$work/" ||
            { echo "$bench_name: $from/$f is missing (build first)" >&2; exit 1; }
    done
}

bench_start_sim() {
    "$work/vr620-sim" "$@" --link "$work/com1" >"$work/sim.out" 2>&1 &
    sim=$!
    pids+=("$sim")
    wait_for_text "$work/sim.out" 100 "^device: " || { cat "$work/sim.out" >&2; exit 1; }
}

bench_start_gateway() {
    local log="$1" candidate
    shift
    for _ in 1 2 3 4 5; do
        candidate=$((20000 + RANDOM % 40000))
        "$work/vr620-gatewayd" --port "$candidate" "$@" >"$work/$log" 2>&1 &
        gateway=$!
        if wait_for_text "$work/$log" 100 "Listening to port"; then
            port=$candidate
            pids+=("$gateway")
            return 0
        fi
        kill -TERM "$gateway" 2>/dev/null || true
        wait "$gateway" 2>/dev/null || true
    done
    cat "$work/$log" >&2
    echo "$bench_name: the gateway did not start" >&2
    exit 1
}

wait_for_text() {
    for _ in $(seq "$2"); do
        grep -q -- "$3" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

latency_p50_p95() {
    grep '^latency' | sed 's/.*p50 \([0-9.]*\), p95 \([0-9.]*\).*/\1 \2/'
}
