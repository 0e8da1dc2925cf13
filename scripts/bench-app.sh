#!/bin/sh
# The printer application benchmark (BENCHMARKS.md, "The printer
# application"): one job of 200 labels of 4 x 6 in at 203 dpi, a sgray_8 PWG
# raster document, sent by Print-Job to tavelin-printer-app and to Debian's
# lprint (its ZPL 4-inch 203 dpi direct-thermal driver). Each server runs on a
# loopback port with a private state folder and prints to a file device, both
# inside a network namespace that has only loopback (lprint listens on every
# address whatever listen-hostname says) and a PID namespace, so that nothing
# they start outlives the run. The servers take turns, one job at a time.
#
# Per server and run: wall time from the submit to the job completed (ipptool
# polls job-state every 10 ms), the server's CPU time over the job (user +
# system of all its threads, from /proc/PID/stat, 10 ms ticks), its peak
# resident memory after the job (VmHWM), and the bytes per label on the file
# device. Then the medians, and what one job-state poll costs each server.
# The application's output is checked pixel for pixel with tvl-inspect against
# the same labels as 1-bit CUPS raster (fitted to the label length its setup
# block names); lprint's labels are counted.
#
#   scripts/bench-app.sh [RUNS]      RUNS jobs per server (default 3); as root
#
# Environment:
#   BENCH_BUILD_DIR   build folder (default build-bench)
#   BENCH_APP         the application binary (default: the one built here;
#                     without one, its rows say so and lprint is measured alone)
#   BENCH_LABELS      labels in the job (default 200)
#   BENCH_PERF=1      after the measured runs, one more job per server under
#                     perf record (not in the table): the hottest functions
#                     go to the output and to $WORK/SERVER-perf.txt
#   BENCH_CALLGRIND=1 instead of the runs: both servers under valgrind's
#                     callgrind, one job each (20 labels unless BENCH_LABELS
#                     says otherwise), counted from the submit to the job's
#                     end; the top functions by instructions go to the output
#                     and to $WORK/SERVER-callgrind.txt
set -eu
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
RUNS="${1:-3}"
CALLGRIND="${BENCH_CALLGRIND:-}"
if [ "$CALLGRIND" = 1 ]; then
    LABELS="${BENCH_LABELS:-20}"
else
    LABELS="${BENCH_LABELS:-200}"
fi
BUILD_DIR="${BENCH_BUILD_DIR:-build-bench}"
WORK="$ROOT/$BUILD_DIR/bench-app-work"
TESTS="$ROOT/bench/app"
APP_PORT=18701
PEER_PORT=18702
PEER_DRIVER=zpl_4inch-203dpi-dt
APP_MODEL=tavelin_100

if [ "${TVL_BENCH_APP_INSIDE:-}" != 1 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "bench-app: needs root (unshare --net for lprint, which listens on every address)" >&2
        exit 1
    fi
    ./scripts/install-deps.sh bench-app
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVL_BENCHMARKS=ON -DTVL_BUILD_TESTS=OFF >/dev/null
    targets="tvl-bench-pwg tvl-inspect"
    if [ -z "${BENCH_APP:-}" ] && grep -qs 'add_executable(tavelin-printer-app' app/CMakeLists.txt; then
        targets="$targets tavelin-printer-app"
    fi
    # shellcheck disable=SC2086
    cmake --build "$BUILD_DIR" -j2 --target $targets >/dev/null
    rm -rf "$WORK"
    mkdir -p "$WORK"
    echo "== Job"
    "$BUILD_DIR/bench/tvl-bench-pwg" "$WORK/job.pwg" "$LABELS"
    TVL_BENCH_APP_INSIDE=1 exec unshare --net --pid --fork --mount-proc "$ROOT/scripts/bench-app.sh" "$RUNS"
fi

# ---- Inside the namespaces: loopback only, this shell is PID 1.
ip link set lo up

APP="${BENCH_APP:-$ROOT/$BUILD_DIR/app/tavelin-printer-app}"
INSPECT="$ROOT/$BUILD_DIR/tools/tvl-inspect"
RESULTS="$WORK/runs.tsv"
APP_PID=""
PEER_PID=""

stop_server() {
    pid="$1"
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    n=0
    while kill -0 "$pid" 2>/dev/null && [ $n -lt 50 ]; do
        sleep 0.1
        n=$((n + 1))
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
stop_servers() {
    stop_server "$APP_PID"
    stop_server "$PEER_PID"
    APP_PID=""
    PEER_PID=""
}
trap stop_servers EXIT
trap 'exit 1' INT TERM HUP

# User + system ticks of the whole process (every thread, living or ended,
# and waited-for children), from /proc/PID/stat after the command name.
cpu_ticks() {
    sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 + $14 + $15 }'
}
peak_kib() {
    awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"
}
now_ns() {
    date +%s%N
}

# Waits until the server answers IPP on its port (20 s at most).
wait_ready() {
    pid="$1"
    port="$2"
    n=0
    until ipptool -q -T 2 "ipp://localhost:$port/ipp/print" "$TESTS/ready.test" 2>/dev/null; do
        if ! kill -0 "$pid" 2>/dev/null || [ $n -ge 200 ]; then
            return 1
        fi
        sleep 0.1
        n=$((n + 1))
    done
}

# The two servers' sub-commands, with their private state. The servers
# themselves are started in a subshell that execs them, so that $! is theirs.
app_cmd() {
    TVL_APP_STATE_DIR="$WORK/app-state" "$APP" "$@"
}
peer_cmd() {
    SNAP_DATA="$WORK/lprint-state" SNAP_COMMON="$WORK/lprint-state" HOME="$WORK/lprint-state" lprint "$@"
}

mkdir -p "$WORK/app-state" "$WORK/lprint-state" "$WORK/out-app" "$WORK/out-lprint"
printf 'server\trun\twall_s\tcpu_s\tpeak_kib\tbytes\tstatus\n' > "$RESULTS"

# With BENCH_CALLGRIND=1 each server runs under callgrind, counting nothing
# until callgrind_control switches it on for the job.
under_callgrind() {
    if [ "$CALLGRIND" = 1 ]; then
        echo "valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file=$WORK/$1.cg"
    fi
}
# One job per server under callgrind, then its top functions.
callgrind_job() {
    name="$1"
    pid="$2"
    port="$3"
    callgrind_control -i on "$pid" >/dev/null 2>&1
    run_job "$name" "$pid" "$port" 1
    callgrind_control -d "$pid" >/dev/null 2>&1
    sleep 1
    dump="$(ls -t "$WORK/$name.cg".* 2>/dev/null | head -n 1)"
    callgrind_annotate "$dump" 2>/dev/null | grep -E 'PROGRAM TOTALS|^ *[0-9,]+ \(' >"$WORK/$name-callgrind.txt" || true
    echo "== $name under callgrind, $LABELS labels: instructions by function (top 10; $WORK/$name-callgrind.txt)"
    head -n 11 "$WORK/$name-callgrind.txt" | cut -c1-180
}

SERVERS=""
if [ -x "$APP" ]; then
    (
        export TVL_APP_STATE_DIR="$WORK/app-state"
        # shellcheck disable=SC2086
        exec $(under_callgrind app) "$APP" server -o server-port=$APP_PORT -o listen-hostname=localhost -o log-level=warn
    ) >"$WORK/app-server.log" 2>&1 &
    APP_PID=$!
    if wait_ready "$APP_PID" $APP_PORT &&
        app_cmd add -d bench -m $APP_MODEL -v "file://$WORK/out-app" >"$WORK/app-add.log" 2>&1; then
        SERVERS="app"
    else
        echo "bench-app: the application did not start or add its printer; see $WORK/app-*.log" >&2
    fi
else
    echo "bench-app: no application binary at $APP; measuring lprint alone" >&2
fi
(
    export SNAP_DATA="$WORK/lprint-state" SNAP_COMMON="$WORK/lprint-state" HOME="$WORK/lprint-state"
    # shellcheck disable=SC2086
    exec $(under_callgrind lprint) lprint server -o server-port=$PEER_PORT -o tls=no -o log-level=warn -o "log-file=$WORK/lprint-state/server.log"
) >"$WORK/lprint-server.log" 2>&1 &
PEER_PID=$!
if wait_ready "$PEER_PID" $PEER_PORT &&
    peer_cmd add -d bench -m $PEER_DRIVER -v "file://$WORK/out-lprint" >"$WORK/lprint-add.log" 2>&1; then
    SERVERS="$SERVERS lprint"
else
    echo "bench-app: lprint did not start or add its printer; see $WORK/lprint-*.log" >&2
fi

# One job: submit, poll until it ends, then the figures.
run_job() {
    name="$1"
    pid="$2"
    port="$3"
    run="$4"
    out="$WORK/out-$name"
    rm -f "$out"/*
    log="$WORK/$name-job-$run.log"
    c0=$(cpu_ticks "$pid")
    t0=$(now_ns)
    status=completed
    ipptool -T 60 -f "$WORK/job.pwg" "ipp://localhost:$port/ipp/print/bench" "$TESTS/print-job.test" \
        >"$log" 2>&1 || status=failed
    t1=$(now_ns)
    c1=$(cpu_ticks "$pid")
    bytes=$(cat "$out"/* 2>/dev/null | wc -c)
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$run" \
        "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')" \
        "$(awk -v a="$c0" -v b="$c1" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", (b - a) / hz }')" \
        "$(peak_kib "$pid")" "$bytes" "$status" >> "$RESULTS"
    if [ "$status" != completed ]; then
        echo "bench-app: $name run $run did not complete; $log:" >&2
        tail -n 8 "$log" >&2
    fi
    # What the first run printed: the application's labels pixel for pixel,
    # lprint's by their print-quantity commands.
    if [ "$run" = 1 ] && [ "$status" = completed ]; then
        if [ "$name" = app ]; then
            # The reference is as long as the label the setup block names.
            rows=$(cat "$out"/* | "$INSPECT" -q - 2>/dev/null | sed -n 's/^SUMMARY .* length=\([0-9]*\) .*/\1/p')
            if [ -n "$rows" ] &&
                "$ROOT/$BUILD_DIR/bench/tvl-bench-pwg" --reference "$rows" "$WORK/reference.ras" "$LABELS" >/dev/null &&
                cat "$out"/* | "$INSPECT" -q --expect-raster "$WORK/reference.ras" - >"$WORK/app-inspect.txt" 2>&1; then
                echo "check: app printed the $LABELS labels pixel for pixel as the job, on a label of $rows rows"
            else
                echo "check: app's labels DIFFER from the job: $(tail -n 2 "$WORK/app-inspect.txt" 2>/dev/null)"
            fi
        else
            echo "check: lprint printed $(cat "$out"/* | grep -ao '\^PQ' | wc -l) labels (print-quantity commands)"
        fi
    fi
}

# What one Get-Job-Attributes poll costs the server: 300 of them on the
# completed job, 10 ms apart as in the runs.
poll_cost() {
    pid="$1"
    port="$2"
    c0=$(cpu_ticks "$pid")
    ipptool -T 10 -d job-id=1 "ipp://localhost:$port/ipp/print/bench" "$TESTS/poll.test" >/dev/null 2>&1 || true
    c1=$(cpu_ticks "$pid")
    awk -v a="$c0" -v b="$c1" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", (b - a) / hz / 300 * 1000 }'
}

if [ "$CALLGRIND" = 1 ]; then
    for s in $SERVERS; do
        case $s in
            app) callgrind_job app "$APP_PID" $APP_PORT ;;
            lprint) callgrind_job lprint "$PEER_PID" $PEER_PORT ;;
        esac
    done
    exit 0
fi

echo "== $RUNS runs per server, in turns"
run=1
while [ $run -le "$RUNS" ]; do
    for s in $SERVERS; do
        case $s in
            app) run_job app "$APP_PID" $APP_PORT $run ;;
            lprint) run_job lprint "$PEER_PID" $PEER_PORT $run ;;
        esac
    done
    run=$((run + 1))
done
# One more job per server under perf, for where its time goes.
profile_job() {
    name="$1"
    pid="$2"
    port="$3"
    rm -f "$WORK/out-$name"/*
    perf record -q -F 2999 --call-graph dwarf,16384 -p "$pid" -o "$WORK/$name-perf.data" >/dev/null 2>&1 &
    perf_pid=$!
    sleep 0.5
    ipptool -T 60 -f "$WORK/job.pwg" "ipp://localhost:$port/ipp/print/bench" "$TESTS/print-job.test" \
        >"$WORK/$name-perf-job.log" 2>&1 || echo "bench-app: $name's profiled job did not complete" >&2
    kill -INT "$perf_pid" 2>/dev/null || true
    wait "$perf_pid" || true
    perf report -i "$WORK/$name-perf.data" --no-children --sort dso,symbol --stdio 2>/dev/null |
        grep -E '^ +[0-9.]+%' > "$WORK/$name-perf.txt" || true
    echo "== Where $name's time goes (perf, self time, top 12; $WORK/$name-perf.txt)"
    head -n 12 "$WORK/$name-perf.txt"
}
if [ "${BENCH_PERF:-}" = 1 ]; then
    for s in $SERVERS; do
        case $s in
            app) profile_job app "$APP_PID" $APP_PORT ;;
            lprint) profile_job lprint "$PEER_PID" $PEER_PORT ;;
        esac
    done
fi

POLL_APP=""
POLL_PEER=""
for s in $SERVERS; do
    case $s in
        app) POLL_APP=$(poll_cost "$APP_PID" $APP_PORT) ;;
        lprint) POLL_PEER=$(poll_cost "$PEER_PID" $PEER_PORT) ;;
    esac
done
stop_servers

echo
echo "== Runs"
awk -F '\t' '{ printf "%-7s %-4s %8s %7s %9s %10s  %s\n", $1, $2, $3, $4, $5, $6, $7 }' "$RESULTS"

# Medians of the completed runs; bytes per label in KiB (1024 bytes), peak
# resident memory in MiB.
median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
column_of() {
    awk -F '\t' -v s="$1" -v c="$2" '$1 == s && $7 == "completed" { print $c }' "$RESULTS" | median
}
echo
echo "== Medians of $RUNS runs, $LABELS labels"
{
    echo "| server | wall s | CPU s | peak RSS MiB | bytes per label | KiB per label | runs completed | CPU per poll ms |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|"
    for s in app lprint; do
        done_runs=$(awk -F '\t' -v s="$s" '$1 == s && $7 == "completed"' "$RESULTS" | wc -l)
        poll=$POLL_PEER
        [ $s = app ] && poll=$POLL_APP
        if [ "$done_runs" -eq 0 ]; then
            echo "| $s | - | - | - | - | - | 0 of $RUNS | - |"
            continue
        fi
        wall=$(column_of "$s" 3)
        cpu=$(column_of "$s" 4)
        kib=$(column_of "$s" 5)
        bytes=$(column_of "$s" 6)
        awk -v s="$s" -v w="$wall" -v c="$cpu" -v k="$kib" -v b="$bytes" -v n="$LABELS" -v d="$done_runs" \
            -v r="$RUNS" -v p="${poll:--}" \
            'BEGIN { printf "| %s | %.3f | %.2f | %.1f | %.0f | %.1f | %d of %d | %s |\n", s, w, c, k / 1024, b / n, b / n / 1024, d, r, p }'
    done
} | tee "$WORK/table.md"

# The targets: at most half the peer's CPU, and no more peak memory.
app_cpu=$(column_of app 4)
peer_cpu=$(column_of lprint 4)
app_kib=$(column_of app 5)
peer_kib=$(column_of lprint 5)
if [ "$app_cpu" != - ] && [ "$peer_cpu" != - ]; then
    echo
    awk -v a="$app_cpu" -v p="$peer_cpu" -v ak="$app_kib" -v pk="$peer_kib" 'BEGIN {
        printf "target: CPU at most half of lprint'"'"'s: %.2f s against %.2f s (%.2f x): %s\n", a, p, a / p, a <= p / 2 ? "met" : "MISSED"
        printf "target: peak memory no more than lprint'"'"'s: %d against %d KiB: %s\n", ak, pk, ak <= pk ? "met" : "MISSED"
    }' | tee -a "$WORK/table.md"
fi

echo
echo "== Machine"
echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
echo "libpappl: $(dpkg-query -W -f='${Version}' libpappl1 2>/dev/null || echo unknown), lprint: $(dpkg-query -W -f='${Version}' lprint 2>/dev/null || echo unknown)"
