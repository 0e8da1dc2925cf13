#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The printer application's clients and network, through its built binary:
# `devices` and the Add Printer page without avahi-daemon, what a client on
# another machine may do, and ipptool's IPP Everywhere attribute tests.
#
#   app-network.sh APP TVL_INSPECT TEST_RASTER
#
# As root it runs itself again in a private network namespace whose loopback
# also holds 198.51.100.7: libpappl takes a client from that address for
# another machine (127.0.0.2 would still count as localhost). Elsewhere the
# other-machine cases are skipped, with a message.
set -u
if [ -z "${TVL_IN_NETNS:-}" ] && [ "$(id -u)" -eq 0 ] && unshare --net true 2>/dev/null; then
    TVL_IN_NETNS=1 exec unshare --net sh "$0" "$@"
fi
REMOTE=""
if [ -n "${TVL_IN_NETNS:-}" ]; then
    ip link set lo up && ip addr add 198.51.100.7/32 dev lo && REMOTE=198.51.100.7
fi
APP=$1 INSPECT=$2 RASTER=$3
LISTEN=localhost
[ -n "$REMOTE" ] && LISTEN='*'
. "$(dirname "$0")/lib.sh"

if [ -S /run/avahi-daemon/socket ]; then
    echo "note: an avahi-daemon runs here; the cases below still use no DNS-SD"
fi

# `devices` lists this machine's printers and ends normally.
"$APP" devices >"$WORK/devices.out" 2>"$WORK/devices.err"
status=$?
{ [ $status -eq 0 ] && grep -q "add one by its URI" "$WORK/devices.err"; } && pass "devices" ||
    fail "devices: status $status, $(cat "$WORK/devices.err")"

start_server || exit 1
web="http://localhost:$PORT"

# http_code [CURL ARGS...]: the HTTP status of a request.
http_code() {
    curl -s -o "$WORK/page.html" -w '%{http_code}' "$@"
}

# The Add Printer page, then its form: name | driver | device URI | session
# ("good" or a forged one) | what the answer holds (302: the printer page).
[ "$(http_code "$web/addprinter")" = 200 ] && grep -q 'value="tavelin_100"' "$WORK/page.html" ||
    fail "GET /addprinter"
kill -0 "$SERVER_PID" 2>/dev/null && pass "GET /addprinter: the server runs on" || fail "GET /addprinter killed the server"
session=$(sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' "$WORK/page.html" | head -n 1)
while IFS='|' read -r name driver uri form expect; do
    [ -z "$name" ] && continue
    [ "$form" = good ] && form=$session
    code=$(http_code --data-urlencode "session=$form" --data-urlencode "printer_name=$name" \
        --data-urlencode "driver_name=$driver" --data-urlencode "device_uri=$uri" "$web/addprinter")
    if [ "$expect" = 302 ]; then
        [ "$code" = 302 ] && pass "add $name" || fail "add $name: HTTP $code"
    elif [ "$code" = 200 ] && grep -q "$expect" "$WORK/page.html"; then
        pass "add $name ($uri) refused: $expect"
    else
        fail "add $name ($uri): HTTP $code, no '$expect'"
    fi
done <<CASES
web|tavelin_100|file://$OUT|good|302
web|tavelin_100|file://$OUT|good|exists already
two words|tavelin_100|file://$OUT|good|holds only letters
other|tavelin_9999|file://$OUT|good|Choose the printer
other|tavelin_100|dnssd://Label._ipp._tcp.local/|good|no network discovery
other|tavelin_100|socket://|good|names a host and a port
other|tavelin_100|file:relative|good|absolute path
other|tavelin_100|file://$OUT|forged|Invalid form
CASES
printers=$("$APP" printers)
[ "$printers" = web ] || fail "printers after the form: '$printers', expected web only"

# The printer added from the page prints.
"$RASTER" --out "$WORK/good.in" --expect "$WORK/good.expect" --pattern checker
URI="ipp://localhost:$PORT/ipp/print/web"
print_job web-added image/pwg-raster "$WORK/good.in"
wait_job "$JOB"
[ "$STATE" = completed ] && "$INSPECT" -q --expect-raster "$WORK/good.expect" "$(output_of web-added)" >/dev/null 2>&1 &&
    pass "print to the printer added from the page" || fail "web-added: job $STATE"

if [ -n "$REMOTE" ]; then
    # Who | method | path | HTTP status. From another machine: the status
    # pages only; from this one, every page.
    while IFS='|' read -r who method path expect; do
        [ -z "$who" ] && continue
        host=localhost
        [ "$who" = remote ] && host=$REMOTE
        if [ "$method" = POST ]; then
            code=$(http_code -d "session=$session&cut-period=9" "http://$host:$PORT$path")
        else
            code=$(http_code "http://$host:$PORT$path")
        fi
        [ "$code" = "$expect" ] && pass "$who $method $path: $code" || fail "$who $method $path: $code, expected $expect"
    done <<'CASES'
remote|GET|/|200
remote|GET|/web/|200
remote|GET|/web/jobs|200
remote|POST|/web/jobs|403
remote|GET|/web/printing|403
remote|POST|/web/printing|403
remote|GET|/web/media|403
remote|GET|/web/config|403
remote|GET|/web/delete|403
remote|POST|/web/cancelall|403
remote|GET|/web/label-settings|403
remote|POST|/web/label-settings|403
remote|GET|/addprinter|403
remote|POST|/addprinter|403
remote|GET|/security|403
remote|GET|/logs|403
remote|GET|/logfile.txt|403
local|GET|/web/printing|200
local|GET|/web/label-settings|200
local|GET|/logs|200
CASES
    kill -0 "$SERVER_PID" 2>/dev/null || fail "the server ended during the page requests"

    # IPP from another machine: printing yes, settings no (libpappl's own
    # rule for administrative operations).
    URI="ipp://$REMOTE:$PORT/ipp/print/web"
    print_job remote-print image/pwg-raster "$WORK/good.in"
    wait_job "$JOB"
    [ "$STATE" = completed ] && "$INSPECT" -q --expect-raster "$WORK/good.expect" "$(output_of remote-print)" \
        >/dev/null 2>&1 && pass "print from another machine" || fail "remote-print: job $STATE"
    ipptool -tv -d darkness=5 -d speed=5080 -d configured=50 -d mode=tear-off -d thermal=direct-thermal \
        -d period=9 -d tearoff=0 -d bands=raw "$URI" "$IPP/set-defaults.test" >"$WORK/remote-set.txt" 2>&1
    grep -q 'status-code = client-error-forbidden' "$WORK/remote-set.txt" &&
        pass "Set-Printer-Attributes from another machine: forbidden" ||
        fail "Set-Printer-Attributes from another machine: $(grep status-code "$WORK/remote-set.txt")"
    URI="ipp://localhost:$PORT/ipp/print/web"
    ipptool -tv "$URI" "$IPP/get-printer.test" >"$WORK/attrs.txt"
    [ "$(value cut-period-default "$WORK/attrs.txt")" = 1 ] || fail "a refused request changed cut-period-default"
else
    echo "skipped: the other-machine cases need root and a private network namespace (unshare --net)"
fi

# ipptool's IPP Everywhere attribute tests (its document tests need sample
# files that are not installed, and skip). The one check that cannot pass:
# overrides-supported, since the application does not take per-page
# overrides. The copy run here leaves those two lines out and must pass; the
# original must fail on them alone. printer-up-time must be above 0 first.
n=0
until ipptool -tv "$URI" "$IPP/get-printer.test" 2>/dev/null | grep -q 'printer-up-time (integer) = [1-9]' ||
    [ $n -ge 50 ]; do
    sleep 0.1
    n=$((n + 1))
done
EVERYWHERE=/usr/share/cups/ipptool/ipp-everywhere.test
sed -e '/EXPECT overrides-supported/d' -e "s|^INCLUDE \"ipp-2.0.test\"|INCLUDE \"$(dirname "$EVERYWHERE")/ipp-2.0.test\"|" \
    "$EVERYWHERE" >"$WORK/everywhere.test"
if ipptool -t -f "$WORK/good.in" "$URI" "$WORK/everywhere.test" >"$WORK/everywhere.txt" 2>&1; then
    pass "ipp-everywhere.test attribute tests ($(grep -c '\[PASS\]' "$WORK/everywhere.txt") passed)"
else
    fail "ipp-everywhere.test: $(grep -E '\[FAIL\]|EXPECTED' "$WORK/everywhere.txt" | head -n 5)"
fi
ipptool -t -f "$WORK/good.in" "$URI" "$EVERYWHERE" >"$WORK/everywhere-all.txt" 2>&1
others=$(grep 'EXPECTED:' "$WORK/everywhere-all.txt" | grep -vc 'EXPECTED: overrides-supported$')
[ "$others" -eq 0 ] && grep -q 'EXPECTED: overrides-supported' "$WORK/everywhere-all.txt" ||
    fail "ipp-everywhere.test as installed: other failures than overrides-supported"

shutdown_server
[ "${SERVER_STATUS:-1}" -eq 0 ] || fail "the server ended with status $SERVER_STATUS (see $WORK/server.out)"

# With an authentication service (PAM "login"): every client authenticates,
# printing included; the CLI's socket needs none. On the network that takes
# TLS, which as root the server refuses to start.
if [ "$(id -u)" -eq 0 ]; then
    if "$APP" server -o server-port=1 -o listen-hostname='*' -o auth-service=login >"$WORK/auth-root.txt" 2>&1; then
        fail "auth-service on the network started as root"
    else
        grep -q "run the server as its own user" "$WORK/auth-root.txt" && pass "auth-service with TLS refused as root" ||
            fail "auth-service as root: $(cat "$WORK/auth-root.txt")"
    fi
fi
LISTEN=localhost SERVER_OPTIONS="-o auth-service=login" start_server || exit 1
URI="ipp://localhost:$PORT/ipp/print/web"
print_job auth-print image/pwg-raster "$WORK/good.in"
[ "$STATUS" = client-error-not-authenticated ] && pass "auth-service: Print-Job without a password refused" ||
    fail "auth-service: Print-Job answered $STATUS"
[ "$(http_code "http://localhost:$PORT/web/printing")" = 401 ] || fail "auth-service: a settings page without a password"
"$APP" printers | grep -qx web || fail "auth-service: the CLI lost its printers"
shutdown_server
[ "$FAILURES" -eq 0 ] || { echo "$FAILURES failure(s)"; exit 1; }
echo "all passed"
