#!/bin/sh
# The demo: builds the filter and runs it on a bundled sample label job, the
# way CUPS would, writing the printer stream to out/.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh >/dev/null
mkdir -p out
./build/tools/tvl-make-raster out/sample.ras 1
PPD="$PWD/samples/sample.ppd" ./build/filter/rastertoTvlLabel 1 "$(id -un)" sample-label 1 "" \
    < out/sample.ras > out/label.prn 2> out/label.log
pages=$(grep -ac '^P1' out/label.prn || true)
bytes=$(wc -c < out/label.prn)
echo "Printed $pages page(s): $bytes bytes of printer commands in $PWD/out/label.prn"
echo "Filter log (what CUPS would log): $PWD/out/label.log"
