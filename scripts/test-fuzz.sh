#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Bounded fuzzing, as CI runs it: builds the libFuzzer targets of fuzz/ with
# clang, AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/ (or
# $BUILD_DIR) and runs each for $FUZZ_SECONDS seconds (default 60) from its
# seed corpus in fuzz/corpus/. Any finding (crash, sanitizer report, leak,
# timeout, memory limit) fails the run; the input that caused it is left in
# $BUILD_DIR/fuzz-run/<target>/artifacts/.
#
# Large pages are part of the input space: an allocation above 1 GiB is
# answered with NULL (the filter's allocation-failure path), not reported as
# out-of-memory, and libFuzzer's own limits sit above that.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
ROOT="$(pwd)"
BUILD_DIR="${BUILD_DIR:-build-fuzz}"
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTVL_FUZZ=ON -DTVL_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target fuzz_job fuzz_rle fuzz_rotation fuzz_image

ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=1024:detect_leaks=1
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS UBSAN_OPTIONS

status=0
summary=""
for target in job rle rotation image; do
    work="$BUILD_DIR/fuzz-run/$target"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    log="$work/fuzz.log"
    echo "== fuzz_$target: ${FUZZ_SECONDS}s"
    # New inputs go to the run's own corpus folder; the seeds stay as they are.
    if "$BUILD_DIR/fuzz/fuzz_$target" "$work/corpus" "$ROOT/fuzz/corpus/$target" \
        -max_total_time="$FUZZ_SECONDS" -timeout=30 -rss_limit_mb=3072 -malloc_limit_mb=2048 \
        -max_len=16384 -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" >"$log" 2>&1; then
        result="ok"
    else
        result="FAILED"
        status=1
        # The answered allocations each leave a warning; the finding comes last.
        grep -v "WARNING: AddressSanitizer failed to allocate" "$log" | tail -n 80
    fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    line="fuzz_$target: $result, ${runs:-?} executions, corpus $(ls "$work/corpus" | wc -l) new inputs"
    echo "$line"
    summary="$summary$line
"
done
echo "== fuzzing summary"
printf '%s' "$summary"
exit $status
