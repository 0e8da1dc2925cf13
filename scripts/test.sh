#!/bin/sh
# The whole test suite, as CI runs it: installs what is missing, builds and
# runs every test.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")
