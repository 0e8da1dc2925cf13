#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# app-browser.sh APP TVL_INSPECT SCREENSHOT_DIR: app-browser.py's steps against the built server on a
# loopback port; skipped (77) without Debian's chromium, chromium-driver and python3-selenium.
set -u
APP=$1 INSPECT=$2 SHOTS=$3
PYTHON=/usr/bin/python3  # Debian's, which python3-selenium is for
[ -x /usr/bin/chromium ] && [ -x /usr/bin/chromedriver ] && $PYTHON -c 'import selenium' 2>/dev/null ||
    { echo "skipped: no chromium, chromium-driver or python3-selenium"; exit 77; }
. "$(dirname "$0")/lib.sh"
start_server || exit 1
mkdir -p "$WORK/home" "$WORK/tmp"  # the browser's profile, caches and temporary files
rm -f "$SHOTS/app-browser-failure.png"
HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home" XDG_CACHE_HOME="$WORK/home" TMPDIR="$WORK/tmp" \
    timeout 240 $PYTHON "$HERE/app-browser.py" "http://localhost:$PORT" "$WORK" "$INSPECT" "$SHOTS" ||
    fail "the browser's steps (server log: $LOG)"
stop_server
[ "$FAILURES" -eq 0 ] && echo "all passed"
