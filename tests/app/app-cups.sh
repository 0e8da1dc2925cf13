#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The printer application behind a CUPS `everywhere` queue: the built server
# on a loopback port with a private state folder and a printer with a file
# device, a private cupsd (tests/cups/private-cupsd.sh) with a queue made by
# `lpadmin -m everywhere` from the application's IPP attributes, and a PDF and
# a PNG printed with lp. Each label must arrive in the application's file
# device on the 4 x 6 in label of the printer's defaults, at the printer's
# resolution whatever the print-quality, with ink on it.
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
# The application's server, the work folder, pass and fail.
# shellcheck source=lib.sh
. "$SRC/tests/app/lib.sh"
# The scheduler is stopped first, then the application it prints to.
cleanup() {
    pcupsd_stop
    stop_server
    remove_work
}

# --- The application ---------------------------------------------------------
# Its state apart from the scheduler's (WORK/state).
export TVL_APP_STATE_DIR=$WORK/app-state
mkdir -p "$TVL_APP_STATE_DIR"
start_server || { fail "the printer application did not start"; exit 1; }
add_printer tavelin_100 || { fail "add"; exit 1; }

# --- The scheduler and its everywhere queue -------------------------------
pcupsd_prepare "$BUILD" "$WORK" || exit 1
ln -s /usr/lib/cups/backend/ipp "$BIN/backend/ipp"  # CUPS's own IPP backend
pcupsd_start || exit 1
# The queue, made anew from the printer's attributes as a user would.
make_queue() {
    lpadmin -x tvl 2>/dev/null
    lpadmin -p tvl -E -v "$URI" -m everywhere 2>"$WORK/lpadmin.err" &&
        pass "lpadmin -m everywhere" || { fail "lpadmin -m everywhere: $(cat "$WORK/lpadmin.err")"; exit 1; }
    # cupsd makes the everywhere PPD after lpadmin returns; a job queued
    # before it is there finds no filters ("Unable to convert file").
    n=0
    while [ ! -s "$CONF/ppd/tvl.ppd" ] && [ $((n += 1)) -le 300 ]; do sleep 0.1; done
    [ -s "$CONF/ppd/tvl.ppd" ] || { fail "no PPD for the everywhere queue"; exit 1; }
}
make_queue

gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$WORK/label.pdf" "$SRC/tests/cups/label.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r100 -sOutputFile="$WORK/label.png" "$SRC/tests/cups/label.ps"
chmod 0644 "$WORK/label.pdf" "$WORK/label.png"
# Jobs, each waited for: name | document | the printer's resolution | lp
# options. Every print-quality (3 draft, 5 high) prints at the printer's
# resolution; "set-300dpi" sets it to 300 dpi and makes the queue anew.
while IFS='|' read -r doc file dpi options; do
    [ -z "$doc" ] && continue
    if [ "$doc" = set-300dpi ]; then
        "$APP" modify -d labels -o printer-resolution=300dpi >/dev/null || fail "modify printer-resolution=300dpi"
        make_queue
        continue
    fi
    # shellcheck disable=SC2086
    out=$(lp -d tvl -t "cups-$doc" $options "$WORK/label.$file" 2>&1) || fail "lp $doc: $out"
    job=$(sed -n 's/^request id is tvl-\([0-9]*\).*/\1/p' <<<"$out")
    for _ in $(seq 1 600); do
        [ -z "$(lpstat -W not-completed -o tvl 2>/dev/null)" ] && [ -s "$OUT/cups-$doc.prn" ] && break
        sleep 0.1
    done
    # The queue's PPD: a 4 x 6 in default size at the printer's one resolution.
    grep -q '^\*DefaultPageSize: 4x6$' "$CONF/ppd/tvl.ppd" && grep -q "^\*DefaultResolution: ${dpi}dpi" "$CONF/ppd/tvl.ppd" ||
        fail "$doc: the queue's $(grep -E '^\*Default(PageSize|Resolution)' "$CONF/ppd/tvl.ppd" | tr '\n' ' ')"
    label=$OUT/cups-$doc.prn
    if ! lpstat -W completed -o tvl | grep -q "^tvl-$job "; then
        fail "$doc: job $job did not complete: $(lpstat -l -W all -o tvl | grep -A3 "tvl-$job ")"
        continue
    fi
    if [ ! -s "$label" ]; then
        fail "$doc: nothing in the application's file device"
        continue
    fi
    "$INSPECT" --png "$WORK/$doc" "$label" >"$WORK/$doc.txt" 2>&1 || fail "$doc: tvl-inspect cannot decode the label"
    # 4 x 6 in: 1219 x 812 dots at 203 dpi, 1798 x 1198 at 300.
    size='length=1219 width=812 '
    [ "$dpi" = 300 ] && size='length=1798 width=1198 '
    summary=$(grep '^SUMMARY' "$WORK/$doc.txt")
    if grep -q "pages=1 $size" <<<"$summary"; then
        pass "$doc: one 4 x 6 in label at $dpi dpi ($summary)"
    else
        fail "$doc: not at $dpi dpi: $summary"
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
done <<'JOBS'
pdf|pdf|203|
png|png|203|
pdf-draft|pdf|203|-o print-quality=3
png-high|png|203|-o print-quality=5
set-300dpi
pdf-300|pdf|300|
png-300-draft|png|300|-o print-quality=3
JOBS

[ "$FAILURES" -eq 0 ] || { pcupsd_show_log; echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
