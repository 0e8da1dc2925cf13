#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# The scheduler stage of the benchmark (scripts/bench.sh cupsd; see
# BENCHMARKS.md): prints one raster job through a private cupsd three ways
# and reports, per way, the medians of RUNS rounds of
#   - wall time from the start of lp to the job's completion,
#   - cupsd's own CPU time over that span,
#   - the filter's CPU time (what cupsd's reaped children used meanwhile),
#   - the bytes cupsd added to its error log.
#
#   bench/cupsd-bench.sh BUILD_DIR JOB.ras RUNS OUT.md
#
# The ways: a queue of this driver (model 100 PPD, installed from BUILD_DIR)
# with -o CompPrinting=0 (raw bands) and with -o CompPrinting=1 (compressed
# bands), and a queue of CUPS's rastertolabel with the ZPL label printer PPD
# that ppdc compiles from CUPS's sample.drv. Both queues print to
# file:///dev/null, so no backend runs: cupsd writes the filter's output to
# the device itself, and the only child of cupsd during a job is the filter.
#
# Completion is seen in cupsd's error log ("[Job N] Job completed."), which
# this script reads on its own: waiting costs cupsd nothing, whereas asking it
# (lpstat, ipptool) in a loop would add to the CPU time being measured.
# cupsd's CPU is the run time of its threads (/proc/PID/task/*/schedstat, in
# ns); the filter's is the growth of cupsd's cutime + cstime (/proc/PID/stat,
# in clock ticks), counted when cupsd reaps it, before the job completes.
#
# Environment: BENCH_CUPSD_LOG_LEVEL, cupsd's LogLevel (info, the default,
# debug or debug2).
#
# Needs root, like the real-cupsd test; the cupsd it starts is stopped by its
# process id on every exit.
set -euo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR

if [ $# -ne 4 ]; then
    echo "usage: $0 BUILD_DIR JOB.ras RUNS OUT.md" >&2
    exit 2
fi
SRC=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/cups/private-cupsd.sh
. "$SRC/tests/cups/private-cupsd.sh"

if reason=$(pcupsd_unusable); then
    echo "bench: cannot run a private cupsd here: $reason" >&2
    exit 1
fi
pcupsd_require ppdc

BUILD=$(cd "$1" && pwd)
JOB_FILE=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
RUNS=$3
TABLE=$4
[ -r "$JOB_FILE" ] || { echo "bench: no job file $JOB_FILE" >&2; exit 1; }

pcupsd_work /tmp/tvl-cupsd-bench

PCUPSD_FILE_DEVICE=Yes
# "Job completed." is an info line: the log must hold at least those.
PCUPSD_LOG_LEVEL=${BENCH_CUPSD_LOG_LEVEL:-info}
case $PCUPSD_LOG_LEVEL in
    info | debug | debug2) ;;
    *)
        echo "bench: BENCH_CUPSD_LOG_LEVEL must be info, debug or debug2" >&2
        exit 2
        ;;
esac
pcupsd_prepare "$BUILD" "$WORK"
ERROR_LOG=$WORK/log/error_log

# The peer's PPD, as scripts/bench.sh makes it.
mkdir -p "$WORK/ppdc"
ppdc -d "$WORK/ppdc" /usr/share/cups/drv/sample.drv
PEER_PPD=$(grep -l '^\*Product: "(ZPL Label Printer)"' "$WORK"/ppdc/*.ppd | head -n 1)
if [ -z "$PEER_PPD" ] || [ ! -x /usr/lib/cups/filter/rastertolabel ]; then
    echo "bench: no rastertolabel or ZPL PPD (install cups and cups-ppdc)" >&2
    exit 1
fi

pcupsd_start
echo "cupsd running (pid $CUPSD_PID), LogLevel $PCUPSD_LOG_LEVEL"
lpadmin -p tvl -E -v file:///dev/null -m tavelin/tvl100.ppd
lpadmin -p zpl -E -v file:///dev/null -P "$PEER_PPD"
# lp reads the job as this user; cupsd copies it into its spool.
chmod 0644 "$JOB_FILE"

# cupsd's CPU in ns, summed over its threads.
cupsd_cpu_ns() {
    local total=0 run _
    for f in /proc/"$CUPSD_PID"/task/*/schedstat; do
        read -r run _ <"$f" || continue
        total=$((total + run))
    done
    echo "$total"
}

# CPU of cupsd's reaped children, in clock ticks: cutime + cstime.
children_ticks() {
    local stat
    stat=$(cat /proc/"$CUPSD_PID"/stat)
    # Fields after the command name, which ends at the last ")": state is
    # field 3, cutime and cstime are fields 16 and 17.
    stat=${stat##*) }
    set -- $stat
    echo $((${14} + ${15}))
}

now_ns() {
    date +%s%N
}

TICK_NS=$((1000000000 / $(getconf CLK_TCK)))

# run_case NAME QUEUE LP-OPTIONS...: prints "wall_ns cupsd_ns filter_ns log_bytes".
run_case() {
    local name=$1 queue=$2
    shift 2
    local log0 cpu0 kids0 t0 out id
    log0=$(stat -c %s "$ERROR_LOG")
    cpu0=$(cupsd_cpu_ns)
    kids0=$(children_ticks)
    t0=$(now_ns)
    out=$(lp -d "$queue" -o document-format=application/vnd.cups-raster "$@" "$JOB_FILE")
    id=$(sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p' <<<"$out")
    if [ -z "$id" ]; then
        echo "bench: $name: lp said: $out" >&2
        return 1
    fi
    # The log is read from where it stood before the job, so that its lines
    # are never searched twice.
    until tail -c +"$((log0 + 1))" "$ERROR_LOG" | grep -Eq "\[Job $id\] Job (completed|stopped|aborted|canceled)"; do
        if ! kill -0 "$CUPSD_PID" 2>/dev/null; then
            echo "bench: cupsd died" >&2
            return 1
        fi
        sleep 0.01
    done
    local t1 cpu1 kids1 log1
    t1=$(now_ns)
    cpu1=$(cupsd_cpu_ns)
    kids1=$(children_ticks)
    log1=$(stat -c %s "$ERROR_LOG")
    if ! tail -c +"$((log0 + 1))" "$ERROR_LOG" | grep -q "\[Job $id\] Job completed"; then
        echo "bench: $name: job $id did not complete:" >&2
        tail -c +"$((log0 + 1))" "$ERROR_LOG" | grep "\[Job $id\]" | tail -n 5 >&2
        return 1
    fi
    echo "$((t1 - t0)) $((cpu1 - cpu0)) $(((kids1 - kids0) * TICK_NS)) $((log1 - log0))"
}

CASES=(raw compressed rastertolabel)
declare -A QUEUE=([raw]=tvl [compressed]=tvl [rastertolabel]=zpl)
declare -A OPTS=([raw]="-o CompPrinting=0" [compressed]="-o CompPrinting=1" [rastertolabel]="")
declare -A RESULTS

# One unmeasured job first: cupsd loads the MIME database, the PPDs and the
# filters' pages into its caches on the first job of each queue.
for c in raw rastertolabel; do
    # shellcheck disable=SC2086
    run_case "warm-up $c" "${QUEUE[$c]}" ${OPTS[$c]} >/dev/null
done

for round in $(seq 1 "$RUNS"); do
    for c in "${CASES[@]}"; do
        # shellcheck disable=SC2086
        r=$(run_case "$c" "${QUEUE[$c]}" ${OPTS[$c]})
        echo "round $round $c: $r (wall ns, cupsd ns, filter ns, log bytes)"
        RESULTS[$c]="${RESULTS[$c]:-}$r"$'\n'
    done
done

# median COLUMN <<< lines: the median of one column (RUNS values).
median() {
    awk -v col="$1" 'NF { print $col }' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
secs() {
    awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

{
    echo "| queue | options | wall s | cupsd CPU s | filter CPU s | cupsd log bytes |"
    echo "|---|---|---:|---:|---:|---:|"
    for c in "${CASES[@]}"; do
        lines=${RESULTS[$c]}
        echo "| $c | ${OPTS[$c]:-} | $(secs "$(median 1 <<<"$lines")") | $(secs "$(median 2 <<<"$lines")") |" \
            "$(secs "$(median 3 <<<"$lines")") | $(median 4 <<<"$lines") |"
    done
} >"$TABLE"
echo
echo "== Through a private cupsd (LogLevel $PCUPSD_LOG_LEVEL): medians of $RUNS rounds"
cat "$TABLE"
pcupsd_stop
