// SPDX-License-Identifier: Apache-2.0
#include "tools/raster/RasterWriter.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "output/Band.h"

namespace tvl {

RasterStream openRasterStream(int fd, cups_mode_t mode)
{
    return RasterStream(cupsRasterOpen(fd, mode));
}

RasterFile::RasterFile(const char* path, cups_mode_t mode)
    : fd_(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644))
{
    if (fd_ >= 0) {
        stream_ = openRasterStream(fd_, mode);
    }
}

RasterFile::~RasterFile()
{
    close();
}

bool RasterFile::close()
{
    stream_.reset();
    if (fd_ < 0) {
        return true;
    }
    const int status = ::close(fd_);
    fd_ = -1;
    return status == 0;
}

bool openOrSayWhy(const RasterFile& file, const char* path)
{
    if (!file.opened()) {
        perror(path);
        return false;
    }
    if (file.stream() == nullptr) {
        perror("cupsRasterOpen");
        return false;
    }
    return true;
}

cups_page_header2_t blackDotsHeader(uint32_t width, uint32_t height, uint32_t dpi)
{
    cups_page_header2_t header = labelPageHeader<cups_page_header2_t>(width, height, dpi);
    header.NumCopies = 1;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.cupsColorSpace = CUPS_CSPACE_K;
    header.cupsNumColors = 1;
    if (dpi != 0) {
        // 32-bit arithmetic, as the header's own fields are.
        header.PageSize[0] = width * 72 / dpi;
        header.PageSize[1] = height * 72 / dpi;
    }
    return header;
}

bool writeRasterHeader(cups_raster_t* raster, const cups_page_header2_t& header)
{
    cups_page_header2_t copy = header;  // libcups takes it by pointer, not const
    return raster != nullptr && cupsRasterWriteHeader2(raster, &copy) != 0;
}

bool writeRasterPixels(cups_raster_t* raster, std::span<uint8_t> pixels)
{
    if (raster == nullptr || pixels.size() > UINT32_MAX) {
        return false;
    }
    const auto size = static_cast<unsigned>(pixels.size());
    return cupsRasterWritePixels(raster, pixels.data(), size) == size;
}

bool writeRasterPage(cups_raster_t* raster, const cups_page_header2_t& header, std::span<uint8_t> pixels)
{
    return writeRasterHeader(raster, header) && (pixels.empty() || writeRasterPixels(raster, pixels));
}

}  // namespace tvl
