# SPDX-License-Identifier: Apache-2.0
# A private CUPS scheduler, for the real-cupsd test (tests/cups/cupsd-e2e.sh)
# and the scheduler benchmark (bench/cupsd-bench.sh). Sourced by bash:
#
#   . tests/cups/private-cupsd.sh
#   reason=$(pcupsd_unusable) && { echo "cannot run: $reason"; exit 77; }
#   pcupsd_work /tmp/tvl-cupsd           # WORK, removed on every exit
#   pcupsd_prepare BUILD_DIR "$WORK"     # the folders, the driver, the configuration
#   ... add backends to $BIN/backend ...
#   pcupsd_start                         # sets CUPSD_PID, exports CUPS_SERVER
#   ... lpadmin, lp, lpstat, ipptool ...
#   pcupsd_stop                          # by process id
#
# The scheduler gets its own ServerRoot, cache, spool, state and log folders
# under WORK, its own ServerBin and DataDir trees (CUPS's programs and data by
# link, the driver as `cmake --install` installs it, staged in WORK/install),
# and listens only on the domain socket WORK/cups.sock.
#
# Settings read by pcupsd_prepare:
#   PCUPSD_FILE_DEVICE  Yes: file: device URIs allowed (file:///dev/null); default No
#   PCUPSD_LOG_LEVEL    cupsd's LogLevel; default info
#
# Variables set by pcupsd_prepare, for the caller: CONF (ServerRoot), BIN
# (ServerBin), DATA (DataDir), SOCK, and STAGED_FILTER, the filter as
# installed.

CUPSD_PID=""

# Prints why a private cupsd cannot run here and returns 0; returns 1 when it
# can.
pcupsd_unusable() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "needs root (cupsd runs filters as user lp)"
        return 0
    fi
    if [ -r /sys/kernel/security/apparmor/profiles ] &&
        grep -Eq '^(/usr/sbin/cupsd|cupsd) \(enforce\)' /sys/kernel/security/apparmor/profiles; then
        echo "AppArmor confines cupsd here and forbids its temporary folders"
        return 0
    fi
    return 1
}

# pcupsd_work PREFIX: sets WORK to a new folder PREFIX.XXXXXX, removed, with
# the scheduler stopped, on every exit (an interrupt exits with status 130).
pcupsd_work() {
    WORK=$(mktemp -d "$1.XXXXXX")
    trap 'pcupsd_stop; rm -rf "$WORK"' EXIT
    trap 'exit 130' INT TERM
}

# Fails (status 1, with a message) when a program or the user lp is missing.
pcupsd_require() {
    local tool
    for tool in cmake cupsd lpadmin lpinfo lp lpstat ipptool "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "FAIL: $tool is missing: run scripts/install-deps.sh" >&2
            return 1
        fi
    done
    if ! id lp >/dev/null 2>&1; then
        echo "FAIL: there is no user lp (cups-daemon makes it)" >&2
        return 1
    fi
}

# pcupsd_prepare BUILD_DIR WORK: the scheduler's folders and configuration
# under WORK, the driver installed from BUILD_DIR.
pcupsd_prepare() {
    local build=$1
    local work=$2
    # Owned by root, readable by lp, writable by nobody else: cupsd refuses
    # filters and backends in folders that group or others can write to.
    umask 022
    chmod 0755 "$work"
    CONF=$work/conf
    BIN=$work/bin
    DATA=$work/data
    SOCK=$work/cups.sock
    PCUPSD_LOG=$work/log
    mkdir -p "$CONF/ppd" "$CONF/ssl" "$BIN/filter" "$BIN/backend" "$BIN/daemon" \
        "$DATA/mime" "$DATA/model/tavelin" "$work/cache" "$work/state" \
        "$work/spool/tmp" "$PCUPSD_LOG"

    # The driver, installed as an administrator installs it (cmake --install),
    # staged in a folder of its own.
    local stage=$work/install types ppddir
    if ! DESTDIR=$stage cmake --install "$build" >"$PCUPSD_LOG/install.log" 2>&1; then
        echo "FAIL: cmake --install $build failed:" >&2
        cat "$PCUPSD_LOG/install.log" >&2
        return 1
    fi
    STAGED_FILTER=$(find "$stage" -type f -name rastertoTvlLabel -path '*/filter/*')
    types=$(find "$stage" -type f -name tavelin.types -path '*/mime/*')
    ppddir=$(dirname "$(find "$stage" -type f -name tvl100.ppd)")
    if [ -z "$STAGED_FILTER" ] || [ -z "$types" ] || [ "$ppddir" = . ]; then
        echo "FAIL: cmake --install did not install the filter, the MIME type and the PPDs:" >&2
        cat "$PCUPSD_LOG/install.log" >&2
        return 1
    fi

    # CUPS's own programs and data, by link; the driver's files, as copies.
    local dir f
    for dir in filter daemon; do
        for f in /usr/lib/cups/"$dir"/*; do
            ln -s "$f" "$BIN/$dir/"
        done
    done
    install -m 0755 "$STAGED_FILTER" "$BIN/filter/rastertoTvlLabel"
    for f in /usr/share/cups/*; do
        case "$(basename "$f")" in
            mime | model | drv) ;;
            *) ln -s "$f" "$DATA/" ;;
        esac
    done
    for f in /usr/share/cups/mime/*; do
        ln -s "$f" "$DATA/mime/"
    done
    install -m 0644 "$types" "$DATA/mime/"
    install -m 0644 "$ppddir"/tvl*.ppd "$DATA/model/tavelin/"

    cat >"$CONF/cups-files.conf" <<EOF
ServerRoot $CONF
ServerBin $BIN
DataDir $DATA
CacheDir $work/cache
StateDir $work/state
RequestRoot $work/spool
TempDir $work/spool/tmp
ServerKeychain $CONF/ssl
ErrorLog $PCUPSD_LOG/error_log
AccessLog $PCUPSD_LOG/access_log
PageLog $PCUPSD_LOG/page_log
User lp
Group lp
SystemGroup root
FileDevice ${PCUPSD_FILE_DEVICE:-No}
Printcap $work/state/printcap
EOF
    cat >"$CONF/cupsd.conf" <<EOF
LogLevel ${PCUPSD_LOG_LEVEL:-info}
MaxLogSize 0
Listen $SOCK
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
DefaultAuthType None
ErrorPolicy abort-job
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    chmod 0644 "$CONF/cupsd.conf" "$CONF/cups-files.conf"
}

pcupsd_show_log() {
    echo "--- cupsd error_log (last 60 lines) ---"
    tail -n 60 "$PCUPSD_LOG/error_log" 2>/dev/null || true
    echo "---"
}

# Starts cupsd in the foreground, in the background of this shell, and waits
# until it answers on its socket. Sets CUPSD_PID and exports CUPS_SERVER.
pcupsd_start() {
    export CUPS_SERVER=$SOCK
    cupsd -f -c "$CONF/cupsd.conf" -s "$CONF/cups-files.conf" &
    CUPSD_PID=$!
    local _
    for _ in $(seq 1 100); do
        [ -S "$SOCK" ] && lpstat -r >/dev/null 2>&1 && return 0
        if ! kill -0 "$CUPSD_PID" 2>/dev/null; then
            CUPSD_PID=""
            echo "FAIL: cupsd did not start" >&2
            pcupsd_show_log >&2
            return 1
        fi
        sleep 0.1
    done
    echo "FAIL: cupsd does not answer on $SOCK" >&2
    pcupsd_show_log >&2
    return 1
}

# Stops the cupsd that pcupsd_start started, by its process id: SIGTERM,
# then SIGKILL after 10 s.
pcupsd_stop() {
    if [ -n "$CUPSD_PID" ] && kill -0 "$CUPSD_PID" 2>/dev/null; then
        kill -TERM "$CUPSD_PID" 2>/dev/null || true
        local _
        for _ in $(seq 1 100); do
            kill -0 "$CUPSD_PID" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$CUPSD_PID" 2>/dev/null; then
            kill -KILL "$CUPSD_PID" 2>/dev/null || true
        fi
        wait "$CUPSD_PID" 2>/dev/null || true
    fi
    CUPSD_PID=""
}
