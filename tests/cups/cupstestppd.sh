#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Runs cupstestppd on every PPD given, with the built filter staged where it
# looks for filters (CUPS_SERVERBIN is set by the caller). Shows the failure
# lines of a PPD that fails; the size-name warnings (the sizes are named by
# the filter's size numbers, not by Adobe's names) are left out.
#
#   CUPS_SERVERBIN=STAGE tests/cups/cupstestppd.sh PPD...
set -u
passed=0
failed=0
for ppd in "$@"; do
    if out=$(cupstestppd "$ppd" 2>&1); then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf '%s\n' "$out" | grep -v 'WARN    Size "'
    fi
done
echo "cupstestppd: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
