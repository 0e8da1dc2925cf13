// SPDX-License-Identifier: Apache-2.0
#include "tests/support/RasterWriter.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/RunFilter.h"

namespace tvl {

TestPage bitmapPage(uint32_t width, uint32_t height, std::vector<uint8_t> pixels)
{
    TestPage page;
    page.width = width;
    page.height = height;
    page.bytesPerLine = (width + 7) / 8;
    page.pixels = std::move(pixels);
    return page;
}

TestPage patternPage(uint32_t width, uint32_t height, uint32_t seed)
{
    TestPage page;
    page.width = width;
    page.height = height;
    page.bytesPerLine = (width + 7) / 8;
    page.pixels.resize(static_cast<size_t>(page.bytesPerLine) * height);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < page.pixels.size(); ++i) {
        x = x * 1103515245u + 12345u;
        const uint32_t r = (x >> 16) & 0xFF;
        // Mostly runs of white and black, with some mixed bytes between.
        page.pixels[i] = r < 120 ? 0x00 : r < 180 ? 0xFF : static_cast<uint8_t>(r * 7);
    }
    return page;
}

namespace {

// The first-version page header that describes `page`.
cups_page_header2_t headerFor(const TestPage& page)
{
    cups_page_header2_t h = blackDotsHeader(page.width, page.height, 203);
    std::strcpy(h.MediaClass, "PwgRaster");
    h.cupsBitsPerPixel = page.bitsPerPixel;
    h.cupsBitsPerColor = page.bitsPerPixel;
    h.cupsBytesPerLine = page.bytesPerLine != 0 ? page.bytesPerLine : (page.width * page.bitsPerPixel + 7) / 8;
    h.cupsColorSpace = page.bitsPerPixel == 1 ? CUPS_CSPACE_K : CUPS_CSPACE_W;
    return h;
}

}  // namespace

std::string rawRasterStream(const RawHeader& raw, const std::string& pixels, bool compressedSync)
{
    TestPage page;
    page.width = raw.width;
    page.height = raw.height;
    page.bitsPerPixel = raw.bitsPerPixel;
    cups_page_header2_t header = headerFor(page);
    header.cupsBytesPerLine = raw.bytesPerLine;
    header.HWResolution[0] = raw.dpi;
    header.HWResolution[1] = raw.dpi;
    // One colour of black dots, whatever the depth claimed.
    header.cupsBitsPerColor = raw.bitsPerPixel > 16 ? 8 : raw.bitsPerPixel;
    header.cupsColorSpace = CUPS_CSPACE_K;
    // The writer stores its sync word as a host-order integer.
    constexpr unsigned kSyncV3 = 0x52615333;  // "RaS3": uncompressed, version 3 header
    const unsigned sync = compressedSync ? CUPS_RASTER_SYNCv2 : kSyncV3;
    std::string stream(reinterpret_cast<const char*>(&sync), sizeof sync);
    stream.append(reinterpret_cast<const char*>(&header), sizeof header);
    return stream + pixels;
}

void writeRasterFile(const std::string& path, const std::vector<TestPage>& pages, bool compressed)
{
    RasterFile file(path.c_str(), compressed ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE);
    ASSERT_TRUE(file.opened()) << path;
    ASSERT_NE(file.stream(), nullptr);
    for (const TestPage& page : pages) {
        std::vector<uint8_t> copy = page.pixels;  // the writer may touch its input
        ASSERT_TRUE(writeRasterPage(file.stream(), headerFor(page), copy)) << path;
    }
}

std::string rasterFile(const std::string& name, const std::vector<TestPage>& pages, bool compressed)
{
    const std::string path = tempPath(name);
    writeRasterFile(path, pages, compressed);
    return path;
}

std::string tempPath(const std::string& name)
{
    // One folder per test process, removed when the process ends (children
    // leave through _exit or exec and do not remove it).
    struct TempDir {
        std::string path;
        pid_t owner = getpid();
        TempDir()
        {
            std::string templ = (std::filesystem::temp_directory_path() / "tvl-test-XXXXXX").string();
            if (mkdtemp(templ.data()) != nullptr) {
                path = templ;
            }
        }
        ~TempDir()
        {
            std::error_code ignored;
            if (!path.empty() && getpid() == owner) {
                std::filesystem::remove_all(path, ignored);
            }
        }
    };
    static const TempDir dir;
    return (dir.path.empty() ? std::string("/tmp") : dir.path) + "/" + name;
}

std::string writeTempFile(const std::string& name, const std::string& bytes)
{
    const std::string path = tempPath(name);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    if (fd >= 0) {
        EXPECT_TRUE(writeAll(fd, bytes)) << path;
        close(fd);
    }
    return path;
}

}  // namespace tvl
