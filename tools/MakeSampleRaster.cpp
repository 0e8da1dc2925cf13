// tvl-make-raster OUTPUT [PAGES]: writes a small sample CUPS raster job (4 x 6
// inch labels at 203 dpi, 1 bit per pixel, a border, bars and a box) through
// libcups's raster writer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include <cups/raster.h>

namespace {

constexpr unsigned kWidth = 812;   // 4 in at 203 dpi
constexpr unsigned kHeight = 1218; // 6 in at 203 dpi
constexpr unsigned kBytesPerLine = (kWidth + 7) / 8;

void setPixel(std::vector<unsigned char>& page, unsigned x, unsigned y)
{
    page[y * kBytesPerLine + x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
}

std::vector<unsigned char> drawLabel(unsigned number)
{
    std::vector<unsigned char> page(static_cast<size_t>(kBytesPerLine) * kHeight, 0);
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            const bool border = x < 8 || y < 8 || x >= kWidth - 8 || y >= kHeight - 8;
            const bool bars = y >= 700 && y < 1000 && x >= 60 && x < 752 && ((x / (3 + (x * 7 + number) % 5)) % 2);
            const bool box = y >= 100 && y < 400 && x >= 100 && x < 400 && (x < 110 || x >= 390 || y < 110 || y >= 390);
            if (border || bars || box) {
                setPixel(page, x, y);
            }
        }
    }
    return page;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUTPUT [PAGES]\n", argv[0]);
        return 1;
    }
    const unsigned pages = argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 1;
    const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_COMPRESSED);
    if (raster == nullptr) {
        perror("cupsRasterOpen");
        close(fd);
        return 1;
    }
    int status = 0;
    for (unsigned n = 0; n < pages && status == 0; ++n) {
        cups_page_header2_t h{};
        h.HWResolution[0] = h.HWResolution[1] = 203;
        h.PageSize[0] = 288;
        h.PageSize[1] = 432;
        h.NumCopies = 1;
        h.cupsWidth = kWidth;
        h.cupsHeight = kHeight;
        h.cupsBitsPerColor = 1;
        h.cupsBitsPerPixel = 1;
        h.cupsBytesPerLine = kBytesPerLine;
        h.cupsColorOrder = CUPS_ORDER_CHUNKED;
        h.cupsColorSpace = CUPS_CSPACE_K;
        h.cupsNumColors = 1;
        std::vector<unsigned char> page = drawLabel(n);
        if (!cupsRasterWriteHeader2(raster, &h) ||
            cupsRasterWritePixels(raster, page.data(), static_cast<unsigned>(page.size())) != page.size()) {
            fprintf(stderr, "%s: cannot write page %u\n", argv[0], n + 1);
            status = 1;
        }
    }
    cupsRasterClose(raster);
    close(fd);
    return status;
}
