#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The whole test suite, as CI runs it: installs what is missing, builds and
# runs every test. Each stage below fails the run on any failure.
set -eu
cd "$(dirname "$0")/.."

# Every test's temporary folders go into one folder of this run: two runs on
# one machine never meet, and a test killed before its own clean-up leaves
# nothing behind. It is readable by all: the service test's server runs as
# nobody, and cupsd's filters as lp. Kept when the run fails.
SUITE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tvl-suite.XXXXXX")
chmod 0755 "$SUITE_TMP"
export TMPDIR="$SUITE_TMP"
trap 'status=$?; if [ $status -eq 0 ]; then rm -rf "$SUITE_TMP"; else echo "the failed run kept $SUITE_TMP"; fi' EXIT

# 1. Normal build, unit and end-to-end tests.
./scripts/build.sh
echo "The printer application's tests run on: $(cat build/libpappl-kind.txt)"
(cd build && ctest --output-on-failure -j"$(nproc)")

# Printing through a real CUPS scheduler (as root; skips otherwise).
./scripts/test-cupsd.sh

# Sanitizers: the whole suite again, built with ASan and UBSan (build-asan/).
./scripts/test-sanitizers.sh

# Bounded fuzzing: each libFuzzer target for about a minute (build-fuzz/).
./scripts/test-fuzz.sh

# valgrind memcheck over every run of the filter in the suite, in the
# normal build (about 5 minutes).
BUILD_DIR=build ./scripts/test-valgrind.sh
