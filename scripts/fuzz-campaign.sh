#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# A fuzzing campaign: every libFuzzer target of fuzz/ in turn, MINUTES each,
# each growing a corpus of its own that is kept between campaigns.
#
#   scripts/fuzz-campaign.sh MINUTES [CORPUS_DIR]
#
# CORPUS_DIR (default $BUILD_DIR/fuzz-corpus) holds one folder per target;
# keep it out of the source tree. The targets start from it and from their
# seeds in fuzz/corpus/; what a run finds new goes to a scratch folder and
# is merged into CORPUS_DIR/<target> (-merge=1) when the run ends, so the
# corpus holds only inputs that add coverage.
#
# A memory or time blow-up is a finding like a crash: a process above
# $FUZZ_RSS_MB MiB resident (default 512; the largest page the filter takes
# is 82 MB) or an input slower than $FUZZ_TIMEOUT seconds (default 10).
# Allocations above 1 GiB are answered with NULL, as in scripts/test-fuzz.sh
# (libcups sizes its line buffers from the header it reads, before the
# filter sees it). After a finding the target starts again for the time
# left, at most $FUZZ_RESTARTS times (default 5). Findings stay in
# $BUILD_DIR/fuzz-campaign/<target>/artifacts/; each one belongs in
# fuzz/corpus/<target>/ as a regression input, with its fix.
#
# Prints, per target: runs, coverage (libFuzzer's cov: and ft:), the corpus
# before and after, peak memory and the findings. Exit status 1 when any
# target had a finding. Built as scripts/test-fuzz.sh builds (clang, the
# sanitizers), in build-fuzz/ or $BUILD_DIR, with -j$JOBS (default 2).
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 MINUTES [CORPUS_DIR]" >&2
    exit 2
fi
case "$1" in
    '' | *[!0-9]*) echo "fuzz-campaign: MINUTES must be a whole number" >&2; exit 2 ;;
esac
MINUTES=$1
ROOT="$(pwd)"
BUILD_DIR="${BUILD_DIR:-build-fuzz}"
CORPUS_DIR="${2:-$BUILD_DIR/fuzz-corpus}"
RSS_MB="${FUZZ_RSS_MB:-512}"
TIMEOUT="${FUZZ_TIMEOUT:-10}"
RESTARTS="${FUZZ_RESTARTS:-5}"
TARGETS="${FUZZ_TARGETS:-job rle rotation image}"

./scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTVL_FUZZ=ON -DTVL_BUILD_TESTS=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" -j"${JOBS:-2}" --target $(for t in $TARGETS; do printf 'fuzz_%s ' "$t"; done)

# A small quarantine keeps the sanitizer's own share of the resident memory
# well under the limit.
ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=1024:detect_leaks=1:quarantine_size_mb=64
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS UBSAN_OPTIONS

count() { find "$1" -maxdepth 1 -type f | wc -l; }
# The last value of a libFuzzer status field ("cov: 1234") in a log.
field() { grep -o "$1: *[0-9]*" "$2" | tail -n 1 | grep -o '[0-9]*$' || true; }

status=0
summary=""
for target in $TARGETS; do
    fuzzer="$BUILD_DIR/fuzz/fuzz_$target"
    work="$BUILD_DIR/fuzz-campaign/$target"
    corpus="$CORPUS_DIR/$target"
    rm -rf "$work"
    mkdir -p "$work/new" "$work/artifacts" "$corpus"
    before=$(count "$corpus")
    echo "== fuzz_$target: $MINUTES min, corpus $corpus ($before inputs)"
    end=$(($(date +%s) + MINUTES * 60))
    runs=0
    starts=0
    log=/dev/null
    while :; do
        left=$((end - $(date +%s)))
        [ "$left" -gt 0 ] && [ "$starts" -le "$RESTARTS" ] || break
        starts=$((starts + 1))
        log="$work/run-$starts.log"
        if "$fuzzer" "$work/new" "$corpus" "$ROOT/fuzz/corpus/$target" -max_total_time="$left" \
            -timeout="$TIMEOUT" -rss_limit_mb="$RSS_MB" -malloc_limit_mb=2048 -max_len=16384 \
            -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$log" 2>&1; then
            :
        else
            # The answered allocations each leave a warning; the finding comes last.
            echo "-- finding in run $starts of fuzz_$target:"
            grep -v "WARNING: AddressSanitizer failed to allocate" "$log" | tail -n 40
        fi
        n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        runs=$((runs + ${n:-0}))
    done
    # The coverage of the last run, which started from everything before it.
    cov=$(field cov "$log")
    ft=$(field ft "$log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$work"/run-*.log | sort -n | tail -n 1)
    "$fuzzer" -merge=1 "$corpus" "$work/new" >"$work/merge.log" 2>&1 || echo "-- merge of fuzz_$target failed: $work/merge.log"
    findings=$(count "$work/artifacts")
    [ "$findings" -eq 0 ] || status=1
    line="fuzz_$target: $runs runs in $starts start(s), cov $cov ft $ft, corpus $before -> $(count "$corpus"), peak ${rss:-?} MiB, findings $findings"
    echo "$line"
    for f in "$work"/artifacts/*; do
        [ -e "$f" ] && echo "   $f"
    done
    summary="$summary$line
"
done
echo "== campaign summary ($MINUTES min per target, rss limit $RSS_MB MiB, timeout $TIMEOUT s)"
printf '%s' "$summary"
exit $status
