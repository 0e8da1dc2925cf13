#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The end-to-end and fault suites with every run of the filter under
# valgrind's memcheck: no invalid read or write, no use of uninitialised
# memory, no leak (definite, indirect or possible). Builds in
# build-valgrind/ (or $BUILD_DIR).
#
# The tests run the filter through the path they were built with; here that
# path is a small script that starts the real binary under valgrind. A
# memcheck finding ends the filter with status 88, which no test accepts;
# valgrind's own report goes to a log file per process, never into the
# filter's standard error that the tests compare.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build-valgrind}"

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
FILTER="$(cd "$BUILD_DIR" && pwd)/filter/rastertoTvlLabel"
# A run that was cut short may have left the wrapper in place.
if [ -f "$FILTER.bin" ]; then
    mv "$FILTER.bin" "$FILTER"
fi
cmake --build "$BUILD_DIR" -j"$(nproc)"

LOGS="$(cd "$BUILD_DIR" && pwd)/valgrind-logs"
rm -rf "$LOGS"
mkdir -p "$LOGS"
cp "$FILTER" "$FILTER.bin"
cat >"$FILTER" <<WRAPPER
#!/bin/sh
exec valgrind --tool=memcheck --error-exitcode=88 --leak-check=full \\
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \\
    --log-file="$LOGS/%p.log" "$FILTER.bin" "\$@"
WRAPPER
chmod +x "$FILTER"
# Put the plain binary back afterwards, so that the build folder runs normally.
trap 'mv "$FILTER.bin" "$FILTER"' EXIT

TVL_FILTER_UNDER_VALGRIND=1
export TVL_FILTER_UNDER_VALGRIND
status=0
(cd "$BUILD_DIR" && ctest --output-on-failure -j"$(nproc)" -R "${VALGRIND_TESTS:-.}") || status=$?

runs=$(ls "$LOGS" | wc -l)
bad=$(grep -L "ERROR SUMMARY: 0 errors" "$LOGS"/*.log 2>/dev/null | wc -l)
echo "valgrind: $runs filter runs, $bad with errors or leaks"
if [ "$bad" -ne 0 ]; then
    for f in $(grep -L "ERROR SUMMARY: 0 errors" "$LOGS"/*.log); do
        echo "== $f"
        head -n 60 "$f"
    done
    status=1
fi
exit $status
