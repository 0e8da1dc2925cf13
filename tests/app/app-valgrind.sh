#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The wide pages that overflow libpappl's line buffer when 1-bit output is
# forced, printed by a server running under valgrind memcheck: the pages
# must print cropped and valgrind must report no error.
#
#   app-valgrind.sh APP TVL_INSPECT TEST_RASTER VALGRIND
set -u
APP=$1 INSPECT=$2 RASTER=$3 VALGRIND=$4
. "$(dirname "$0")/lib.sh"

start_server "$VALGRIND" --error-exitcode=99 --leak-check=no --log-file="$WORK/valgrind.txt" || exit 1
add_printer tavelin_100 || { fail "add"; exit 1; }

# name | page | pattern
while IFS='|' read -r name page pattern; do
    [ -z "$name" ] && continue
    "$RASTER" --out "$WORK/$name.in" --expect "$WORK/$name.expect" --page "$page" --pattern "$pattern"
    print_job "$name" image/pwg-raster "$WORK/$name.in"
    wait_job "$JOB"
    if [ "$STATE" = completed ] && "$INSPECT" -q --expect-raster "$WORK/$name.expect" "$(output_of "$name")" >/dev/null; then
        pass "$name"
    else
        fail "$name: $STATE ($MESSAGE)"
    fi
done <<'CASES'
wide-letter-gray|1725x2233|ramp
wide-900|900x1218|frame
CASES

# Ended by SIGTERM, not by the shutdown sub-command: libpappl 1.3.1's
# papplSystemDelete frees the system's strings while the Shutdown-System
# request's own reply may still be being written (a use-after-free in
# papplClientRespond that valgrind catches now and then). With no request in
# flight the server ends cleanly, and the run judges the wide pages only.
kill -TERM "$SERVER_PID"
wait "$SERVER_PID"
SERVER_STATUS=$?
SERVER_PID=""
if [ "${SERVER_STATUS:-1}" -ne 0 ]; then
    fail "the server ended with status $SERVER_STATUS under valgrind"
    sed -n '/Invalid\|uninitialised/,+12p' "$WORK/valgrind.txt" | head -n 40
fi
[ "$FAILURES" -eq 0 ] || { echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
