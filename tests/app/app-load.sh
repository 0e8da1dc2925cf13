#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Load: 4 clients x 10 mixed jobs at once on two file printers. Faults: a socket
# printer that closes, resets or stops reading.
#   app-load.sh APP TVL_INSPECT TEST_RASTER TEST_DOCUMENT
set -u
APP=$1 INSPECT=$2 RASTER=$3 DOC=$4 SP_PID=""
. "$(dirname "$0")/lib.sh"
trap '[ -n "$SP_PID" ] && kill "$SP_PID"; cleanup' EXIT
start_server || exit 1
add_printer tavelin_100 || { fail "add"; exit 1; }
"$APP" add -d second -m tavelin_100 -v "file://$OUT" >/dev/null || fail "add second"
P1=$URI P2="ipp://localhost:$PORT/ipp/print/second"
labels_in() { # FILE: the labels of a printer stream
    "$INSPECT" "$1" 2>/dev/null | sed -n 's/^PRINT copies=//p' | awk '{ n += $1 } END { print n + 0 }'
}

# Load. Inputs: file | format | Print-Job test | labels.
"$RASTER" --out "$WORK/raster.in" --pattern checker
for kind in png-gray jpeg pdf-3; do "$DOC" make "$kind" "$WORK/$kind.in"; done
set -- "raster.in|image/pwg-raster|print-job.test|1" "png-gray.in|image/png|print-document.test|1" \
    "jpeg.in|image/jpeg|print-document.test|1" "pdf-3.in|application/pdf|print-document.test|3"
for c in 1 2 3 4; do
    for k in 1 2 3 4 5 6 7 8 9 10; do
        eval "IFS='|' read -r file format test labels <<EOF
\${$(((c + k) % 4 + 1))}
EOF"
        [ $((k % 2)) -eq 0 ] && URI=$P2 || URI=$P1
        PRINT_TEST=$test print_job "load-$c-$k" "$format" "$WORK/$file"
        echo "$JOB|load-$c-$k|$labels|$URI"
    done >"$WORK/client-$c.jobs" &
    clients="${clients:-} $!"
done
# A server that hangs would hold the clients for ever: they get 120 s.
n=0
while for p in $clients; do running "$p" && break; done && [ $((n += 1)) -le 120 ]; do sleep 1; done
[ $n -le 120 ] || { fail "load: clients still waiting after 120 s"; exit 1; }
while IFS='|' read -r JOB name labels URI; do
    wait_job "$JOB"
    [ "$STATE" = completed ] && [ "$(labels_in "$(output_of "$name")")" -eq "$labels" ] ||
        fail "$name: job $JOB $STATE '$MESSAGE', not $labels labels"
done <<EOF
$(cat "$WORK"/client-*.jobs)
EOF
[ "$FAILURES" -eq 0 ] && pass "load: $(cat "$WORK"/client-*.jobs | wc -l) jobs from 4 clients printed"

# Faults on the printer "fault", at 600 dpi with raw bands: each job sends more
# than the loopback connection holds (a few MB), so writes wait when it fails.
mkfifo "$WORK/sp.port"
python3 "$HERE/socket-printer.py" "$OUT" >"$WORK/sp.port" &
SP_PID=$! && read -r port <"$WORK/sp.port"
"$APP" add -d fault -m tavelin_100 -v "socket://127.0.0.1:$port" >/dev/null || fail "add fault"
"$APP" modify -d fault -o printer-resolution=600dpi -o band-compression-default=raw >/dev/null || fail "modify"
"$RASTER" --out "$WORK/big.in" --pattern ramp --dpi 600 --page 2400x3600 --pages 6
"$DOC" make pdf-1 "$WORK/pdf-1.in"
head -c 8000000 /dev/urandom >"$WORK/native.in"
"$RASTER" --out "$WORK/good.in" --expect "$WORK/good.expect" --pattern checker
# name | printer: mode bytes | write-timeout | job | then | end state | words
while IFS='|' read -r row mode timeout job then end words; do
    URI="ipp://localhost:$PORT/ipp/print/fault" PRINT_TEST=print-job.test took=""
    "$APP" modify -d fault -o write-timeout-default="$timeout" >/dev/null || fail "$row: modify"
    echo "$mode $row" >"$OUT/next"
    case $job in
    raster) set -- image/pwg-raster "$WORK/big.in" ;;
    native) set -- application/vnd.tavelin-tvl "$WORK/native.in" ;;
    pdf) PRINT_TEST=print-job-size.test # one 4 x 40 in label: 7 MB
        set -- application/pdf "$WORK/pdf-1.in" -d width=10160 -d length=101600 -d darkness=0 -d speed=0 ;;
    esac
    if [ "$then" = cancel ]; then
        # A streamed job's request ends with the job: sent aside, cancelled
        # a second after the printer stopped reading, ended within 5 s.
        print_job "$row" "$@" >/dev/null 2>&1 &
        n=0 && while [ ! -e "$OUT/$row.prn" ] && [ $((n += 1)) -le 100 ]; do sleep 0.1; done && sleep 1
        JOB=$(ipptool -tv "$URI" "$IPP/get-jobs.test" | sed -n 's/^ *job-id (integer) = //p' | sort -n | tail -n 1)
        asked=$(date +%s%N)
        "$APP" cancel -d fault -j "$JOB" >/dev/null 2>&1 || fail "$row: cancel"
        wait_job "$JOB"
        took=$((($(date +%s%N) - asked) / 1000000))
        [ $took -le 5000 ] || fail "$row: the job ended $took ms after Cancel-Job"
        wait $!
    else
        print_job "$row" "$@"
        wait_job "$JOB"
    fi
    [ "$STATE" = "$end" ] && echo "$MESSAGE" | grep -Eq "$words" &&
        pass "$row: $STATE ($MESSAGE)${took:+ $took ms after Cancel-Job}" ||
        fail "$row: job $JOB $STATE '$MESSAGE', expected $end '$words'"
    echo "reads 0 fault-after-$row" >"$OUT/next"
    for p in fault second; do
        URI="ipp://localhost:$PORT/ipp/print/$p" && print_job "$p-after-$row" image/pwg-raster "$WORK/good.in"
        wait_job "$JOB"
        "$INSPECT" -q --expect-raster "$WORK/good.expect" "$(output_of "$p-after-$row")" >/dev/null 2>&1 ||
            fail "$p-after-$row: job $JOB $STATE '$MESSAGE'"
    done
    running "$SERVER_PID" || { fail "$row: the server ended"; exit 1; }
done <<'ROWS'
close-early|close 20000|60|raster|-|aborted|Broken pipe|Connection reset by peer
reset|reset 20000|60|native|-|aborted|Connection reset by peer
never-reads|never 0|3|pdf|-|aborted|printer not responding
never-reads-cancel|never 0|60|raster|cancel|canceled|.
ROWS
curl -s "http://localhost:$PORT/fault/label-settings" | grep -q 'name="write-timeout" .* value="60"' ||
    fail "the Label Settings page does not show the printer timeout"

# kill -9 while a job waits on the printer and a PNG is queued behind it: the
# restarted server starts the queued job by itself, and a sub-command that
# finds the server gone says so before it starts one of its own.
"$APP" modify -d fault -o write-timeout-default=60 >/dev/null || fail "k9: modify"
echo "never 0 k9-stalled" >"$OUT/next"
URI="ipp://localhost:$PORT/ipp/print/fault" PRINT_TEST=print-job.test
print_job k9-stalled image/pwg-raster "$WORK/big.in" >/dev/null 2>&1 &
n=0 && while [ ! -e "$OUT/k9-stalled.prn" ] && [ $((n += 1)) -le 100 ]; do sleep 0.1; done
PRINT_TEST=print-document.test print_job k9-queued image/png "$WORK/png-gray.in"
QUEUED=$JOB
sleep 2 # the job history is saved within a second of a change
kill -KILL "$SERVER_PID" && wait "$SERVER_PID" 2>/dev/null
SERVER_PID=""
echo "reads 0 k9-queued" >"$OUT/next"
start_server || exit 1
URI="ipp://localhost:$PORT/ipp/print/fault"
wait_job "$QUEUED"
[ "$STATE" = completed ] && [ "$(labels_in "$(output_of k9-queued)")" -eq 1 ] &&
    pass "kill -9: the queued PNG printed after the restart by itself" ||
    fail "kill -9: the queued job $QUEUED $STATE '$MESSAGE' after the restart"
stop_server
"$APP" printers >/dev/null 2>"$WORK/gone.txt"
grep -q "no server is running" "$WORK/gone.txt" && pass "a sub-command says the server is gone" ||
    fail "a sub-command with the server gone said: $(cat "$WORK/gone.txt")"
"$APP" shutdown >/dev/null 2>&1
start_server || exit 1

shutdown_server
[ "${SERVER_STATUS:-1}" -eq 0 ] || fail "the server ended with status $SERVER_STATUS (see $WORK/server.out)"
[ "$FAILURES" -eq 0 ] || { echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
