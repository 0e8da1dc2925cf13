#!/bin/bash
# The printer application behind a CUPS `everywhere` queue: the built server
# on a loopback port with a private state folder and a printer with a file
# device, a private cupsd (tests/cups/private-cupsd.sh) with a queue made by
# `lpadmin -m everywhere` from the application's IPP attributes, and a PDF and
# a PNG printed with lp. Each label must arrive in the application's file
# device on the 4 x 6 in label of the printer's defaults (812 x 1219 dots at
# 203 dpi), with ink on it.
#
#   app-cups.sh BUILD_DIR APP TVL_INSPECT
#
# Needs root (cupsd runs its backends as user lp); exits 77, with a message,
# where a private cupsd cannot run. Stops both servers by process id.
set -uo pipefail
if [ $# -ne 3 ]; then
    echo "usage: $0 BUILD_DIR APP TVL_INSPECT" >&2
    exit 2
fi
SRC=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../cups/private-cupsd.sh
. "$SRC/tests/cups/private-cupsd.sh"
if reason=$(pcupsd_unusable); then
    echo "SKIPPED: CUPS everywhere queue test: $reason"
    exit 77
fi
pcupsd_require gs python3 || exit 1
BUILD=$(cd "$1" && pwd)
APP=$2 INSPECT=$3

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tvl-app-cups.XXXXXX")
APP_PID=""
FAILURES=0
cleanup() {
    pcupsd_stop
    if [ -n "$APP_PID" ]; then
        kill "$APP_PID" 2>/dev/null
        wait "$APP_PID" 2>/dev/null
    fi
    if [ "$FAILURES" -eq 0 ]; then
        rm -rf "$WORK"
    else
        echo "work folder kept: $WORK"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
pass() { echo "ok: $*"; }
fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

# --- The application ---------------------------------------------------------
# Sanitizer builds: leaks inside libpappl and libcups are theirs.
export LSAN_OPTIONS="suppressions=$SRC/tests/app/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export TVL_APP_STATE_DIR=$WORK/app-state
OUT=$WORK/out
mkdir -p "$TVL_APP_STATE_DIR" "$OUT"
for try in 0 1 2 3 4 5 6 7 8 9; do
    PORT=$((20000 + ($$ * 11 + try * 137) % 30000))
    LOG=$WORK/app-$try.log
    "$APP" server -o server-port="$PORT" -o listen-hostname=localhost -o log-level=debug -o log-file="$LOG" \
        >>"$WORK/app.out" 2>&1 &
    APP_PID=$!
    for _ in $(seq 1 100); do
        grep -q "Starting system" "$LOG" 2>/dev/null && break 2
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
    APP_PID=""
done
[ -n "$APP_PID" ] || { fail "the printer application did not start"; exit 1; }
"$APP" add -d labels -m tavelin_100 -v "file://$OUT" >/dev/null || { fail "add"; exit 1; }

# --- The scheduler and its everywhere queue -------------------------------
pcupsd_prepare "$BUILD" "$WORK" || exit 1
ln -s /usr/lib/cups/backend/ipp "$BIN/backend/ipp"  # CUPS's own IPP backend
pcupsd_start || exit 1
if lpadmin -p tvl -E -v "ipp://localhost:$PORT/ipp/print/labels" -m everywhere 2>"$WORK/lpadmin.err"; then
    pass "lpadmin -m everywhere"
else
    fail "lpadmin -m everywhere: $(cat "$WORK/lpadmin.err")"
    exit 1
fi

# --- Documents: name | how it is made ----------------------------------------
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$WORK/label.pdf" "$SRC/tests/cups/label.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r100 -sOutputFile="$WORK/label.png" "$SRC/tests/cups/label.ps"
chmod 0644 "$WORK/label.pdf" "$WORK/label.png"
declare -A JOB
for doc in pdf png; do
    out=$(lp -d tvl -t "cups-$doc" "$WORK/label.$doc" 2>&1) || fail "lp $doc: $out"
    JOB[$doc]=$(sed -n 's/^request id is tvl-\([0-9]*\).*/\1/p' <<<"$out")
done

# Every job ends (cupsd's own state), then its label is in the file device.
for _ in $(seq 1 600); do
    [ -z "$(lpstat -W not-completed -o tvl 2>/dev/null)" ] && break
    sleep 0.1
done
# What CUPS made of the attributes (its PPD is written by now): a 4 x 6 in
# default size.
grep -q '^\*DefaultPageSize: 4x6$' "$CONF/ppd/tvl.ppd" && pass "the queue's default size is 4 x 6 in" ||
    fail "the queue's default size: $(grep '^\*DefaultPageSize' "$CONF/ppd/tvl.ppd")"
for doc in pdf png; do
    label=$OUT/cups-$doc.prn
    if ! lpstat -W completed -o tvl | grep -q "^tvl-${JOB[$doc]} "; then
        fail "$doc: job ${JOB[$doc]} did not complete: $(lpstat -l -W all -o tvl | grep -A3 "tvl-${JOB[$doc]} ")"
        continue
    fi
    if [ ! -s "$label" ]; then
        fail "$doc: nothing in the application's file device"
        continue
    fi
    "$INSPECT" --png "$WORK/$doc" "$label" >"$WORK/$doc.txt" 2>&1 || fail "$doc: tvl-inspect cannot decode the label"
    # 4 x 6 in: 1219 x 812 dots at 203 dpi, 1798 x 1198 at 300 (CUPS picks
    # the resolution).
    summary=$(grep '^SUMMARY' "$WORK/$doc.txt")
    if echo "$summary" | grep -Eq 'pages=1 length=(1219 width=812|1798 width=1198) '; then
        pass "$doc: one 4 x 6 in label ($summary)"
    else
        fail "$doc: $summary"
    fi
    # The whole label on it: the sample's frame shows in its first and last
    # rows (a Letter page cut to the label would lose one of them), and one
    # print command.
    read -r ink top bottom < <(python3 "$SRC/tests/app/png-ink.py" "$WORK/$doc-001.png" 2>&1)
    if [ "$(grep -c '^PRINT' "$WORK/$doc.txt")" -eq 1 ] && [ "${top:-0}" -gt 800 ] && [ "${bottom:-0}" -gt 800 ]; then
        pass "$doc: the whole label, $ink black dots ($top at the top, $bottom at the bottom)"
    else
        fail "$doc: $ink black dots, $top at the top, $bottom at the bottom, $(grep -c '^PRINT' "$WORK/$doc.txt") print commands"
    fi
done

[ "$FAILURES" -eq 0 ] || { pcupsd_show_log; echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
