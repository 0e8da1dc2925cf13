#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Documents the application renders itself, through its built binary: PNG,
# JPEG, PDF and the test label sent by ipptool, the web page's button and
# the submit sub-command to a private server; the file device's output
# decoded with tvl-inspect, each label drawn to PNG and checked for where
# its black lies. Broken documents must abort with a reason and no print
# command, and leave a server that answers and prints the next job.
#
#   app-documents.sh APP TVL_INSPECT TEST_RASTER TEST_DOCUMENT
set -u
APP=$1 INSPECT=$2 RASTER=$3 DOC=$4
. "$(dirname "$0")/lib.sh"

start_server || exit 1
add_printer tavelin_100 || { fail "add"; exit 1; }

# check_labels NAME WHERE PAGES COPIES: the job completed, its stream holds
# PAGES print commands each for COPIES labels, and every label has its
# black on the half WHERE (see MakeTestDocument.cpp).
check_labels() {
    wait_job "$JOB"
    if [ "$STATE" != completed ]; then
        fail "$1: job $JOB $STATE ($MESSAGE)"
        return 1
    fi
    stream=$(output_of "$1")
    if ! "$INSPECT" "$stream" >"$WORK/$1.txt" 2>&1; then
        fail "$1: malformed stream: $(tail -n 1 "$WORK/$1.txt")"
        return 1
    fi
    prints=$(grep -c '^PRINT' "$WORK/$1.txt")
    counted=$(grep -c "^PRINT copies=$4\$" "$WORK/$1.txt")
    if [ "$prints" -ne "$3" ] || [ "$counted" -ne "$3" ]; then
        fail "$1: $prints print commands, $counted with copies=$4; expected $3"
        return 1
    fi
    "$INSPECT" -q --png "$WORK/$1-label" "$stream" >/dev/null 2>&1
    for label in "$WORK/$1-label"-*.png; do
        if ! "$DOC" check "$label" "$2" >"$WORK/$1-check.txt" 2>&1; then
            fail "$1: $(basename "$label") not black on the $2: $(cat "$WORK/$1-check.txt")"
            return 1
        fi
    done
    pass "$1"
}

# Documents that print: name | document | format | black half | labels |
# copies | ipptool options. Images are 400 x 600 black on the left; "wide"
# 600 x 400; the huge one 30000 x 30000, black on its bottom-left quarter,
# printed scaled. The label is 4 x 6 in: 812 x 1219 dots at 203 dpi.
while IFS='|' read -r name kind format where pages copies ipp; do
    [ -z "$name" ] && continue
    "$DOC" make "$kind" "$WORK/$name.in" || { fail "$name: making the document"; continue; }
    # shellcheck disable=SC2086
    PRINT_TEST=print-document.test print_job "$name" "$format" "$WORK/$name.in" -d copies="$copies" $ipp
    check_labels "$name" "$where" "$pages" "$copies"
done <<'CASES'
png-gray|png-gray|image/png|left|1|1|
png-rgb|png-rgb|image/png|left|1|3|
png-palette|png-palette|image/png|left|1|1|
png-1bit|png-1bit|image/png|left|1|1|
png-alpha|png-alpha|image/png|left|1|1|
png-non-square|png-non-square|image/png|left|1|1|
png-wide-automatic|png-wide|image/png|bottom|1|1|-d orientation=7
png-wide-landscape|png-wide|image/png|bottom|1|1|-d orientation=4
png-wide-reverse-landscape|png-wide|image/png|top|1|1|-d orientation=5
png-reverse-portrait|png-gray|image/png|right|1|1|-d orientation=6
png-huge|png-huge|image/png|bottom-left|1|1|
jpeg|jpeg|image/jpeg|left|1|1|
jpeg-copies|jpeg|image/jpeg|left|1|3|
pdf-one-page|pdf-1|application/pdf|left|1|1|
pdf-three-pages|pdf-3|application/pdf|left|3|1|
pdf-copies|pdf-3|application/pdf|left|3|3|
pdf-page-two|pdf-3|application/pdf|left|1|1|-d ranges=2-2
pdf-pages-two-on|pdf-3|application/pdf|left|2|1|-d ranges=2-9
pdf-asks-300dpi|pdf-1|application/pdf|left|1|1|-d resolution=300dpi
CASES
# A document prints at the printer's resolution (its print head's): a job's
# own printer-resolution is ignored.
grep -qx 'SW 812' "$WORK/pdf-asks-300dpi.txt" || fail "pdf-asks-300dpi: label not 812 dots wide"
grep -qx 'SW 812' "$WORK/pdf-one-page.txt" || fail "pdf-one-page: label not 812 dots wide"

# A PNG sent as application/octet-stream is typed by libpappl and still
# reaches the application's filter.
print_job png-auto-typed application/octet-stream "$WORK/png-gray.in"
check_labels png-auto-typed left 1 1

# The test label: one label, black in between 1% and 60%, with the
# printer's settings in its setup block.
printf '%%TVL-TEST-LABEL\n' >"$WORK/test-label"
print_job test-label-ipp application/vnd.tavelin-testlabel "$WORK/test-label" -d copies=3
check_labels test-label-ipp some 1 3
# submit: the CLI sends the file as application/octet-stream; the
# application's MIME typing recognises it.
cp "$WORK/test-label" "$WORK/test-label-submit"
JOB=$("$APP" submit -d labels "$WORK/test-label-submit" 2>&1 | sed -n 's/^labels-\([0-9]*\)$/\1/p')
JOB=${JOB:-0}
check_labels test-label-submit some 1 1
# The web page's "Print Test Page" button: a POST with the page's session.
page="http://localhost:$PORT/labels"
session=$(curl -s "$page" | sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' | head -n 1)
curl -s -d "session=$session&action=print-test-page" "$page" | grep -q 'Test page printed' ||
    fail "web test page: not queued"
JOB=$(ipptool -tv "$URI" "$IPP/get-jobs.test" | sed -n 's/^ *job-id (integer) = //p' | sort -n | tail -n 1)
check_labels "Test Page" some 1 1
leftover=$(find "${TMPDIR:-/tmp}" -maxdepth 1 -name 'tvl-test-label-*' 2>/dev/null | wc -l)
[ "$leftover" -eq 0 ] || fail "web test page: $leftover test label files left behind"

# The next job after a broken one prints, and the server answers.
good_after() {
    ipptool -q "$URI" "$IPP/get-printer.test" || fail "$1: no answer to Get-Printer-Attributes"
    print_job "after-$1" image/png "$WORK/png-gray.in"
    check_labels "after-$1" left 1 1
}

# Broken documents: name | document | format | words of the job's message.
# Each is aborted within wait_job's minute, with no print command.
while IFS='|' read -r name kind format word; do
    [ -z "$name" ] && continue
    "$DOC" make "$kind" "$WORK/$name.in" || { fail "$name: making the document"; continue; }
    print_job "$name" "$format" "$WORK/$name.in" -d copies=3
    wait_job "$JOB"
    if [ "$STATE" != aborted ]; then
        fail "$name: job $JOB $STATE, expected aborted"
    elif ! echo "$MESSAGE" | grep -q "$word"; then
        fail "$name: message '$MESSAGE' does not say '$word'"
    elif "$INSPECT" "$(output_of "$name")" 2>/dev/null | grep -q '^PRINT'; then
        fail "$name: a print command went out"
    else
        pass "$name aborted: $MESSAGE"
    fi
    good_after "$name"
done <<'CASES'
png-truncated|png-truncated|image/png|PNG: the file ends early
jpeg-truncated|jpeg-truncated|image/jpeg|JPEG
pdf-not-one|pdf-not-one|application/pdf|not a PDF
png-as-jpeg|png-gray|image/jpeg|JPEG
CASES

# A printer that cannot take the bytes: the document's job is aborted with
# the reason.
"$APP" add -d full -m tavelin_100 -v file:///dev/full >/dev/null || fail "add full"
URI_LABELS=$URI
URI="ipp://localhost:$PORT/ipp/print/full"
print_job device-full application/pdf "$WORK/pdf-one-page.in"
wait_job "$JOB"
{ [ "$STATE" = aborted ] && echo "$MESSAGE" | grep -q "No space left"; } && pass "device-full: $MESSAGE" ||
    fail "device-full: $STATE '$MESSAGE'"
URI=$URI_LABELS
good_after device-full

shutdown_server
[ "${SERVER_STATUS:-1}" -eq 0 ] || fail "the server ended with status $SERVER_STATUS (see $WORK/server.out)"
[ "$FAILURES" -eq 0 ] || { echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
