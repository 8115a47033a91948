# What the benchmark scripts share; each sources it after `cd` to the repository:
#   bench_work NAME          a fresh folder $work, removed at the end with every process whose
#                            pid was added to the array pids (and with what bench_at_end names)
#   bench_copy FROM FILE...  copies the programs into $work, or ends with a message
#   bench_start_sim ARG...   starts $work/vr620-sim ARG... on the line $work/com1 and waits
#                            until it serves; its pid in $sim
#   bench_start_gateway LOG ARG...
#                            starts the gateway ("${bench_gateway[@]}", by default
#                            $work/vr620-gatewayd) with ARG... on a free port, its output in
#                            $work/LOG (its standard error in $work/$bench_gateway_err when that
#                            is set), and waits until it listens (at most $bench_gateway_wait
#                            tenths of a second); its pid in $gateway, the port in $port
#   wait_for_text FILE TENTHS TEXT
#                            true once FILE holds TEXT, false after TENTHS tenths of a second
#   latency_p50_p95          on standard input the output of `vr620 bench`: prints "P50 P95"
#   median FILE COLUMN       the median of a column of numbers in FILE
#   switches PID, ticks PID, rss_kb PID
#                            a process's context switches over all its threads
#                            (/proc/PID/task/*/status), its CPU ticks, its resident memory
#   idle_figures PID SECONDS LABEL
#                            one line of those while the process idles for SECONDS
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

bench_gateway=()
bench_gateway_wait=100
bench_gateway_err=""
bench_start_gateway() {
    local log="$1" candidate tenths
    shift
    [ ${#bench_gateway[@]} -gt 0 ] || bench_gateway=("$work/vr620-gatewayd")
    for _ in 1 2 3 4 5; do
        # Below the system's range of ports for outgoing connections (32768 and up), so that no
        # client's end of a connection (one in TIME_WAIT from the round before among them) holds
        # it, and nobody listening on it now.
        candidate=$((20000 + RANDOM % 12000))
        if ss -Hltn "sport = :$candidate" 2>/dev/null | grep -q .; then continue; fi
        if [ -n "$bench_gateway_err" ]; then
            "${bench_gateway[@]}" --port "$candidate" "$@" >"$work/$log" 2>"$work/$bench_gateway_err" &
        else
            "${bench_gateway[@]}" --port "$candidate" "$@" >"$work/$log" 2>&1 &
        fi
        gateway=$!
        # Until it listens, or ends (its port taken after all: another one is tried).
        for tenths in $(seq "$bench_gateway_wait"); do
            if grep -q "Listening to port" "$work/$log" 2>/dev/null; then
                port=$candidate
                pids+=("$gateway")
                return 0
            fi
            kill -0 "$gateway" 2>/dev/null || break
            sleep 0.1
        done
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

median() {
    awk "{print \$$2}" "$1" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

switches() {
    local total=0 key value f
    for f in /proc/"$1"/task/*/status; do
        while read -r key value _; do
            case "$key" in
                voluntary_ctxt_switches:|nonvoluntary_ctxt_switches:) total=$((total + value)) ;;
            esac
        done <"$f"
    done
    echo "$total"
}
ticks() { sed 's/.*) //' /proc/"$1"/stat | awk '{ print $12 + $13 }'; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' /proc/"$1"/status; }

idle_figures() {
    local s0 t0 s1 t1
    sleep 1  # whatever the last step set going has settled
    s0=$(switches "$1"); t0=$(ticks "$1")
    sleep "$2"
    s1=$(switches "$1"); t1=$(ticks "$1")
    awk -v label="$3" -v ds=$((s1 - s0)) -v dt=$((t1 - t0)) -v s="$2" \
        -v rss="$(rss_kb "$1")" -v threads="$(ls /proc/"$1"/task | wc -l)" \
        'BEGIN { printf "%-34s %8.1f switches/s  %4d ticks in %ds  RSS %6d kB  threads %d\n",
                 label, ds / s, dt, s, rss, threads }'
}
