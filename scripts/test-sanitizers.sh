#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The whole test suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang) in build-asan/ (or $BUILD_DIR).
#
# A sanitizer finding ends the process with an exit code of its own, never
# the filter's status 1, so no test can mistake it for the filter's own
# failure: ASAN_OPTIONS asks for 86, UBSAN_OPTIONS for 87. (Both runtimes
# share one exit code in a combined build, and the one read last wins: in
# practice every finding, leaks included, ends with 87.) An allocation that
# cannot be had is answered with NULL, as the C library would answer it,
# instead of an abort, so that the filter's own allocation-failure paths run.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build-asan}"

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVL_SANITIZE=ON >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

ASAN_OPTIONS=allocator_may_return_null=1:exitcode=86:detect_leaks=1
UBSAN_OPTIONS=exitcode=87:halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS UBSAN_OPTIONS
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)"
