# SPDX-License-Identifier: Apache-2.0
# Shared by the printer application's integration scripts: a private server
# on a loopback port with its own state folder, stopped by its process id,
# and IPP helpers over ipptool. Sourced with APP, INSPECT and RASTER set.

HERE=$(cd "$(dirname "$0")" && pwd)
IPP="$HERE/ipp"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tvl-app-test.XXXXXX")
export TVL_APP_STATE_DIR="$WORK/state"
OUT="$WORK/out"
mkdir -p "$OUT" "$TVL_APP_STATE_DIR"
# Sanitizer builds: leaks inside libpappl and libcups are theirs.
LSAN_OPTIONS="suppressions=$HERE/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
SERVER_PID=""
PORT=""
FAILURES=0

# running PID: the process is there and has not ended (a zombie has).
running() {
    [ -r "/proc/$1/stat" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -c1)" != Z ]
}

# stop_server: SIGTERM, then SIGKILL 10 s later for a server that hangs.
stop_server() {
    if [ -n "$SERVER_PID" ]; then
        kill "$SERVER_PID" 2>/dev/null || true
        stop_waited=0
        while running "$SERVER_PID" && [ $((stop_waited += 1)) -le 100 ]; do sleep 0.1; done
        running "$SERVER_PID" && kill -KILL "$SERVER_PID" 2>/dev/null
        wait "$SERVER_PID" 2>/dev/null || true
        SERVER_PID=""
    fi
}

# remove_work: the work folder goes, unless a check failed or KEEP_WORK is
# set.
remove_work() {
    if [ "$FAILURES" -eq 0 ] && [ -z "${KEEP_WORK:-}" ]; then
        rm -rf "$WORK"
    else
        echo "work folder kept: $WORK"
    fi
}

cleanup() {
    stop_server
    remove_work
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

pass() {
    echo "ok: $*"
}

# start_server [WRAPPER...]: starts the server on a free loopback port
# (listening on $LISTEN, default localhost; more -o options in
# $SERVER_OPTIONS),
# waits until it answers IPP. Tries a few ports.
start_server() {
    tries=0
    while [ $tries -lt 10 ]; do
        STARTS=$((${STARTS:-0} + 1))
        LOG="$WORK/server-$STARTS.log"
        PORT=$((20000 + ($$ * 7 + tries * 131) % 30000))
        "$@" "$APP" server -o server-port="$PORT" -o listen-hostname="${LISTEN:-localhost}" -o log-level=debug \
            -o log-file="$LOG" ${SERVER_OPTIONS:-} >>"$WORK/server.out" 2>&1 &
        SERVER_PID=$!
        waited=0
        while [ $waited -lt 600 ] && kill -0 "$SERVER_PID" 2>/dev/null; do
            if grep -q "Starting system" "$LOG" 2>/dev/null; then
                URI="ipp://localhost:$PORT/ipp/print/labels"
                return 0
            fi
            sleep 0.1
            waited=$((waited + 1))
        done
        stop_server
        tries=$((tries + 1))
    done
    echo "cannot start the server"
    return 1
}

# shutdown_server: the CLI's shutdown, then waits for the process to end
# (SERVER_STATUS: its exit status). Returns the CLI's status.
shutdown_server() {
    "$APP" shutdown >/dev/null 2>&1
    shutdown_status=$?
    waited=0
    while kill -0 "$SERVER_PID" 2>/dev/null && [ $waited -lt 300 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if kill -0 "$SERVER_PID" 2>/dev/null; then
        fail "server still running after shutdown"
        stop_server
    fi
    wait "$SERVER_PID" 2>/dev/null
    SERVER_STATUS=$?
    SERVER_PID=""
    return $shutdown_status
}

# value NAME FILE: the first value ipptool -tv printed for attribute NAME.
value() {
    sed -n "s/^ *$1 ([^)]*) = //p" "$2" | head -n 1
}

# print_job NAME FORMAT FILE [-d var=value ...]: Print-Job sent whole with
# its length (a chunked upload cut short waits for libpappl's 60 s read
# timeout; no driver code runs meanwhile), retried while
# the printer answers server-error-busy. Sets JOB (0 when refused), STATUS.
print_job() {
    name=$1 format=$2 file=$3
    shift 3
    tries=0
    answer="$WORK/print-$name.txt"
    while :; do
        ipptool -L -tv -d name="$name" -d format="$format" -f "$file" "$@" "$URI" "$IPP/${PRINT_TEST:-print-job.test}" \
            >"$answer" 2>&1 || true
        STATUS=$(sed -n 's/^ *status-code = \([a-z-]*\).*/\1/p' "$answer" | head -n 1)
        if [ "$STATUS" != "server-error-busy" ] || [ $tries -ge 200 ]; then
            break
        fi
        BUSY_SEEN=1
        tries=$((tries + 1))
        sleep 0.1
    done
    JOB=$(value job-id "$answer")
    if [ -z "$JOB" ] && [ "${STATUS#successful}" != "$STATUS" ]; then
        # A job that failed while its document streamed in is answered
        # without its id: take the newest job's.
        JOB=$(ipptool -tv "$URI" "$IPP/get-jobs.test" | sed -n 's/^ *job-id (integer) = //p' | sort -n | tail -n 1)
    fi
    JOB=${JOB:-0}
}

# wait_job ID: waits for the job to end; sets STATE, MESSAGE, REASONS.
wait_job() {
    waited=0
    while :; do
        ipptool -tv -d job="$1" "$URI" "$IPP/get-job.test" >"$WORK/job.txt" 2>&1 || true
        STATE=$(value job-state "$WORK/job.txt")
        case "$STATE" in
        completed | aborted | canceled) break ;;
        esac
        if [ $waited -ge 600 ]; then
            break
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    MESSAGE=$(value job-state-message "$WORK/job.txt")
    REASONS=$(value job-state-reasons "$WORK/job.txt")
}

# wait_attr NAME VALUE: waits until Get-Printer-Attributes returns VALUE
# for NAME (the application publishes defaults when libpappl saves them).
wait_attr() {
    n=0
    while [ $n -lt 100 ]; do
        ipptool -tv "$URI" "$IPP/get-printer.test" >"$WORK/attrs.txt" 2>&1
        [ "$(value "$1" "$WORK/attrs.txt")" = "$2" ] && return 0
        sleep 0.1
        n=$((n + 1))
    done
    return 1
}

# The file device writes one file per job, named after the job.
output_of() {
    echo "$OUT/$1.prn"
}

add_printer() {
    "$APP" add -d labels -m "$1" -v "file://$OUT" >/dev/null
}
