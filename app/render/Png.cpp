// SPDX-License-Identifier: Apache-2.0
// PNG through libpng. libpng reports errors by longjmp: the functions that
// set a jump point below hold only plain C state (PngState), and every
// object with a destructor lives in decodePng, outside them.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <unistd.h>

#include <png.h>

#include "app/render/Decode.h"
#include "app/render/Reduce.h"

namespace tvl {

namespace {

// How often, in rows, a long decode asks whether to stop.
constexpr uint32_t kStopCheckRows = 256;

struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    int fd = -1;
    bool stopped = false;
    char message[256] = {};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int interlace = 0;
    int channels = 0;
    size_t rowBytes = 0;
};

struct PngHandle {
    PngState state;
    ~PngHandle() { png_destroy_read_struct(&state.png, &state.info, nullptr); }
};

[[noreturn]] void pngError(png_structp png, png_const_charp message)
{
    auto* st = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(st->message, sizeof st->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp)
{
    // Warnings are about ancillary chunks that libpng skips: the pixels
    // are still whole.
}

void pngRead(png_structp png, png_bytep data, size_t length)
{
    auto* st = static_cast<PngState*>(png_get_io_ptr(png));
    size_t done = 0;
    while (done < length) {
        const ssize_t n = read(st->fd, data + done, length - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            png_error(png, n == 0 ? "the file ends early (truncated)" : "read error");
        }
        done += static_cast<size_t>(n);
    }
}

// The header, and the transformations to 8-bit gray, gray + alpha, RGB or
// RGBA (palette expanded, tRNS made alpha, 16 bits scaled to 8).
bool pngStart(PngState* st)
{
    if (setjmp(png_jmpbuf(st->png))) {
        return false;
    }
    png_set_read_fn(st->png, st, pngRead);
    png_read_info(st->png, st->info);
    int bitDepth = 0;
    int colorType = 0;
    png_get_IHDR(st->png, st->info, &st->width, &st->height, &bitDepth, &colorType, &st->interlace, nullptr,
                 nullptr);
    png_set_expand(st->png);
    if (bitDepth == 16) {
        png_set_scale_16(st->png);
    }
    // Interlaced images are read pass by pass (no png_set_interlace_handling),
    // each pass's pixels placed where they belong, so no full image is held.
    png_read_update_info(st->png, st->info);
    st->channels = png_get_channels(st->png, st->info);
    st->rowBytes = png_get_rowbytes(st->png, st->info);
    if (st->channels < 1 || st->channels > 4 || png_get_bit_depth(st->png, st->info) != 8) {
        std::snprintf(st->message, sizeof st->message, "unexpected PNG layout after conversion");
        return false;
    }
    return true;
}

bool stopNow(PngState* st, PageSink* stop, uint32_t rowsRead)
{
    if (stop != nullptr && rowsRead % kStopCheckRows == 0 && stop->shouldStop()) {
        st->stopped = true;
        std::snprintf(st->message, sizeof st->message, "stopped");
        return true;
    }
    return false;
}

// All rows (or all passes), then the chunks after the image: a file cut
// anywhere before its end fails here.
bool pngRows(PngState* st, uint8_t* row, uint8_t* gray, AreaReducer* reducer, PageSink* stop)
{
    if (setjmp(png_jmpbuf(st->png))) {
        return false;
    }
    uint32_t rowsRead = 0;
    if (st->interlace == PNG_INTERLACE_NONE) {
        for (uint32_t y = 0; y < st->height; ++y) {
            if (stopNow(st, stop, rowsRead++)) {
                return false;
            }
            png_read_row(st->png, row, nullptr);
            samplesToGray(row, st->width, st->channels, gray);
            reducerAddRow(reducer, y, gray, st->width, 0, 1);
        }
    } else {
        for (int pass = 0; pass < 7; ++pass) {
            const uint32_t cols = PNG_PASS_COLS(st->width, pass);
            const uint32_t rows = PNG_PASS_ROWS(st->height, pass);
            if (cols == 0 || rows == 0) {
                continue;  // libpng skips empty passes too
            }
            for (uint32_t j = 0; j < rows; ++j) {
                if (stopNow(st, stop, rowsRead++)) {
                    return false;
                }
                png_read_row(st->png, row, nullptr);
                samplesToGray(row, cols, st->channels, gray);
                reducerAddRow(reducer, PNG_ROW_FROM_PASS_ROW(j, pass), gray, cols, PNG_PASS_START_COL(pass),
                              PNG_PASS_COL_OFFSET(pass));
            }
        }
    }
    png_read_end(st->png, nullptr);
    return true;
}

PageResult decodePngFd(int fd, const LabelGeometry& label, PageSink* stop, GrayImage* out, std::string* reason)
{
    PngHandle h;
    h.state.fd = fd;
    h.state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &h.state, pngError, pngWarning);
    if (h.state.png != nullptr) {
        h.state.info = png_create_info_struct(h.state.png);
    }
    if (h.state.png == nullptr || h.state.info == nullptr) {
        return unrendered("PNG", "cannot set up the decoder", reason);
    }
    if (!pngStart(&h.state)) {
        return unrendered("PNG", h.state.message, reason);
    }
    if (!checkImageSize(h.state.width, h.state.height, reason)) {
        return unrendered();
    }
    uint32_t width = 0;
    uint32_t height = 0;
    reducedSize(label, h.state.width, h.state.height, &width, &height);
    AreaReducer reducer;
    if (!reducerInit(&reducer, h.state.width, h.state.height, width, height, h.state.interlace != PNG_INTERLACE_NONE,
                     reason)) {
        return unrendered();
    }
    ByteBuffer row = allocateBytes(h.state.rowBytes, false);
    ByteBuffer gray = allocateBytes(h.state.width, false);
    if (!row || !gray) {
        return unrendered("PNG", "out of memory for a row", reason);
    }
    const bool rowsRead = pngRows(&h.state, row.get(), gray.get(), &reducer, stop);
    return decodedImage("PNG", rowsRead, h.state.stopped, h.state.message, &reducer, out, reason);
}

}  // namespace

PageResult decodePng(const DocumentInput& input, const LabelGeometry& label, PageSink* stop, GrayImage* out,
               std::string* reason) noexcept
{
    return decodeInput("PNG", decodePngFd, input, label, stop, out, reason);
}

}  // namespace tvl
