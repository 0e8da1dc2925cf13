#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
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
#   scripts/bench-app.sh load [ROUNDS]
#                                    instead, the load run: 6 clients at once,
#                                    24 mixed jobs each (PWG raster, PNG, JPEG,
#                                    PDF), per server and round (default 3);
#                                    jobs per second, server CPU, failures
#
# Everything the run writes (documents, the servers' state, the file devices'
# output, logs) goes to a temporary folder, removed at the end unless
# BENCH_KEEP=1, a failure, BENCH_PERF or BENCH_CALLGRIND keeps it.
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
#   BENCH_LOAD_CLIENTS, BENCH_LOAD_JOBS
#                     the load run's clients (6) and jobs per client (24)
#   BENCH_LOAD_MIXES  its mixes, one per word, kinds joined by commas
#                     (default "pwg,png,jpeg,pdf pwg,png,jpeg": lprint
#                     prints no PDF, so the second mix is the one both print)
set -eu
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
MODE=single
case "${1:-}" in
    load | single) MODE=$1 && shift ;;
esac
RUNS="${1:-3}"
CALLGRIND="${BENCH_CALLGRIND:-}"
if [ "$CALLGRIND" = 1 ]; then
    LABELS="${BENCH_LABELS:-20}"
else
    LABELS="${BENCH_LABELS:-200}"
fi
BUILD_DIR="${BENCH_BUILD_DIR:-build-bench}"
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
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVL_BENCHMARKS=ON -DTVL_BUILD_TESTS=ON >/dev/null
    targets="tvl-bench-pwg tvl-inspect tvl-app-test-document"
    if [ -z "${BENCH_APP:-}" ] && grep -qs 'add_executable(tavelin-printer-app' app/CMakeLists.txt; then
        targets="$targets tavelin-printer-app"
    fi
    # shellcheck disable=SC2086
    cmake --build "$BUILD_DIR" -j2 --target $targets >/dev/null
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tvl-bench-app.XXXXXX")
    if [ "$MODE" = load ]; then
        # The load run's documents: 3 labels of the job below, and the
        # integration tests' PNG, JPEG and 3-page PDF (black on the left half).
        echo "== Documents"
        "$BUILD_DIR/bench/tvl-bench-pwg" "$WORK/load.pwg" 3
        for kind in png-rgb:load.png jpeg:load.jpg pdf-3:load.pdf; do
            "$BUILD_DIR/tests/app/tvl-app-test-document" make "${kind%%:*}" "$WORK/${kind#*:}"
        done
    else
        echo "== Job"
        "$BUILD_DIR/bench/tvl-bench-pwg" "$WORK/job.pwg" "$LABELS"
    fi
    TVL_BENCH_APP_INSIDE=1 TVL_BENCH_APP_WORK="$WORK" exec unshare --net --pid --fork --mount-proc \
        "$ROOT/scripts/bench-app.sh" "$MODE" "$RUNS"
fi

# ---- Inside the namespaces: loopback only, this shell is PID 1.
ip link set lo up
WORK="$TVL_BENCH_APP_WORK"
KEEP="${BENCH_KEEP:-}${BENCH_PERF:-}$CALLGRIND"

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
# On the way out: the servers stopped by PID, the work folder removed unless
# it is to be kept.
finish() {
    stop_servers
    if [ -n "$KEEP" ]; then
        echo "work folder kept: $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap finish EXIT
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
# The median of the numbers on standard input, one a line.
median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
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

# Starts server NAME (app or lprint) on its state folder, in a subshell that
# execs it so that $! is its PID, and waits until it answers. Also how the
# load run starts a server again after it died.
start_server() {
    if [ "$1" = app ]; then
        (
            export TVL_APP_STATE_DIR="$WORK/app-state"
            # shellcheck disable=SC2086
            exec $(under_callgrind app) "$APP" server -o server-port=$APP_PORT -o listen-hostname=localhost -o log-level=warn
        ) >>"$WORK/app-server.log" 2>&1 &
        APP_PID=$!
        wait_ready "$APP_PID" $APP_PORT
    else
        (
            export SNAP_DATA="$WORK/lprint-state" SNAP_COMMON="$WORK/lprint-state" HOME="$WORK/lprint-state"
            # shellcheck disable=SC2086
            exec $(under_callgrind lprint) lprint server -o server-port=$PEER_PORT -o tls=no -o log-level=warn -o "log-file=$WORK/lprint-state/server.log"
        ) >>"$WORK/lprint-server.log" 2>&1 &
        PEER_PID=$!
        wait_ready "$PEER_PID" $PEER_PORT
    fi
}

# Adds server NAME's printer "bench" on its file device, and waits (5 s at
# most) until the server has saved it in its state, where a restart finds it.
# After a restart the printer is mostly there already: the add then fails
# harmlessly.
add_printer() {
    if [ "$1" = app ]; then
        app_cmd add -d bench -m $APP_MODEL -v "file://$WORK/out-app" || return
    else
        peer_cmd add -d bench -m $PEER_DRIVER -v "file://$WORK/out-lprint" || return
    fi
    n=0
    until grep -rqs "out-$1" "$WORK/$1-state" || [ $n -ge 50 ]; do
        sleep 0.1
        n=$((n + 1))
    done
}

SERVERS=""
if [ -x "$APP" ]; then
    if start_server app && add_printer app >"$WORK/app-add.log" 2>&1; then
        SERVERS="app"
    else
        echo "bench-app: the application did not start or add its printer; see $WORK/app-*.log" >&2
    fi
else
    echo "bench-app: no application binary at $APP; measuring lprint alone" >&2
fi
if start_server lprint && add_printer lprint >"$WORK/lprint-add.log" 2>&1; then
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
        KEEP=1
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
                KEEP=1
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

# ---- The load run (scripts/bench-app.sh load [ROUNDS]): LOAD_CLIENTS
# clients at once, each sending LOAD_JOBS jobs one after the other to one
# server, the servers taking turns, ROUNDS rounds of each mix.
LOAD_CLIENTS="${BENCH_LOAD_CLIENTS:-6}"
LOAD_JOBS="${BENCH_LOAD_JOBS:-24}"
LOAD_MIXES="${BENCH_LOAD_MIXES:-pwg,png,jpeg,pdf pwg,png,jpeg}"
DOCTOOL="$ROOT/$BUILD_DIR/tests/app/tvl-app-test-document"

# The document, its format and the labels it prints, by kind.
doc_of() {
    case $1 in
        pwg) DOC="$WORK/load.pwg" FORMAT=image/pwg-raster LABELS=3 ;;
        png) DOC="$WORK/load.png" FORMAT=image/png LABELS=1 ;;
        jpeg) DOC="$WORK/load.jpg" FORMAT=image/jpeg LABELS=1 ;;
        pdf) DOC="$WORK/load.pdf" FORMAT=application/pdf LABELS=3 ;;
    esac
}

# TICKS (as cpu_ticks) and STATE of process $1 without starting a process;
# fails once it is gone.
read_ticks() {
    line=""
    { read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
    # shellcheck disable=SC2086
    set -- ${line##*) }
    STATE=$1
    TICKS=$((${12} + ${13} + ${14} + ${15}))
}

# Client $2 of round $3 on port $1: the mix's kinds in turn from its own
# starting point. Each job is sent again while the printer answers busy (every
# 0.1 s, as tests/app/lib.sh's print_job, 5 minutes at most) or does not answer
# or is unavailable (a server starting again; every 0.2 s, 30 s at most), then
# followed until it ends (load-job.test; a job not ended within 10 s is given
# up: not completed). One line per job: name, kind, labels, Print-Job status,
# last job-state, busy and no-answer retries, when it ended (ns).
load_client() {
    port=$1 c=$2 tag=$3 kinds=$(echo "$4" | tr , ' ')
    answer="$WORK/load-answer-$c.txt"
    i=0
    while [ $i -lt "$LOAD_JOBS" ]; do
        # shellcheck disable=SC2086
        set -- $kinds
        eval "kind=\${$(((c + i) % $# + 1))}"
        doc_of "$kind"
        job="${tag}_c${c}_j${i}_$kind"
        busy=0 gone=0
        while :; do
            ipptool -L -tv -T 60 -d name="$job" -d format="$FORMAT" -f "$DOC" \
                "ipp://localhost:$port/ipp/print/bench" "$TESTS/load-job.test" >"$answer" 2>&1 || true
            status=$(sed -n 's/^ *status-code = \([a-z-]*\).*/\1/p' "$answer" | head -n 1)
            if [ "$status" = server-error-busy ] && [ $busy -lt 3000 ]; then
                busy=$((busy + 1))
                sleep 0.1
            elif { [ -z "$status" ] || [ "$status" = server-error-service-unavailable ]; } && [ $gone -lt 150 ]; then
                gone=$((gone + 1))
                sleep 0.2
            else
                break
            fi
        done
        state=$(sed -n 's/^ *job-state (enum) = //p' "$answer" | tail -n 1)
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$job" "$kind" "$LABELS" "${status:-none}" "${state:-none}" \
            $busy $gone "$(now_ns)" >>"$WORK/load-$tag.tsv"
        i=$((i + 1))
    done
}

# Whether the completed job $1's output holds its $2 labels: for the
# application decoded with tvl-inspect, each label pixel for pixel as the
# job's (PWG raster) or black on its left half (the others); for lprint
# counted by its print-quantity commands.
output_right() {
    file="$WORK/out-$3/$1.prn"
    [ -s "$file" ] || return 2
    if [ "$3" = lprint ]; then
        [ "$(grep -ao '\^PQ' "$file" | wc -l)" -eq "$2" ]
        return
    fi
    "$INSPECT" "$file" >"$WORK/inspect.txt" 2>&1 || return 1
    [ "$(grep -c '^PRINT' "$WORK/inspect.txt")" -eq "$2" ] &&
        [ "$(grep -c '^PRINT copies=1$' "$WORK/inspect.txt")" -eq "$2" ] || return 1
    case $1 in
        *_pwg)
            if [ ! -f "$WORK/load-reference.ras" ]; then
                rows=$(sed -n 's/^SUMMARY .* length=\([0-9]*\) .*/\1/p' "$WORK/inspect.txt")
                "$ROOT/$BUILD_DIR/bench/tvl-bench-pwg" --reference "$rows" "$WORK/load-reference.ras" 3 >/dev/null
            fi
            "$INSPECT" -q --expect-raster "$WORK/load-reference.ras" "$file" >/dev/null 2>&1
            ;;
        *)
            rm -f "$WORK"/label-*.png
            "$INSPECT" -q --png "$WORK/label" "$file" >/dev/null 2>&1 || return 1
            for png in "$WORK"/label-*.png; do
                "$DOCTOOL" check "$png" left >/dev/null 2>&1 || return 1
            done
            ;;
    esac
}

# Server $1 started again in a round, on its state folder, with its printer;
# PID and the CPU count (SPENT so far, BASE of the new process) follow it.
restart_in_round() {
    start_server "$1" || return 1
    add_printer "$1" >>"$WORK/$1-add.log" 2>&1 || true
    pid=$APP_PID
    [ "$1" = app ] || pid=$PEER_PID
    read_ticks "$pid" || true
    base=$TICKS last=$TICKS
}

# One round of mix $3 on server $1 (port $2), round $4: wall time from the
# clients' start to the last one's end, the server's CPU over it. A server
# that dies is counted (its CPU up to its last sample, at most 0.1 s
# before) and started again on its state folder, and the clients carry on;
# so is one that ends no job for 20 s while clients wait (hung), after it is
# stopped by its PID.
load_round() {
    name=$1 port=$2 mix=$3 round=$4
    tag="$name-r$round-$(echo "$mix" | tr , -)"
    rm -f "$WORK/out-$name"/* "$WORK"/load-*.done
    : >"$WORK/load-$tag.tsv"
    pid=$APP_PID
    [ "$name" = app ] || pid=$PEER_PID
    deaths=0 hangs=0 spent=0
    if ! read_ticks "$pid" || [ "$STATE" = Z ]; then
        echo "bench-app: $name died between rounds; starting it again (counted in this round)"
        deaths=1
        wait "$pid" 2>/dev/null || true
        restart_in_round "$name" || return 0
    fi
    base=$TICKS last=$TICKS
    t0=$(now_ns)
    c=1
    while [ $c -le "$LOAD_CLIENTS" ]; do
        (
            load_client "$port" $c "$tag" "$mix" || true
            : >"$WORK/load-$c.done"
        ) &
        c=$((c + 1))
    done
    quiet=0 progress=0
    while :; do
        set -- "$WORK"/load-*.done
        finished=0
        [ -e "$1" ] && finished=$#
        [ "$finished" -lt "$LOAD_CLIENTS" ] || break
        if read_ticks "$pid" && [ "$STATE" != Z ]; then
            last=$TICKS
            quiet=$((quiet + 1))
            if [ $((quiet % 10)) -eq 0 ]; then
                ended=$(grep -c . "$WORK/load-$tag.tsv" || true)
                if [ "$ended" != "$progress" ]; then
                    progress=$ended quiet=0
                elif [ $quiet -ge 200 ]; then
                    hangs=$((hangs + 1))
                    echo "bench-app: $name ended no job for 20 s during $tag ($ended jobs ended): stopping it and starting it again"
                    spent=$((spent + last - base))
                    stop_server "$pid"
                    restart_in_round "$name" || { echo "bench-app: $name does not start again" >&2 && break; }
                    quiet=0
                fi
            fi
        else
            [ "$STATE" = Z ] && last=$TICKS
            spent=$((spent + last - base))
            deaths=$((deaths + 1))
            status=0
            wait "$pid" 2>/dev/null || status=$?
            echo "bench-app: $name died during $tag (exit status $status, 127 when unknown; $(grep -c . "$WORK/load-$tag.tsv") jobs ended); starting it again"
            restart_in_round "$name" || { echo "bench-app: $name does not start again" >&2 && break; }
            quiet=0
        fi
        sleep 0.1
    done
    t1=$(now_ns)
    spent=$((spent + last - base))
    # What became of each job, and what the printer's history holds: jobs a
    # refused (busy) attempt left aborted are there beside the job itself.
    printed=0 missing=0 wrong=0 unfinished=""
    while IFS="$(printf '\t')" read -r job kind labels status state busy gone ended; do
        if [ "$state" != completed ]; then
            unfinished="$unfinished $kind:$status/$state"
        elif output_right "$job" "$labels" "$name"; then
            printed=$((printed + 1))
        elif [ $? -eq 2 ]; then
            missing=$((missing + 1))
        else
            wrong=$((wrong + 1))
        fi
    done <"$WORK/load-$tag.tsv"
    jobs=$(grep -c . "$WORK/load-$tag.tsv" || true)
    ipptool -tv -T 10 "ipp://localhost:$port/ipp/print/bench" "$TESTS/jobs.test" >"$WORK/load-$tag-history.txt" 2>&1 || true
    aborted=$(awk -v t="${tag}_" '/job-name \(/ { n = $NF } /job-state \(enum\)/ { if (index(n, t) == 1 && $NF != "completed") a++ } END { print a + 0 }' "$WORK/load-$tag-history.txt")
    reported=$(awk -F '\t' '$5 == "aborted" || $5 == "canceled"' "$WORK/load-$tag.tsv" | wc -l)
    awk -F '\t' -v s="$name" -v m="$mix" -v r="$round" -v j="$jobs" -v p="$printed" -v ms="$missing" -v w="$wrong" \
        -v a="$((aborted > reported ? aborted - reported : 0))" -v d="$deaths" -v h="$hangs" -v t0="$t0" -v t1="$t1" -v c="$spent" -v hz="$(getconf CLK_TCK)" \
        -v u="$(echo "$unfinished" | tr ' ' '\n' | grep . | sort | uniq -c | awk '{ printf "%s%s x%d", sep, $2, $1; sep = ", " }')" '
        { busy += $6; gone += $7 }
        END { printf "%s\t%s\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%.3f\t%.2f\t%s\t%d\n", s, m, r, j, p, j - p - ms - w, ms, w, a, busy, d,
              (t1 - t0) / 1e9, c / hz, u, h }' "$WORK/load-$tag.tsv" >>"$WORK/load-runs.tsv"
    tail -n 1 "$WORK/load-runs.tsv" | awk -F '\t' '{
        printf "%s %s round %d: %d jobs, %d printed right, %d not completed, %d outputs missing, %d wrong, %d aborted left by refused attempts, %d busy retries, %d deaths, %d hangs; %.2f s, %.2f jobs/s, CPU %.2f s%s\n",
            $1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $15, $12, $5 / $12, $13, $14 == "" ? "" : "; not completed: " $14 }'
}

if [ "$MODE" = load ]; then
    : >"$WORK/load-runs.tsv"
    echo "== Load: $LOAD_CLIENTS clients x $LOAD_JOBS jobs per server and round, $RUNS rounds per mix, servers in turns"
    for mix in $LOAD_MIXES; do
        round=1
        while [ $round -le "$RUNS" ]; do
            for s in $SERVERS; do
                case $s in
                    app) load_round app $APP_PORT "$mix" "$round" ;;
                    lprint) load_round lprint $PEER_PORT "$mix" "$round" ;;
                esac
            done
            round=$((round + 1))
        done
    done
    stop_servers
    # Medians over the rounds of a server and mix; failures added up.
    echo
    echo "== Load: medians of $RUNS rounds ($LOAD_CLIENTS clients x $LOAD_JOBS jobs); failures summed over the rounds"
    {
        echo "| server | mix | jobs | printed right | jobs/s | wall s | CPU s | CPU ms per job printed | not completed | outputs missing or wrong | aborted left by retries | busy retries | server deaths, hangs |"
        echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
        for mix in $LOAD_MIXES; do
            for s in $SERVERS; do
                awk -F '\t' -v s="$s" -v m="$mix" '$1 == s && $2 == m' "$WORK/load-runs.tsv" >"$WORK/load-rows.tsv"
                [ -s "$WORK/load-rows.tsv" ] || continue
                rate=$(awk -F '\t' '{ print $5 / $12 }' "$WORK/load-rows.tsv" | median)
                wall=$(cut -f12 "$WORK/load-rows.tsv" | median)
                cpu=$(cut -f13 "$WORK/load-rows.tsv" | median)
                per=$(awk -F '\t' '{ print $5 ? $13 * 1000 / $5 : 0 }' "$WORK/load-rows.tsv" | median)
                awk -F '\t' -v s="$s" -v m="$mix" -v r="$rate" -v w="$wall" -v c="$cpu" -v q="$per" '
                    { j += $4; p += $5; u += $6; mw += $7 + $8; a += $9; b += $10; d += $11; h += $15 }
                    END { printf "| %s | %s | %d | %d | %.2f | %.2f | %.2f | %.1f | %d | %d | %d | %d | %d, %d |\n",
                          s, m, j, p, r, w, c, q, u, mw, a, b, d, h }' "$WORK/load-rows.tsv"
            done
        done
    } | tee "$WORK/load-table.md"
    # Every job of the application printed right, none aborted by retries,
    # no death; at no less than lprint's rate on each mix.
    echo
    for mix in $LOAD_MIXES; do
        awk -F '|' -v m=" $mix " '$3 == m { gsub(/ /, ""); r[$2] = $6; ok[$2] = ($4 == $5 && $10 + $11 + $12 == 0 && $14 == "0,0") }
            END { if (("app" in r) && ("lprint" in r))
                printf "target (%s): every job of the application printed right: %s; jobs/s %.2f against lprint'"'"'s %.2f (%.2f x): %s\n",
                    substr(m, 2, length(m) - 2), ok["app"] ? "met" : "MISSED", r["app"], r["lprint"], r["app"] / r["lprint"],
                    (r["app"] >= r["lprint"]) ? "met" : "MISSED" }' "$WORK/load-table.md"
    done | tee -a "$WORK/load-table.md"
    grep -q MISSED "$WORK/load-table.md" && KEEP=1
    echo
    echo "== Machine"
    echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "lprint: $(dpkg-query -W -f='${Version}' lprint 2>/dev/null || echo unknown) on libpappl $(dpkg-query -W -f='${Version}' libpappl1 2>/dev/null || echo unknown)"
    exit 0
fi

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
