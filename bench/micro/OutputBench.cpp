// SPDX-License-Identifier: Apache-2.0
// Micro-benchmarks of the page work on one 4 x 6 in label at 203 dpi (812 x
// 1218 pixels, 102 bytes per line), the benchmark job's first label:
//   - the run-length coder alone, over the page's seven bands;
//   - RLECompression, the coder with its diagnostic line per run, standard
//     error sent to /dev/null;
//   - the quarter turns into a scratch page.
// Bytes processed are the page's bytes, so the rates compare directly.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "bench/LabelContent.h"
#include "filter/StdioSinks.h"
#include "output/Rle.h"
#include "output/Rotation.h"

namespace tvl {

namespace {

constexpr unsigned kBandRows = 200;

const std::vector<uint8_t>& label()
{
    static const std::vector<uint8_t> page = bench::drawLabel(bench::kDefaultSeed, 0);
    return page;
}

template <typename EncodeBand>
void forEachBand(EncodeBand encode)
{
    const std::vector<uint8_t>& page = label();
    for (unsigned start = 0; start < bench::kLabelHeight; start += kBandRows) {
        const unsigned rows = bench::kLabelHeight - start < kBandRows ? bench::kLabelHeight - start : kBandRows;
        encode(page.data() + static_cast<size_t>(start) * bench::kLabelBytesPerLine, rows);
    }
}

void BM_RleEncode(benchmark::State& state)
{
    std::vector<uint8_t> out(rleMaxEncodedSize(static_cast<size_t>(kBandRows) * bench::kLabelBytesPerLine));
    for (auto _ : state) {
        size_t total = 0;
        forEachBand([&](const uint8_t* band, unsigned rows) {
            const size_t n = static_cast<size_t>(rows) * bench::kLabelBytesPerLine;
            total += rleEncode(std::span<const uint8_t>(band, n), std::span<uint8_t>(out.data(), out.size()));
        });
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(label().size()));
}
BENCHMARK(BM_RleEncode);

// Standard error to /dev/null for the run of one benchmark, then back.
class QuietStderr {
public:
    QuietStderr()
    {
        fflush(stderr);
        saved_ = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 2);
            close(null);
        }
    }
    ~QuietStderr()
    {
        fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

void BM_RLECompressionLogged(benchmark::State& state)
{
    std::vector<uint8_t> out(rleMaxEncodedSize(static_cast<size_t>(kBandRows) * bench::kLabelBytesPerLine));
    const QuietStderr quiet;
    StderrLog log;
    StdoutPrinter printer(log);
    Output o{printer, log, 8.0f};
    for (auto _ : state) {
        size_t total = 0;
        forEachBand([&](const uint8_t* band, unsigned rows) {
            total += RLECompression(o, band, out.data(), rows, bench::kLabelBytesPerLine);
        });
        fflush(stderr);  // the filter flushes its log with every band
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(label().size()));
}
BENCHMARK(BM_RLECompressionLogged);

template <void (*Turn)(const uint8_t*, uint8_t*, uint32_t, uint32_t)>
void BM_Turn(benchmark::State& state)
{
    const std::vector<uint8_t>& page = label();
    std::vector<uint8_t> turned(static_cast<size_t>(bench::kLabelBytesPerLine) * 8 *
                                turnedRowBytes(bench::kLabelHeight));
    for (auto _ : state) {
        Turn(page.data(), turned.data(), bench::kLabelHeight, bench::kLabelBytesPerLine);
        benchmark::DoNotOptimize(turned.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Turn<rotate90Degree>)->Name("BM_Rotate90");
BENCHMARK(BM_Turn<rotate270Degree>)->Name("BM_Rotate270");

// The same with the portable kernel, for processors without AVX2.
template <void (*Turn)(const uint8_t*, uint8_t*, uint32_t, uint32_t)>
void BM_TurnPortable(benchmark::State& state)
{
    const TurnKernel best = turnKernel();
    useTurnKernel(TurnKernel::Portable);
    BM_Turn<Turn>(state);
    useTurnKernel(best);
}
BENCHMARK(BM_TurnPortable<rotate90Degree>)->Name("BM_Rotate90Portable");
BENCHMARK(BM_TurnPortable<rotate270Degree>)->Name("BM_Rotate270Portable");

}  // namespace

}  // namespace tvl

BENCHMARK_MAIN();
