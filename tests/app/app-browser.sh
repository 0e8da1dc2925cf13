#!/bin/sh
# The printer application's web pages in a headless browser, as a user goes
# through them (app-browser.py, one table of steps), against the built
# server on a loopback port. Skipped (77) without Debian's chromium,
# chromium-driver and python3-selenium (scripts/install-deps.sh).
#
#   app-browser.sh APP TVL_INSPECT SCREENSHOT_DIR
set -u
APP=$1 INSPECT=$2 SHOTS=$3
PYTHON=/usr/bin/python3  # Debian's, which python3-selenium is for
for tool in /usr/bin/chromium /usr/bin/chromedriver "$PYTHON"; do
    [ -x "$tool" ] || { echo "skipped: no $tool (scripts/install-deps.sh installs it)"; exit 77; }
done
"$PYTHON" -c 'import selenium' 2>/dev/null || { echo "skipped: no python3-selenium"; exit 77; }
. "$(dirname "$0")/lib.sh"

start_server || exit 1
# The browser keeps its profile, caches and temporary files in the test's
# folder.
mkdir -p "$WORK/home" "$WORK/tmp"
rm -f "$SHOTS/app-browser-failure.png"
HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home" XDG_CACHE_HOME="$WORK/home" TMPDIR="$WORK/tmp" \
    timeout 240 "$PYTHON" "$HERE/app-browser.py" "http://localhost:$PORT" "$WORK" "$INSPECT" "$SHOTS" ||
    fail "the browser's steps (server log: $LOG)"
stop_server
[ "$FAILURES" -eq 0 ] || exit 1
echo "all passed"
