#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The printer application as its systemd service runs it, without systemd:
# the unit that `cmake --install` stages, its ExecStart and Environment= run
# as an unprivileged user in a private mount namespace whose /var/lib is a
# temporary folder, and root's sub-commands, without TVL_APP_STATE_DIR,
# managing that server through its socket. A label printed to it decodes
# with tvl-inspect; everything the server wrote is in its state folder.
#
#   app-service.sh BUILD_DIR TVL_INSPECT TEST_RASTER
#
# Needs root (mount namespace, another user); exits 77 otherwise. Stops the
# server by the CLI's shutdown, else by its process id.
set -u
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
    echo "SKIPPED: service test: needs root and unshare --mount"
    exit 77
fi
if [ -z "${TVL_IN_MOUNTNS:-}" ]; then
    TVL_IN_MOUNTNS=1 exec unshare --mount --propagation private sh "$0" "$@"
fi
BUILD=$(cd "$1" && pwd)
INSPECT=$2 RASTER=$3
# The work folder, pass and fail, stopping and shutting down the server.
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
chmod 0755 "$WORK"
touch "$WORK/started"
cleanup() {
    stop_server
    # A server that a root sub-command started for itself (when the
    # service was gone) would outlive the test in this namespace.
    if [ -n "${MOUNTED:-}" ]; then
        env -u TVL_APP_STATE_DIR "$PROGRAM" shutdown >/dev/null 2>&1
        umount /var/lib 2>/dev/null
    fi
    remove_work
}

# The unit as installed, and the program its ExecStart names.
DESTDIR=$WORK/stage cmake --install "$BUILD" >"$WORK/install.log" 2>&1 || { fail "cmake --install"; exit 1; }
UNIT=$(find "$WORK/stage" -name tavelin-printer-app.service -path '*/systemd/system/*')
[ -n "$UNIT" ] || { fail "no tavelin-printer-app.service installed"; exit 1; }
# shellcheck disable=SC2046
set -- $(sed -n 's/^ExecStart=//p' "$UNIT")
EXEC=$1
PROGRAM=$WORK/stage$EXEC
APP=$PROGRAM
shift
ARGS="$*"
[ -x "$PROGRAM" ] && pass "ExecStart names the installed program ($EXEC)" || fail "ExecStart: no program at $PROGRAM"
if command -v systemd-analyze >/dev/null; then
    sed "s|^ExecStart=[^ ]*|ExecStart=$PROGRAM|" "$UNIT" >"$WORK/tavelin-printer-app.service"
    systemd-analyze verify "$WORK/tavelin-printer-app.service" >"$WORK/verify.txt" 2>&1 &&
        pass "systemd-analyze verify" || fail "systemd-analyze verify: $(cat "$WORK/verify.txt")"
fi

# What systemd would set up: /var/lib/tavelin-printer-app for the service's
# user (StateDirectory=, %S is /var/lib), its Environment=.
mkdir "$WORK/var-lib"
mount --bind "$WORK/var-lib" /var/lib || { fail "mount --bind /var/lib"; exit 1; }
MOUNTED=1
STATE=/var/lib/tavelin-printer-app
mkdir -m 0750 "$STATE"
chown nobody:nogroup "$STATE"
ENVIRONMENT=$(sed -n 's/^Environment=//p' "$UNIT" | sed 's|%S|/var/lib|g')
for variable in TVL_APP_STATE_DIR HOME; do
    echo "$ENVIRONMENT" | grep -qx "$variable=$STATE" || fail "Environment= sets no $variable=$STATE"
done

# Sanitizer builds: their settings pass through, and leaks inside libpappl
# and libcups are theirs (LSAN_OPTIONS, from lib.sh).
SANITIZER_ENV="LSAN_OPTIONS=$LSAN_OPTIONS"
[ -n "${ASAN_OPTIONS:-}" ] && SANITIZER_ENV="$SANITIZER_ENV ASAN_OPTIONS=$ASAN_OPTIONS"
[ -n "${UBSAN_OPTIONS:-}" ] && SANITIZER_ENV="$SANITIZER_ENV UBSAN_OPTIONS=$UBSAN_OPTIONS"
tries=0
while :; do
    PORT=$((20000 + ($$ * 13 + tries * 149) % 30000))
    # shellcheck disable=SC2086
    env -i PATH=/usr/bin:/bin $ENVIRONMENT ${SANITIZER_ENV} setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$PROGRAM" $ARGS -o server-port="$PORT" >"$WORK/server.out" 2>&1 &
    SERVER_PID=$!
    n=0
    until grep -q "Starting system" "$STATE/tavelin-printer-app.log" 2>/dev/null || [ $n -ge 100 ] ||
        ! kill -0 "$SERVER_PID" 2>/dev/null; do
        sleep 0.1
        n=$((n + 1))
    done
    grep -q "Starting system" "$STATE/tavelin-printer-app.log" 2>/dev/null && break
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
    SERVER_PID=""
    tries=$((tries + 1))
    [ $tries -lt 5 ] || { fail "the server does not start: $(cat "$WORK/server.out")"; exit 1; }
    rm -f "$STATE/tavelin-printer-app.log"
done

# Root's sub-commands, with no TVL_APP_STATE_DIR, reach the service (and do
# not start a server of their own: the printer is in the service's state).
unset TVL_APP_STATE_DIR
chmod 0777 "$OUT"
"$PROGRAM" add -d svc -m tavelin_100 -v "file://$OUT" || fail "add as root"
[ "$("$PROGRAM" printers)" = svc ] || fail "printers as root: $("$PROGRAM" printers)"
"$RASTER" --out "$WORK/label.pwg" --expect "$WORK/label.expect" --pattern checker
"$PROGRAM" submit -d svc -t svc-label "$WORK/label.pwg" >/dev/null || fail "submit as root"
n=0
until [ -s "$OUT/svc-label.prn" ] || [ $n -ge 100 ]; do
    sleep 0.1
    n=$((n + 1))
done
# Printed by the service's user: a server that root's sub-commands started
# for themselves would write as root.
owner=$(stat -c %U "$OUT/svc-label.prn" 2>/dev/null)
"$INSPECT" -q --expect-raster "$WORK/label.expect" "$OUT/svc-label.prn" >/dev/null 2>&1 && [ "$owner" = nobody ] &&
    pass "a label printed through the service" || fail "the service's label (written by '$owner')"
shutdown_server || fail "shutdown as root"
[ $SERVER_STATUS -eq 0 ] && grep -q svc "$STATE/tavelin-printer-app.state" && pass "shutdown; the printer saved in $STATE" ||
    fail "shutdown: status $SERVER_STATUS"

# Everything the service's user wrote is in its state folder (the label
# folder aside): nothing of its own in /tmp, /var/tmp or the build. The
# folders of other suites' tests (tvl-*), which may run a service of their
# own at the same time, are theirs.
stray=$(find /tmp /var/tmp "${TMPDIR:-/tmp}" "$BUILD" -xdev -user nobody -newer "$WORK/started" ! -path "$WORK/*" \
    ! -path "/tmp/tvl-*/*" ! -path "/var/tmp/tvl-*/*" 2>/dev/null |
    head -n 5)
[ -z "$stray" ] && pass "nothing written outside the state folder" || fail "written outside: $stray"

[ "$FAILURES" -eq 0 ] || { echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
