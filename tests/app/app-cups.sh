#!/bin/bash
# The printer application behind a CUPS `everywhere` queue: the built server
# on a loopback port with a private state folder and a printer with a file
# device, a private cupsd (tests/cups/private-cupsd.sh) with a queue made by
# `lpadmin -m everywhere` from the application's IPP attributes, and a PDF and
# a PNG printed with lp at each print-quality. Each label must arrive in the
# application's file device on the 4 x 6 in label of the printer's defaults
# at the printer's resolution, with ink on it: 203 dpi, then 300 dpi once the
# printer is set to it and its queue made anew.
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
# make_queue: the queue made anew from the printer's attributes, as a user
# would after changing the printer.
make_queue() {
    lpadmin -x tvl 2>/dev/null
    if lpadmin -p tvl -E -v "ipp://localhost:$PORT/ipp/print/labels" -m everywhere 2>"$WORK/lpadmin.err"; then
        pass "lpadmin -m everywhere"
    else
        fail "lpadmin -m everywhere: $(cat "$WORK/lpadmin.err")"
        exit 1
    fi
}

gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$WORK/label.pdf" "$SRC/tests/cups/label.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r100 -sOutputFile="$WORK/label.png" "$SRC/tests/cups/label.ps"
chmod 0644 "$WORK/label.pdf" "$WORK/label.png"

# print_table: each row printed with lp; then its label must be in the file
# device as one 4 x 6 in label at the row's resolution (812 x 1219 dots at
# 203 dpi, 1198 x 1798 at 300), with one print command and the sample's
# frame in its first and last rows (a Letter page cut to the label would
# lose one of them). Rows: name | document | dpi | lp options.
print_table() {
    local rows name doc dpi options out label size summary ink top bottom
    rows=$(cat)
    declare -A JOB
    while IFS='|' read -r name doc dpi options; do
        [ -z "$name" ] && continue
        # shellcheck disable=SC2086
        out=$(lp -d tvl -t "cups-$name" $options "$WORK/label.$doc" 2>&1) || fail "lp $name: $out"
        JOB[$name]=$(sed -n 's/^request id is tvl-\([0-9]*\).*/\1/p' <<<"$out")
    done <<<"$rows"
    # Every job ends (cupsd's own state), then its label is in the file device.
    for _ in $(seq 1 600); do
        [ -z "$(lpstat -W not-completed -o tvl 2>/dev/null)" ] && break
        sleep 0.1
    done
    while IFS='|' read -r name doc dpi options; do
        [ -z "$name" ] && continue
        label=$OUT/cups-$name.prn
        if ! lpstat -W completed -o tvl | grep -q "^tvl-${JOB[$name]} "; then
            fail "$name: job ${JOB[$name]} did not complete: $(lpstat -l -W all -o tvl | grep -A3 "tvl-${JOB[$name]} ")"
            continue
        fi
        if [ ! -s "$label" ]; then
            fail "$name: nothing in the application's file device"
            continue
        fi
        "$INSPECT" --png "$WORK/$name" "$label" >"$WORK/$name.txt" 2>&1 ||
            fail "$name: tvl-inspect cannot decode the label"
        size='length=1219 width=812 '
        [ "$dpi" = 300 ] && size='length=1798 width=1198 '
        summary=$(grep '^SUMMARY' "$WORK/$name.txt")
        if grep -q "pages=1 $size" <<<"$summary"; then
            pass "$name: one 4 x 6 in label at $dpi dpi ($summary)"
        else
            fail "$name: not one 4 x 6 in label at $dpi dpi: $summary"
        fi
        read -r ink top bottom < <(python3 "$SRC/tests/app/png-ink.py" "$WORK/$name-001.png" 2>&1)
        if [ "$(grep -c '^PRINT' "$WORK/$name.txt")" -eq 1 ] && [ "${top:-0}" -gt 800 ] && [ "${bottom:-0}" -gt 800 ]; then
            pass "$name: the whole label, $ink black dots ($top at the top, $bottom at the bottom)"
        else
            fail "$name: $ink black dots, $top at the top, $bottom at the bottom, $(grep -c '^PRINT' "$WORK/$name.txt") print commands"
        fi
    done <<<"$rows"
}

# check_ppd DPI: what CUPS made of the attributes (its PPD is written by
# now): a 4 x 6 in default size, and the printer's one resolution.
check_ppd() {
    local ppd=$CONF/ppd/tvl.ppd
    grep -q '^\*DefaultPageSize: 4x6$' "$ppd" && pass "the queue's default size is 4 x 6 in" ||
        fail "the queue's default size: $(grep '^\*DefaultPageSize' "$ppd")"
    grep -q "^\*DefaultResolution: ${1}dpi" "$ppd" && pass "the queue's resolution is $1 dpi" ||
        fail "the queue's resolution: $(grep '^\*DefaultResolution' "$ppd")"
}

# The printer at its default resolution, 203 dpi: every print-quality
# (3 draft, 4 normal, 5 high) prints at it.
make_queue
print_table <<'ROWS'
pdf|pdf|203|
png|png|203|
pdf-draft|pdf|203|-o print-quality=3
pdf-high|pdf|203|-o print-quality=5
png-draft|png|203|-o print-quality=3
png-high|png|203|-o print-quality=5
ROWS
check_ppd 203

# The printer set to 300 dpi by Set-Printer-Attributes, its queue made
# anew: the next jobs print at 300 dpi, with no job option.
cat >"$WORK/set-resolution.test" <<'TEST'
{
  OPERATION Set-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  GROUP printer-attributes-tag
  ATTR resolution printer-resolution-default 300dpi
  STATUS successful-ok
}
TEST
ipptool -q "ipp://localhost:$PORT/ipp/print/labels" "$WORK/set-resolution.test" || fail "Set-Printer-Attributes 300dpi"
make_queue
print_table <<'ROWS'
pdf-300|pdf|300|
png-300|png|300|
pdf-300-draft|pdf|300|-o print-quality=3
png-300-high|png|300|-o print-quality=5
ROWS
check_ppd 300

[ "$FAILURES" -eq 0 ] || { pcupsd_show_log; echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
