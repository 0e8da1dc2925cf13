#!/bin/sh
# The whole test suite, as CI runs it: installs what is missing, builds and
# runs every test. Each stage below fails the run on any failure.
set -eu
cd "$(dirname "$0")/.."

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
