// SPDX-License-Identifier: Apache-2.0
// The tvl-inspect command: listing, exit status, PNG pages and the raster
// comparison, run as a user runs it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun runInspect(std::vector<std::string> args)
{
    static int counter = 0;
    ++counter;
    const std::string outPath = tempPath("inspect-out-" + std::to_string(counter));
    const std::string errPath = tempPath("inspect-err-" + std::to_string(counter));
    args.insert(args.begin(), "tvl-inspect");
    CliRun run;
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) {
            _exit(127);
        }
        dup2(out, 1);
        dup2(err, 2);
        execProgram(TVL_INSPECT_PATH, args);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

// One page, 3 rows of 2 bytes: FF 00 / 00 FF / 81 18, in one raw band.
const std::string kStream = "SL609,24,G\r\nSW609\r\nSOT\r\n" +
                            fromHex("4C 44 00 00 00 00 02 00 03 00  FF 00 00 FF 81 18  0D 0A 50 31 0D 0A");

TEST(InspectCli, ListsEveryCommandAndTheSummary)
{
    const std::string path = writeTempFile("listing.prn", kStream);
    const CliRun run = runInspect({path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "SL 609,24,G\n"
              "SW 609\n"
              "SOT\n"
              "BAND raw start=0 bpl=2 rows=3 bytes=6\n"
              "PRINT copies=1\n"
              "PAGE 1 16x3 pixels bpl=2 bands=1 copies=1 top-first\n"
              "SUMMARY pages=1 length=609 width=609 bytes=46 (label length x width in dots, from SL and SW)\n");
    EXPECT_EQ(run.err, "");
}

TEST(InspectCli, ExitStatus)
{
    const std::string good = writeTempFile("good.prn", kStream);
    const std::string cut = writeTempFile("cut.prn", kStream.substr(0, 36));
    struct StatusCase {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* errStart;
    };
    const std::vector<StatusCase> cases = {
        {"quiet", {"-q", good}, 0, ""},
        {"truncated raw band", {cut}, 1,
         "tvl-inspect: CUT: malformed stream at offset 36 (0x24): raw band (start 0, 2 bytes per line, 3 rows): "
         "data truncated: 2 of 6 bytes\n"},
        {"no such file", {good + ".missing"}, 1, "tvl-inspect: "},
        {"no stream", {}, 2, "tvl-inspect: no stream named\n"},
        {"unknown option", {"--colour", good}, 2, "tvl-inspect: unknown option --colour\n"},
        {"turn without raster", {"--turn", "1", good}, 2, "tvl-inspect: --turn goes with --expect-raster\n"},
        {"half turn is not a turn the oracle makes", {"--expect-raster", good, "--turn", "2", good}, 2,
         "tvl-inspect: --turn takes 0, 1 or 3, not 2\n"},
        {"raster file that is not raster", {"--expect-raster", good, good}, 1, "tvl-inspect: "},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = runInspect(c.args);
        EXPECT_EQ(run.status, c.status);
        std::string expected = c.errStart;
        const size_t at = expected.find("CUT");
        if (at != std::string::npos) {
            expected.replace(at, 3, cut);
        }
        EXPECT_EQ(run.err.substr(0, expected.size()), expected);
    }
}

// Reads a PNG back as 8-bit grey, rows joined by "/", '#' for black and '.'
// for white.
std::string readPng(const std::string& path, unsigned* width, unsigned* height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return "unreadable";
    }
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        return "unreadable";
    }
    *width = image.width;
    *height = image.height;
    std::string out;
    for (unsigned y = 0; y < image.height; ++y) {
        out += y == 0 ? "" : "/";
        for (unsigned x = 0; x < image.width; ++x) {
            out += pixels[y * image.width + x] == 0 ? '#' : '.';
        }
    }
    return out;
}

TEST(InspectCli, WritesEachPageAsPng)
{
    const std::string path = writeTempFile("png.prn", kStream + kStream.substr(19));  // two pages
    const std::string prefix = tempPath("label");
    const CliRun run = runInspect({"-q", "--png", prefix, path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("PNG " + prefix + "-001.png\nPNG " + prefix + "-002.png\n"), std::string::npos)
        << run.out;
    for (const char* page : {"-001.png", "-002.png"}) {
        unsigned width = 0;
        unsigned height = 0;
        //        FF 00 / 00 FF / 81 18
        EXPECT_EQ(readPng(prefix + page, &width, &height),
                  "########......../"
                  "........########/"
                  "#......#...##...");
        EXPECT_EQ(width, 16u);
        EXPECT_EQ(height, 3u);
    }
}

TEST(InspectCli, ComparesWithARasterFile)
{
    const std::string raster = rasterFile("cli.ras", {bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18})});
    const std::string otherRaster = rasterFile("cli-other.ras", {bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x08})});
    const std::string stream = writeTempFile("cli.prn", kStream);

    const CliRun match = runInspect({"-q", "--expect-raster", raster, stream});
    EXPECT_EQ(match.status, 0) << match.err;
    EXPECT_NE(match.out.find("MATCH 1 page(s) equal " + raster + " (turn 0)\n"), std::string::npos);

    const CliRun mismatch = runInspect({"-q", "--expect-raster", otherRaster, stream});
    EXPECT_EQ(mismatch.status, 1);
    EXPECT_EQ(mismatch.err, "tvl-inspect: MISMATCH with " + otherRaster +
                                " (turn 0): page 1: row 2 differs, first at column 11 (stream black, raster white)\n");
}

}  // namespace

}  // namespace tvl
