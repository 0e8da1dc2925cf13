#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# End-to-end print test through a real CUPS scheduler.
#
#   tests/cups/cupsd-e2e.sh BUILD_DIR
#
# Installs the driver with cmake --install into a temporary folder and starts
# a private cupsd in the foreground there: its own ServerRoot, cache, spool,
# state and log folders, its own ServerBin and DataDir trees holding the
# installed filter, a capture backend and the driver's MIME type, listening
# only on a domain socket. Adds a queue from a generated PPD with lpadmin -m,
# prints a PDF, a PNG, a CUPS raster file and a native printer-command file
# with lp and job options, waits for every job to end and checks what reached
# the device with tvl-inspect: the setup block, the label size, the page
# count, and the pixels against the raster that cupsfilter makes from the
# same file, PPD and options. A two-page raster job printed with
# NumOfCopies=3 must count six impressions (job-impressions-completed, from
# the filter's PAGE: lines), and jobs that fail (a queue whose PPD names an
# unsupported model, a raster stream cut short inside a page) must show the
# filter's reason in lpstat -l instead of the scheduler's "Filter failed".
# The scheduler's set-up is tests/cups/private-cupsd.sh. Stops its cupsd by
# process id and removes the folder on every exit.
#
# Needs root (cupsd runs filters and backends as user lp). Exits 77, with a
# message, when it cannot run here: not root, or cupsd confined by AppArmor.
set -euo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
SRC=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=private-cupsd.sh
. "$SRC/tests/cups/private-cupsd.sh"

if reason=$(pcupsd_unusable); then
    echo "SKIPPED: real-cupsd test: $reason"
    exit 77
fi
pcupsd_require cupsfilter gs

BUILD=$(cd "$1" && pwd)
MODEL=tvl100
INSPECT="$BUILD/tools/tvl-inspect"
if [ ! -x "$INSPECT" ] || [ ! -e "$BUILD/ppd/$MODEL.ppd" ]; then
    echo "FAIL: $BUILD lacks tvl-inspect or the PPDs: build it first" >&2
    exit 1
fi

pcupsd_work "${TMPDIR:-/tmp}/tvl-cupsd"

PASSED=0
FAILED=0
pass() {
    echo "ok: $*"
    PASSED=$((PASSED + 1))
}
fail() {
    echo "FAILED: $*"
    FAILED=$((FAILED + 1))
}

# --- The scheduler -----------------------------------------------------------
pcupsd_prepare "$BUILD" "$WORK"
FILTER=$STAGED_FILTER
OUT=$WORK/out         # where the capture backend writes, owned by lp
IN=$WORK/in           # the documents to print
mkdir -p "$OUT" "$IN" "$WORK/expect"
chown lp "$OUT"
chmod 0700 "$OUT"

# The capture backend: each job's device output goes to OUT/job-<id>.prn.
cat >"$BIN/backend/capture" <<'EOF'
#!/bin/sh
# Test backend: writes the job's data to a file in the folder named by the
# device URI (capture:/folder).
if [ $# -eq 0 ]; then
    echo 'direct capture "Unknown" "Capture to a file"'
    exit 0
fi
dir=${DEVICE_URI#capture:}
if [ $# -ge 6 ]; then
    cat "$6" >"$dir/job-$1.tmp" || exit 1
else
    cat >"$dir/job-$1.tmp" || exit 1
fi
mv "$dir/job-$1.tmp" "$dir/job-$1.prn"
EOF
chmod 0755 "$BIN/backend/capture"

show_log() {
    pcupsd_show_log
}

pcupsd_start
echo "cupsd running (pid $CUPSD_PID) on $SOCK"

# --- The queue, from a generated PPD, found the way an administrator finds it
if lpinfo -m | grep -q "^tavelin/$MODEL.ppd Tavelin 100"; then
    pass "lpinfo -m lists tavelin/$MODEL.ppd"
else
    fail "lpinfo -m does not list tavelin/$MODEL.ppd"
fi
# A job that fails in the backend is aborted instead of stopping the queue.
lpadmin -p label -E -v "capture:$OUT" -m "tavelin/$MODEL.ppd" -o printer-error-policy=abort-job
PPD=$CONF/ppd/label.ppd
# A queue whose PPD names a model that the filter does not drive.
lpadmin -p unsupported -E -v "capture:$OUT" -P "$SRC/tests/ppd/model102-unsupported.ppd" \
    -o printer-error-policy=abort-job

# --- The documents -----------------------------------------------------------
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$IN/label.pdf" "$SRC/tests/cups/label.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r100 -sOutputFile="$IN/label.png" "$SRC/tests/cups/label.ps"
# A raster file as CUPS makes it, on a 3 x 3 in label (size 30).
cupsfilter -p "$PPD" -m application/vnd.cups-raster -o PageSize=30 "$IN/label.pdf" \
    >"$IN/label.ras" 2>"$WORK/log/cupsfilter-raster.log"
# A native printer-command file: the filter's own output for that raster.
PPD=$PPD "$FILTER" 1 root native 1 "" <"$IN/label.ras" >"$IN/label.tvl" 2>/dev/null
cp "$IN/label.tvl" "$IN/native-no-extension"
# Two 4 x 6 in labels of CUPS raster.
"$BUILD/tools/tvl-make-raster" "$IN/two-labels.ras" 2 >/dev/null
# The 3 x 3 in raster cut off halfway through its page's pixels (after the
# 4-byte sync word and the 1796-byte page header).
size=$(stat -c %s "$IN/label.ras")
head -c $((1800 + (size - 1800) / 2)) "$IN/label.ras" >"$IN/cut-short.ras"
chmod 0644 "$IN"/*

# --- Print -------------------------------------------------------------------
# submit_to QUEUE NAME FILE LP-OPTIONS...: one job, remembered by name;
# submit NAME FILE LP-OPTIONS... prints to the queue label.
declare -A JOB QUEUE_OF
NAMES=()
submit_to() {
    local queue=$1 name=$2 file=$3
    shift 3
    local out
    if ! out=$(lp -d "$queue" "$@" "$file" 2>&1); then
        fail "$name: lp refused the job: $out"
        return
    fi
    NAMES+=("$name")
    QUEUE_OF[$name]=$queue
    JOB[$name]=$(sed -n "s/^request id is $queue-\\([0-9]*\\).*/\\1/p" <<<"$out")
    echo "$name: job ${JOB[$name]} on $queue ($*)"
}
submit() {
    submit_to label "$@"
}

submit pdf "$IN/label.pdf" -n 2 -o Darkness=12
submit png "$IN/label.png" -o PageSize=Custom.144x216 -o Rotation=1 -o CompPrinting=1
submit raster "$IN/label.ras" -n 2 -o PageSize=30 -o Rotation=3 -o CompPrinting=0
submit native "$IN/label.tvl" -n 2
submit native-format "$IN/native-no-extension" -o document-format=application/vnd.tavelin-tvl
submit copies "$IN/two-labels.ras" -o NumOfCopies=3

# Jobs that fail, and the reason that lpstat -l must show for each, in place
# of the scheduler's own "Filter failed": NAME|QUEUE|FILE|JOBS|REASON. The
# reason wins only if cupsd reads it before it sees the filter exit, so each
# is printed as several jobs: a filter that exits without waiting for its
# lines to be read loses that race about one time in ten.
FAILING=(
    "unsupported-model|unsupported|$IN/label.ras|10|Printer model 102 is not supported by this driver"
    "cut-short|label|$IN/cut-short.ras|10|Page 1 ends early or cannot be read"
)
for row in "${FAILING[@]}"; do
    IFS='|' read -r name queue file jobs _ <<<"$row"
    for n in $(seq 1 "$jobs"); do
        submit_to "$queue" "$name-$n" "$file" -o document-format=application/vnd.cups-raster
    done
done

# Wait until every job has ended: completed, or stopped (a filter that
# failed), aborted or canceled.
IPP_URI="ipp://${SOCK//\//%2F}/printers"
# job_attribute NAME TEST-FILE: the one attribute that the ipptool test
# file displays, of the job remembered as NAME.
job_attribute() {
    ipptool -c -d job_id="${JOB[$1]}" "$IPP_URI/${QUEUE_OF[$1]}" "$SRC/tests/cups/$2" 2>/dev/null | sed -n 2p
}
job_state() {
    job_attribute "$1" job-state.test
}
declare -A STATE
deadline=$((SECONDS + 120))
while :; do
    running=""
    for name in "${NAMES[@]}"; do
        [ -n "${JOB[$name]:-}" ] || continue
        STATE[$name]=$(job_state "$name")
        case "${STATE[$name]}" in
            completed | stopped | processing-stopped | aborted | canceled) ;;
            *) running="$running $name" ;;
        esac
    done
    [ -z "$running" ] && break
    if [ $SECONDS -ge $deadline ]; then
        fail "jobs still not ended after 120 s:$running"
        lpstat -l -o label || true
        show_log
        break
    fi
    sleep 0.2
done

# --- Check what reached the device -------------------------------------------
# The inspector's listing of a capture, one command a line, blanks dropped
# ("SD 12" reads "SD12").
listing() {
    "$INSPECT" "$1" 2>&1 | tr -d ' ' || true
}

# check_bands NAME LISTING raw|rle: every band block is of that kind.
check_bands() {
    local name=$1 kind=$3 bands
    bands=$(grep '^BAND' <<<"$2" || true)
    if [ -n "$bands" ] && ! grep -qv "^BAND$kind" <<<"$bands"; then
        pass "$name: $(wc -l <<<"$bands") $kind bands"
    else
        fail "$name: not all bands are $kind: $(cut -c1-8 <<<"$bands" | sort | uniq -c | tr '\n' ' ')"
    fi
}

# check_setup NAME LISTING COMMAND...: each command is a whole line of the
# listing before the first page.
check_setup() {
    local name=$1 setup
    setup=$(sed '/^SOT/,$d' <<<"$2")
    shift 2
    local cmd
    for cmd in "$@"; do
        if grep -Fxq "$cmd" <<<"$setup"; then
            pass "$name: setup block has $cmd"
        else
            fail "$name: setup block lacks $cmd; it is: $(tr '\n' ' ' <<<"$setup")"
        fi
    done
}

check_pages() {
    local name=$1 capture=$2 expected=$3
    local dir=$WORK/png-$name
    mkdir -p "$dir"
    "$INSPECT" --png "$dir/page" "$capture" >/dev/null 2>&1 || true
    local count
    count=$(find "$dir" -name 'page-*.png' | wc -l)
    if [ "$count" -eq "$expected" ]; then
        pass "$name: $expected page(s)"
    else
        fail "$name: $count page(s), expected $expected"
    fi
}

check_pixels() {
    local name=$1 capture=$2 raster=$3 turn=$4
    local msg
    if msg=$("$INSPECT" --expect-raster "$raster" --turn "$turn" "$capture" 2>&1); then
        pass "$name: pixels equal the raster's (turn $turn)"
    else
        fail "$name: pixels differ from the raster's (turn $turn): $msg"
    fi
}

check_job() {
    local name=$1
    local id=${JOB[$name]:-}
    if [ -z "$id" ]; then
        fail "$name: no job"
        return 1
    fi
    local state=${STATE[$name]:-unknown}
    if [ "$state" != completed ] || [ ! -f "$OUT/job-$id.prn" ]; then
        fail "$name: job $id ended $state: $(grep "\[Job $id\]" "$WORK/log/error_log" | tail -n 2 | tr '\n' ' ')"
        return 1
    fi
    pass "$name: job $id completed"
}

expect_raster() {
    # expect_raster NAME FILE cupsfilter-options...: the raster CUPS's own
    # conversion makes of FILE for the queue's PPD.
    local name=$1 file=$2
    shift 2
    cupsfilter -p "$PPD" -m application/vnd.cups-raster "$@" "$file" \
        >"$WORK/expect/$name.ras" 2>"$WORK/log/cupsfilter-$name.log"
    echo "$WORK/expect/$name.ras"
}

# A PDF, two copies made by CUPS (two labels), darkness 12, the default
# 4 x 6 in label: 812 dots across, 1219 along the feed at 203 dpi.
if check_job pdf; then
    capture=$OUT/job-${JOB[pdf]}.prn
    check_setup pdf "$(listing "$capture")" SL1219,24,G SA0 SW812 STd SD12 SM0,0 SS4 TA0 CUTn
    check_bands pdf "$(listing "$capture")" raw
    check_pages pdf "$capture" 2
    check_pixels pdf "$capture" "$(expect_raster pdf "$IN/label.pdf" -n 2 -o Darkness=12)" 0
fi

# A PNG on a custom 2 x 3 in label, turned a quarter turn clockwise: length
# and width change places (406 and 609 dots).
if check_job png; then
    capture=$OUT/job-${JOB[png]}.prn
    check_setup png "$(listing "$capture")" SL406,24,G SW609 SD8
    check_bands png "$(listing "$capture")" rle
    check_pages png "$capture" 1
    check_pixels png "$capture" \
        "$(expect_raster png "$IN/label.png" -o PageSize=Custom.144x216 -o Rotation=1)" 1
fi

# A raster file printed directly: printed once whatever -n says, turned a
# quarter turn counter-clockwise, uncompressed.
if check_job raster; then
    capture=$OUT/job-${JOB[raster]}.prn
    check_setup raster "$(listing "$capture")" SL609,24,G SW609
    check_pages raster "$capture" 1
    check_pixels raster "$capture" "$IN/label.ras" 3
fi

# A native file, recognised by its extension and by document-format: it
# reaches the printer unchanged (the filter ends it with CR LF), once.
for name in native native-format; do
    if check_job "$name"; then
        capture=$OUT/job-${JOB[$name]}.prn
        if cmp -s "$capture" <(cat "$IN/label.tvl"; printf '\r\n'); then
            pass "$name: device got the file unchanged"
        else
            fail "$name: device output differs from the file ($(wc -c <"$capture") bytes, file $(wc -c <"$IN/label.tvl"))"
        fi
        check_pages "$name" "$capture" 1
        check_pixels "$name" "$capture" "$IN/label.ras" 0
    fi
done

# Two labels, each printed three times by the printer: two print commands
# with copies=3, which the scheduler counts as six impressions.
if check_job copies; then
    capture=$OUT/job-${JOB[copies]}.prn
    check_pages copies "$capture" 2
    prints=$(listing "$capture" | grep -c '^PRINTcopies=3$' || true)
    if [ "$prints" -eq 2 ]; then
        pass "copies: two print commands with copies=3"
    else
        fail "copies: $prints print commands with copies=3, expected 2"
    fi
    impressions=$(job_attribute copies job-impressions.test)
    if [ "$impressions" = 6 ]; then
        pass "copies: job-impressions-completed 6"
    else
        fail "copies: job-impressions-completed '$impressions', expected 6"
    fi
fi

# Failed jobs: lpstat -l lists each with the filter's reason.
for row in "${FAILING[@]}"; do
    IFS='|' read -r name queue _ jobs reason <<<"$row"
    listing=$(lpstat -l -W all -o "$queue")
    shown=0
    for n in $(seq 1 "$jobs"); do
        id=${JOB[$name-$n]:-}
        [ -n "$id" ] || continue
        # The job's entry: its first line and the indented lines under it.
        entry=$(awk -v job="$queue-$id" '/^[^ \t]/ { inside = ($1 == job) } inside' <<<"$listing")
        if [ "${STATE[$name-$n]:-}" = completed ]; then
            fail "$name: job $id completed; it should have failed"
        elif grep -Fq "$reason" <<<"$entry" && ! grep -Fq "Filter failed" <<<"$entry"; then
            shown=$((shown + 1))
        else
            fail "$name: lpstat -l does not show \"$reason\" for job $id: $(tr '\n\t' '  ' <<<"$entry")"
        fi
    done
    if [ "$shown" -eq "$jobs" ]; then
        pass "$name: all $jobs jobs ${STATE[$name-1]:-}, lpstat -l shows \"$reason\""
    fi
done

# --- Stop the scheduler ------------------------------------------------------
pcupsd_stop
if [ $FAILED -ne 0 ]; then
    show_log
fi
echo "cupsd: $PASSED passed, $FAILED failed"
[ $FAILED -eq 0 ] || exit 1
