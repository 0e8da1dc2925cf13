#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The benchmark (see BENCHMARKS.md): builds the filter and the benchmark
# programs into build-bench/, writes the seeded 1000-label 4 x 6 in job,
# times the filter beside the read-only floor and CUPS's own rastertolabel,
# and prints the table, then the micro-benchmarks.
#
#   scripts/bench.sh [RUNS]        RUNS rounds for the medians (default 7)
#   scripts/bench.sh cupsd [RUNS]  instead: the same 1000-label job printed
#                                  through a private cupsd (root only;
#                                  bench/cupsd-bench.sh), RUNS rounds
#                                  (default 3)
#
# Environment:
#   BENCH_BUILD_DIR   build folder (default build-bench)
#   BENCH_COMPARE     another rastertoTvlLabel binary: its output on every
#                     filter case is compared with this build's (cmp), to
#                     show that a change kept every byte and every line
#   BENCH_NO_MICRO=1  skip the micro-benchmarks
set -eu
cd "$(dirname "$0")/.."
# scripts/bench.sh app [RUNS]: the printer application against lprint
# instead (scripts/bench-app.sh, as root); scripts/bench.sh app load [ROUNDS]:
# the two under six clients at once.
if [ "${1:-}" = app ]; then
    shift
    exec ./scripts/bench-app.sh "$@"
fi
ROOT="$(pwd)"
BUILD_DIR="${BENCH_BUILD_DIR:-build-bench}"

if [ "${1:-}" = cupsd ]; then
    RUNS="${2:-3}"
    ./scripts/install-deps.sh
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVL_BENCHMARKS=ON -DTVL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)" --target rastertoTvlLabel tvl_ppds tvl-bench-job >/dev/null
    WORK="$ROOT/$BUILD_DIR/bench-work"
    mkdir -p "$WORK"
    echo "== Job"
    "$ROOT/$BUILD_DIR/bench/tvl-bench-job" "$WORK/labels-1000.ras" 1000 compressed
    exec bash bench/cupsd-bench.sh "$BUILD_DIR" "$WORK/labels-1000.ras" "$RUNS" "$WORK/cupsd-table.md"
fi
RUNS="${1:-7}"

./scripts/install-deps.sh
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVL_BENCHMARKS=ON -DTVL_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target rastertoTvlLabel tvl-bench-job tvl-bench-floor tvl-bench-run \
    tvl-microbench >/dev/null

BIN="$ROOT/$BUILD_DIR/bench"
FILTER="$ROOT/$BUILD_DIR/filter/rastertoTvlLabel"
WORK="$ROOT/$BUILD_DIR/bench-work"
rm -rf "$WORK"
mkdir -p "$WORK/keep" "$WORK/ppdc"

echo "== Jobs"
"$BIN/tvl-bench-job" "$WORK/labels-1000.ras" 1000 compressed
"$BIN/tvl-bench-job" "$WORK/labels-1000-uncompressed.ras" 1000 uncompressed
"$BIN/tvl-bench-job" "$WORK/labels-10.ras" 10 compressed

# The peer: CUPS's rastertolabel with the ZPL label printer PPD that ppdc
# compiles from CUPS's sample driver file.
PEER=/usr/lib/cups/filter/rastertolabel
ppdc -d "$WORK/ppdc" /usr/share/cups/drv/sample.drv
PEER_PPD="$(grep -l '^\*Product: "(ZPL Label Printer)"' "$WORK"/ppdc/*.ppd | head -n 1)"
if [ -z "$PEER_PPD" ] || [ ! -x "$PEER" ]; then
    echo "bench: no rastertolabel or ZPL PPD (install cups and cups-ppdc)" >&2
    exit 1
fi
cp "$PEER_PPD" "$WORK/zpl-label.ppd"

PPD="$ROOT/samples/sample.ppd"
C1000="$WORK/labels-1000.ras"
U1000="$WORK/labels-1000-uncompressed.ras"
C10="$WORK/labels-10.ras"
T="$(printf '\t')"
{
    echo "# name${T}pages${T}input${T}ppd${T}stderr${T}program${T}arguments..."
    for input in c1000 u1000 c10; do
        case $input in
            c1000) file=$C1000; pages=1000; suffix="" ;;
            u1000) file=$U1000; pages=1000; suffix=".uncompressed-input" ;;
            c10) file=$C10; pages=10; suffix=".10-labels" ;;
        esac
        echo "floor$suffix${T}$pages${T}$file${T}-${T}null${T}$BIN/tvl-bench-floor"
        for err in null pipe; do
            tag=""
            [ "$err" = pipe ] && tag="-pipe"
            # The 10-label job is there for peak memory; stderr to a pipe
            # only for the 1000-label compressed stream.
            [ "$err" = pipe ] && [ "$input" != c1000 ] && continue
            echo "raw$suffix$tag${T}$pages${T}$file${T}$PPD${T}$err${T}$FILTER${T}1${T}bench${T}labels${T}1${T}"
            echo "compressed$suffix$tag${T}$pages${T}$file${T}$PPD${T}$err${T}$FILTER${T}1${T}bench${T}labels${T}1${T}CompPrinting=1"
            echo "turn90$suffix$tag${T}$pages${T}$file${T}$PPD${T}$err${T}$FILTER${T}1${T}bench${T}labels${T}1${T}Rotation=1"
            echo "rastertolabel$suffix$tag${T}$pages${T}$file${T}$WORK/zpl-label.ppd${T}$err${T}$PEER${T}1${T}bench${T}labels${T}1${T}"
        done
    done
} > "$WORK/cases.tsv"

echo
echo "== Filter runs: medians of $RUNS rounds (CPU = user + system of the process)"
"$BIN/tvl-bench-run" "$WORK/cases.tsv" "$RUNS" "$WORK/keep" | tee "$WORK/table.md"

if [ -n "${BENCH_COMPARE:-}" ]; then
    echo
    echo "== Output of $BENCH_COMPARE against this build"
    status=0
    grep -v '^#' "$WORK/cases.tsv" | while IFS="$T" read -r name pages input ppd err program a1 a2 a3 a4 a5; do
        [ "$program" = "$FILTER" ] || continue
        PPD="$ppd" "$BENCH_COMPARE" "$a1" "$a2" "$a3" "$a4" "$a5" <"$input" >"$WORK/compare.out" 2>"$WORK/compare.err" || true
        if cmp -s "$WORK/compare.out" "$WORK/keep/$name.out" && cmp -s "$WORK/compare.err" "$WORK/keep/$name.err"; then
            echo "same bytes and lines: $name"
        else
            echo "DIFFERENT: $name"
            status=1
        fi
        [ $status -eq 0 ] || exit 1
    done
fi

if [ -z "${BENCH_NO_MICRO:-}" ]; then
    echo
    echo "== Micro-benchmarks (one 4 x 6 in label)"
    "$BIN/tvl-microbench" --benchmark_min_time=0.5
fi

echo
echo "== Machine"
echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "memory: $(free -h | awk '/^Mem:/ {print $2}')"
echo "system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
echo "compiler: $(c++ --version | head -n 1)"
echo "libcups: $(dpkg-query -W -f='${Version}' libcups2 2>/dev/null || echo unknown)"
