#!/bin/sh
# The printer application under load and printer faults, through its built
# binary. Load: several clients at once send mixed jobs (PWG raster, PNG,
# JPEG, PDF) to two file printers; every job completes and every output
# decodes to its labels. Faults: a socket printer of the suite's own
# (socket-printer.py) closes, resets or stops reading; the job ends with the
# reason, Cancel-Job ends a job whose write waits, and the next jobs print
# on that printer and on another.
#
#   app-load.sh APP TVL_INSPECT TEST_RASTER TEST_DOCUMENT
set -u
APP=$1 INSPECT=$2 RASTER=$3 DOC=$4
. "$(dirname "$0")/lib.sh"
SP_PID=""
trap '[ -n "$SP_PID" ] && kill "$SP_PID" 2>/dev/null; cleanup' EXIT

# A server with the two file printers "labels" and "second".
set_up() {
    start_server || exit 1
    add_printer tavelin_100 || { fail "add"; exit 1; }
    "$APP" add -d second -m tavelin_100 -v "file://$OUT" >/dev/null || fail "add second"
    LABELS_URI=$URI
    SECOND_URI="ipp://localhost:$PORT/ipp/print/second"
}
set_up

# labels_in FILE: the labels a printer stream makes (its print commands'
# copies added up); 0 for a stream that does not decode.
labels_in() {
    "$INSPECT" "$1" 2>/dev/null | sed -n 's/^PRINT copies=//p' | awk '{ n += $1 } END { print n + 0 }'
}

# Inputs: kind | file | format | Print-Job test | labels it prints.
"$RASTER" --out "$WORK/raster.in" --pattern checker || fail "raster input"
for kind in png-gray jpeg pdf-3; do "$DOC" make "$kind" "$WORK/$kind.in" || fail "$kind input"; done
cat >"$WORK/inputs" <<EOF
raster|$WORK/raster.in|image/pwg-raster|print-job.test|1
png|$WORK/png-gray.in|image/png|print-document.test|1
jpeg|$WORK/jpeg.in|image/jpeg|print-document.test|1
pdf|$WORK/pdf-3.in|application/pdf|print-document.test|3
EOF

# Load: CLIENTS clients at once, JOBS jobs each, formats and printers in
# turn. A raster job that finds its printer busy is retried.
CLIENTS=4 JOBS=10
c=1
while [ $c -le $CLIENTS ]; do
    (
        k=1
        while [ $k -le $JOBS ]; do
            IFS='|' read -r kind file format test labels <<EOF
$(sed -n "$(((c + k) % 4 + 1))p" "$WORK/inputs")
EOF
            URI=$LABELS_URI
            [ $((k % 2)) -eq 0 ] && URI=$SECOND_URI
            BUSY_TRIES=1200 PRINT_TEST=$test print_job "load-$c-$k-$kind" "$format" "$file" -T 30
            echo "$JOB|load-$c-$k-$kind|$labels|$URI|$STATUS"
            running "$SERVER_PID" || break
            k=$((k + 1))
        done
    ) >"$WORK/client-$c.jobs" &
    clients="${clients:-} $!"
    c=$((c + 1))
done
# server_lost WHEN: fails when the server has ended or does not answer;
# a hung one is stopped.
server_lost() {
    if ! running "$SERVER_PID"; then
        wait "$SERVER_PID"
        fail "$1: the server ended with status $? (see $WORK/server.out)"
        SERVER_PID=""
        return 0
    fi
    ipptool -T 10 -q "$LABELS_URI" "$IPP/get-printer.test" && return 1
    fail "$1: the server does not answer"
    stop_server
}
# The clients get 120 s: a server that hangs would hold them for ever (an
# upload the server does not read outlasts ipptool's timeout).
waited=0
while [ $waited -lt 120 ] && for p in $clients; do running "$p" && break; done; do
    sleep 1
    waited=$((waited + 1))
done
[ $waited -ge 120 ] && fail "load: the clients still wait after 120 s" && stop_server
# shellcheck disable=SC2086
wait $clients
done_jobs=0
if server_lost load; then
    # The faults are tried on a new server with a state of its own.
    TVL_APP_STATE_DIR="$WORK/state-after-load"
    mkdir -p "$TVL_APP_STATE_DIR"
    set_up
    sed -i '/./d' "$WORK"/client-*.jobs
fi
while IFS='|' read -r JOB name labels URI status; do
    [ -z "$JOB" ] && continue
    wait_job "$JOB"
    got=$(labels_in "$(output_of "$name")")
    if [ "$JOB" -eq 0 ] || [ "$STATE" != completed ] || [ "$got" -ne "$labels" ]; then
        fail "$name: job $JOB ($status) $STATE '$MESSAGE', $got of $labels labels"
    else
        done_jobs=$((done_jobs + 1))
    fi
done <<EOF
$(cat "$WORK"/client-*.jobs)
EOF
[ $done_jobs -eq $((CLIENTS * JOBS)) ] && pass "load: $done_jobs jobs from $CLIENTS clients printed"

# Faults. The printer "fault" at the socket printer prints at 600 dpi with
# raw bands: each fault job sends more than the loopback connection holds
# (a few MB), so its writes are under way when the printer fails.
mkdir -p "$WORK/sp"
python3 "$HERE/socket-printer.py" "$WORK/sp" >"$WORK/sp.port" 2>>"$WORK/server.out" &
SP_PID=$!
n=0
while [ ! -s "$WORK/sp.port" ] && [ $n -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
"$APP" add -d fault -m tavelin_100 -v "socket://127.0.0.1:$(cat "$WORK/sp.port")" >/dev/null || fail "add fault"
FAULT_URI="ipp://localhost:$PORT/ipp/print/fault"
"$RASTER" --out "$WORK/big.in" --pattern ramp --dpi 600 --page 2400x3600 --pages 6 || fail "big raster input"
"$DOC" make pdf-1 "$WORK/pdf-1.in" || fail "pdf-1 input"
head -c 8000000 /dev/urandom >"$WORK/native.in"
"$RASTER" --out "$WORK/good.in" --expect "$WORK/good.expect" --pattern checker || fail "good input"

# sp_next MODE BYTES NAME: what the socket printer does with its next
# connection.
sp_next() {
    echo "$1 $2 $3" >"$WORK/sp/next"
}

# Rows: name | printer | timeout (s) | job (raster, native or a 4 x 40 in
# PDF label) | then (- or cancel) | end state | words of the message.
while IFS="|" read -r row mode timeout job then end words; do
    [ -z "$row" ] && continue
    URI=$FAULT_URI
    ipptool -q -d resolution=600dpi -d bands=raw -d timeout="$timeout" "$URI" "$IPP/set-fault.test" ||
        fail "$row: Set-Printer-Attributes"
    sp_next "${mode% *}" "${mode#* }" "$row"
    PRINT_TEST=print-job.test took=""
    case $job in
    raster) set -- image/pwg-raster "$WORK/big.in" ;;
    native) set -- application/vnd.tavelin-tvl "$WORK/native.in" ;;
    pdf)
        PRINT_TEST=print-job-size.test
        set -- application/pdf "$WORK/pdf-1.in" -d width=10160 -d length=101600 -d darkness=0 -d speed=0
        ;;
    esac
    if [ "$then" = cancel ]; then
        # A streamed raster job answers once it ends: sent in the background,
        # cancelled once the printer has taken what it ever will.
        print_job "$row" "$@" >/dev/null 2>&1 &
        client=$!
        n=0
        while [ ! -f "$WORK/sp/$row.prn" ] && [ $n -lt 100 ]; do sleep 0.1; n=$((n + 1)); done
        sleep 1
        JOB=$(ipptool -tv "$URI" "$IPP/get-jobs.test" | sed -n 's/^ *job-id (integer) = //p' | sort -n | tail -n 1)
        asked=$(date +%s%N)
        "$APP" cancel -d fault -j "$JOB" >/dev/null 2>&1 || fail "$row: cancel sub-command"
        wait_job "$JOB"
        took=$((($(date +%s%N) - asked) / 1000000))
        # Cancel-Job must end the job within 5 s.
        [ $took -le 5000 ] || fail "$row: the job ended $took ms after Cancel-Job"
        wait "$client"
    else
        print_job "$row" "$@"
        wait_job "$JOB"
    fi
    PRINT_TEST=print-job.test
    if [ "$STATE" != "$end" ]; then
        fail "$row: job $JOB $STATE '$MESSAGE', expected $end"
    elif [ "$words" != - ] && ! echo "$MESSAGE" | grep -Eq "$words"; then
        fail "$row: message '$MESSAGE' does not say '$words'"
    else
        pass "$row: $STATE ${MESSAGE:+($MESSAGE)}${took:+ $took ms after Cancel-Job}"
    fi
    # Then a job on this printer, at a printer that reads again, and one on
    # another printer; the server answers all along.
    sp_next reads 0 "after-$row"
    print_job "after-$row" image/pwg-raster "$WORK/good.in"
    wait_job "$JOB"
    got=$(labels_in "$WORK/sp/after-$row.prn")
    [ "$STATE" = completed ] && [ "$got" -eq 1 ] || fail "after-$row: job $JOB $STATE '$MESSAGE', $got labels"
    URI=$SECOND_URI
    print_job "other-after-$row" image/pwg-raster "$WORK/good.in"
    wait_job "$JOB"
    "$INSPECT" -q --expect-raster "$WORK/good.expect" "$(output_of "other-after-$row")" >/dev/null 2>&1 &&
        [ "$STATE" = completed ] || fail "other-after-$row: job $JOB $STATE '$MESSAGE'"
    server_lost "$row" && exit 1
done <<'ROWS'
close-early|close 20000|60|raster|-|aborted|Broken pipe|Connection reset by peer
reset|reset 20000|60|native|-|aborted|Connection reset by peer
never-reads|never 0|3|pdf|-|aborted|printer not responding
never-reads-cancel|never 0|60|raster|cancel|canceled|-
ROWS

# The Label Settings page shows the printer's timeout.
curl -s "http://localhost:$PORT/fault/label-settings" | grep -q 'name="write-timeout" id="write-timeout" min="1" max="3600" value="60"' ||
    fail "the Label Settings page does not show the printer timeout"

shutdown_server
[ "${SERVER_STATUS:-1}" -eq 0 ] || fail "the server ended with status $SERVER_STATUS (see $WORK/server.out)"
[ "$FAILURES" -eq 0 ] || { echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
