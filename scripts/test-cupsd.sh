#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The real-scheduler stage of the test suite: prints a PDF, a PNG, a raster
# file and a native file through a private cupsd with a queue made from a
# generated PPD, and checks what reached the device (tests/cups/cupsd-e2e.sh).
# Needs root and a built tree (BUILD_DIR, default build/); where it cannot
# run (not root, cupsd confined by AppArmor) it says so and skips.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
status=0
bash tests/cups/cupsd-e2e.sh "$BUILD_DIR" || status=$?
if [ "$status" -eq 77 ]; then
    exit 0
fi
exit "$status"
