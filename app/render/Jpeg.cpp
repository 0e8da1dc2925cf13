// SPDX-License-Identifier: Apache-2.0
// JPEG through libjpeg. libjpeg reports errors through error_exit, which
// here longjmps: the functions that set the jump point hold only plain C
// state (JpegState); every object with a destructor lives in decodeJpeg.
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

#include "app/render/Decode.h"
#include "app/render/Reduce.h"

namespace tvl {

namespace {

constexpr uint32_t kStopCheckRows = 256;
// A progressive file may hold any number of scans, each a pass over the
// whole image; real files have at most a few dozen.
constexpr int kMaxScans = 1000;
constexpr size_t kInputBufferBytes = 65536;
// A progressive (or multi-scan) file is held whole by the decoder as DCT
// coefficients, about 2 bytes per pixel and component; beyond this it is
// refused ("Backing store not supported") rather than held.
constexpr long kMaxDecoderMemory = 256L << 20;

struct JpegState {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    bool created = false;
    bool stopped = false;
    int fd = -1;
    bool cmyk = false;
    bool inverted = false;
    JSAMPARRAY row = nullptr;
    char message[JMSG_LENGTH_MAX] = {};
    JOCTET input[kInputBufferBytes];
};

struct JpegHandle {
    JpegState state;
    ~JpegHandle()
    {
        if (state.created) {
            jpeg_destroy_decompress(&state.cinfo);
        }
    }
};

JpegState* stateOf(j_common_ptr cinfo)
{
    return static_cast<JpegState*>(cinfo->client_data);
}

[[noreturn]] void jpegError(j_common_ptr cinfo)
{
    JpegState* st = stateOf(cinfo);
    (*cinfo->err->format_message)(cinfo, st->message);
    std::longjmp(st->jump, 1);
}

void jpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) {
        // A warning: corrupt or missing data, which libjpeg would paper
        // over (a premature end becomes a gray tail). Fail instead.
        jpegError(cinfo);
    }
}

void jpegProgress(j_common_ptr cinfo)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        JpegState* st = stateOf(cinfo);
        std::snprintf(st->message, sizeof st->message, "more than %d scans", kMaxScans);
        std::longjmp(st->jump, 1);
    }
}

void sourceInit(j_decompress_ptr) {}
void sourceTerm(j_decompress_ptr) {}

boolean sourceFill(j_decompress_ptr cinfo)
{
    JpegState* st = stateOf(reinterpret_cast<j_common_ptr>(cinfo));
    ssize_t n = 0;
    do {
        n = read(st->fd, st->input, sizeof st->input);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (n == 0) {
        ERREXIT(cinfo, JERR_INPUT_EOF);
    }
    st->source.next_input_byte = st->input;
    st->source.bytes_in_buffer = static_cast<size_t>(n);
    return TRUE;
}

void sourceSkip(j_decompress_ptr cinfo, long count)
{
    JpegState* st = stateOf(reinterpret_cast<j_common_ptr>(cinfo));
    while (count > 0) {
        if (st->source.bytes_in_buffer == 0) {
            sourceFill(cinfo);
        }
        const size_t step = static_cast<size_t>(count) < st->source.bytes_in_buffer ? static_cast<size_t>(count)
                                                                                     : st->source.bytes_in_buffer;
        st->source.next_input_byte += step;
        st->source.bytes_in_buffer -= step;
        count -= static_cast<long>(step);
    }
}

// Header, output color space and the decoder's own reduction.
bool jpegStart(JpegState* st, uint32_t* width, uint32_t* height)
{
    if (setjmp(st->jump)) {
        return false;
    }
    jpeg_std_error(&st->err);
    st->err.error_exit = jpegError;
    st->err.emit_message = jpegMessage;
    st->cinfo.err = &st->err;
    st->cinfo.client_data = st;
    st->created = true;
    jpeg_create_decompress(&st->cinfo);
    st->cinfo.client_data = st;  // jpeg_create_decompress clears the struct
    st->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    st->source.init_source = sourceInit;
    st->source.fill_input_buffer = sourceFill;
    st->source.skip_input_data = sourceSkip;
    st->source.resync_to_restart = jpeg_resync_to_restart;
    st->source.term_source = sourceTerm;
    st->source.bytes_in_buffer = 0;
    st->source.next_input_byte = nullptr;
    st->cinfo.src = &st->source;
    st->progress.progress_monitor = jpegProgress;
    st->cinfo.progress = &st->progress;
    jpeg_read_header(&st->cinfo, TRUE);
    // Arithmetic-coded data may stop anywhere: the decoder then goes on with
    // zeros to the end of the image, as the format allows, so a file of a
    // hundred bytes can ask for seconds of work on hundreds of millions of
    // pixels. No camera, browser or rasterizer writes such files.
    if (st->cinfo.arith_code) {
        std::snprintf(st->message, sizeof st->message, "arithmetic-coded files are not supported");
        return false;
    }
    *width = st->cinfo.image_width;
    *height = st->cinfo.image_height;
    switch (st->cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        st->cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        st->cinfo.out_color_space = JCS_CMYK;
        st->cmyk = true;
        st->inverted = st->cinfo.saw_Adobe_marker != 0;
        break;
    default:
        std::snprintf(st->message, sizeof st->message, "unsupported color space %d",
                      static_cast<int>(st->cinfo.jpeg_color_space));
        return false;
    }
    return true;
}

bool jpegScale(JpegState* st, uint32_t wantWidth, uint32_t wantHeight)
{
    if (setjmp(st->jump)) {
        return false;
    }
    // The largest of 1/8, 1/4, 1/2 that still leaves at least the wanted size.
    st->cinfo.scale_num = 1;
    st->cinfo.scale_denom = 1;
    for (unsigned d = 8; d > 1; d /= 2) {
        if ((st->cinfo.image_width + d - 1) / d >= wantWidth && (st->cinfo.image_height + d - 1) / d >= wantHeight) {
            st->cinfo.scale_denom = d;
            break;
        }
    }
    jpeg_start_decompress(&st->cinfo);
    const size_t stride = static_cast<size_t>(st->cinfo.output_width) * st->cinfo.output_components;
    st->row = (*st->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&st->cinfo), JPOOL_IMAGE,
                                              static_cast<JDIMENSION>(stride), 1);
    return true;
}

bool jpegRows(JpegState* st, uint8_t* gray, AreaReducer* reducer, PageSink* stop)
{
    if (setjmp(st->jump)) {
        return false;
    }
    const uint32_t width = st->cinfo.output_width;
    while (st->cinfo.output_scanline < st->cinfo.output_height) {
        const uint32_t y = st->cinfo.output_scanline;
        if (stop != nullptr && y % kStopCheckRows == 0 && stop->shouldStop()) {
            st->stopped = true;
            return false;
        }
        if (jpeg_read_scanlines(&st->cinfo, st->row, 1) != 1) {
            std::snprintf(st->message, sizeof st->message, "no row %u", y);
            return false;
        }
        if (st->cmyk) {
            cmykToGray(st->row[0], width, st->inverted, gray);
        } else {
            samplesToGray(st->row[0], width, 1, gray);
        }
        reducerAddRow(reducer, y, gray, width, 0, 1);
    }
    jpeg_finish_decompress(&st->cinfo);
    return true;
}

PageResult decodeJpegFd(int fd, const LabelGeometry& label, PageSink* stop, GrayImage* out, std::string* reason)
{
    JpegHandle h;
    h.state.fd = fd;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    if (!jpegStart(&h.state, &imageWidth, &imageHeight)) {
        return unrendered("JPEG", h.state.message, reason);
    }
    if (!checkImageSize(imageWidth, imageHeight, reason)) {
        return unrendered();
    }
    uint32_t width = 0;
    uint32_t height = 0;
    reducedSize(label, imageWidth, imageHeight, &width, &height);
    if (!jpegScale(&h.state, width, height)) {
        return unrendered("JPEG", h.state.message, reason);
    }
    const uint32_t decodedWidth = h.state.cinfo.output_width;
    const uint32_t decodedHeight = h.state.cinfo.output_height;
    AreaReducer reducer;
    if (!reducerInit(&reducer, decodedWidth, decodedHeight, std::min(width, decodedWidth),
                     std::min(height, decodedHeight), false, reason)) {
        return unrendered();
    }
    ByteBuffer gray = allocateBytes(decodedWidth, false);
    if (!gray) {
        return unrendered("JPEG", "out of memory for a row", reason);
    }
    const bool rowsRead = jpegRows(&h.state, gray.get(), &reducer, stop);
    return decodedImage("JPEG", rowsRead, h.state.stopped, h.state.message, &reducer, out, reason);
}

}  // namespace

PageResult decodeJpeg(const DocumentInput& input, const LabelGeometry& label, PageSink* stop, GrayImage* out,
               std::string* reason) noexcept
{
    return decodeInput("JPEG", decodeJpegFd, input, label, stop, out, reason);
}

}  // namespace tvl
