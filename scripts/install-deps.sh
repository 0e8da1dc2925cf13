#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Installs, from Debian's packages, everything needed to build the driver,
# run the demo and run the whole test suite. Safe to run again: packages
# already present are left alone. Used by the README, by CI and by the demo.
#
#   scripts/install-deps.sh             what the build, demo and tests need
#   scripts/install-deps.sh bench-app   also the printer application
#                                       benchmark's (scripts/bench-app.sh)
set -eu

# One package per line; keep the reason next to it. Reasons for the later
# additions:
#   python3   tests/app/png-ink.py counts the ink on labels printed through CUPS
#   iproute2  `ip` gives tests/app/app-network.sh's private namespace a
#             second address, a client from "another machine"
#   dpkg-dev, patch and libpappl's build dependencies (gnutls to zlib):
#             the printer application's own libpappl, built from Debian's
#             source package with the project's patches (scripts/libpappl.sh)
#   chromium, chromium-driver, python3-selenium: tests/app/app-browser.py
#             goes through the printer application's web pages as a user
#             would, in a headless browser on a loopback port
PACKAGES="
build-essential
cmake
pkg-config
g++
libcups2-dev
libgtest-dev
libpng-dev
libjpeg-dev
libpoppler-cpp-dev
dpkg-dev
patch
libgnutls28-dev
libavahi-client-dev
libpam0g-dev
libusb-1.0-0-dev
zlib1g-dev
curl
cups
cups-filters
ghostscript
cups-ppdc
cups-client
cups-daemon
cups-ipp-utils
clang
libclang-rt-14-dev
valgrind
libbenchmark-dev
python3
iproute2
chromium
chromium-driver
python3-selenium
"

# Only for scripts/bench-app.sh, never in CI: Debian's lprint package also
# installs a systemd service that runs as root and listens on every address.
#   lprint    the benchmark's peer
#   iproute2  ip, to bring up loopback in the benchmark's network namespace
#   linux-perf  perf, for BENCH_PERF=1 (where each server's time goes)
if [ "${1:-}" = bench-app ]; then
    PACKAGES="$PACKAGES
lprint
iproute2
linux-perf
"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        SUDO="sudo"
    fi
    echo "Installing:$missing"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi

# The printer application's libpappl (once; a no-op when it is built).
"$(dirname "$0")/libpappl.sh"
