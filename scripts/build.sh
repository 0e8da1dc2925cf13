#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, then configures and builds into build/ (or $BUILD_DIR).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
