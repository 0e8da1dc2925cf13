// SPDX-License-Identifier: Apache-2.0
#include "tests/render/Inputs.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <jpeglib.h>
#include <png.h>

namespace tvl {

namespace {

struct PngWriter {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter()
    {
        png_destroy_write_struct(&png, &info);
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    bool open(const std::string& path)
    {
        file = std::fopen(path.c_str(), "wb");
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        info = png == nullptr ? nullptr : png_create_info_struct(png);
        if (file == nullptr || info == nullptr) {
            return false;
        }
        png_init_io(png, file);
        return true;
    }
};

// Samples of one pixel, most significant first, `bits` each.
void putSample(uint8_t* row, size_t index, int bits, uint32_t value)
{
    if (bits == 16) {
        row[index * 2] = static_cast<uint8_t>(value >> 8);
        row[index * 2 + 1] = static_cast<uint8_t>(value);
    } else if (bits == 8) {
        row[index] = static_cast<uint8_t>(value);
    } else {
        const size_t bit = index * bits;
        row[bit / 8] |= static_cast<uint8_t>(value << (8 - bits - bit % 8));
    }
}

}  // namespace

namespace {

size_t rowBytes(const PngLayout& layout)
{
    const int channels = layout.colorType == PNG_COLOR_TYPE_PALETTE ? 1
                         : layout.colorType == PNG_COLOR_TYPE_GRAY  ? 1
                         : layout.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                         : layout.colorType == PNG_COLOR_TYPE_RGB ? 3
                                                                : 4;
    return (static_cast<size_t>(layout.width) * channels * layout.bitDepth + 7) / 8;
}

// libpng longjmps on error: nothing with a destructor lives here.
bool writePngBody(PngWriter& w, const PngLayout& layout, const Scene& black, uint8_t* row, size_t bytes)
{
    if (setjmp(png_jmpbuf(w.png))) {
        return false;
    }
    png_set_user_limits(w.png, 0x7fffffff, 0x7fffffff);
    png_set_compression_level(w.png, layout.compression);
    png_set_IHDR(w.png, w.info, layout.width, layout.height, layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const bool palette = layout.colorType == PNG_COLOR_TYPE_PALETTE;
    if (palette) {
        png_color colors[3] = {{255, 255, 255}, {0, 0, 0}, {0, 0, 0}};
        png_set_PLTE(w.png, w.info, colors, 3);
        png_byte alpha[3] = {255, 255, 0};
        if (layout.transparentPalette) {
            png_set_tRNS(w.png, w.info, alpha, 3, nullptr);
        }
    }
    if (layout.nonSquarePixels) {
        png_set_pHYs(w.png, w.info, 3000, 1500, PNG_RESOLUTION_METER);
    }
    png_write_info(w.png, w.info);
    if (black == nullptr) {  // header and one stored row only
        std::memset(row, 0, bytes);
        png_write_row(w.png, row);
        return true;
    }
    const int passes = layout.interlaced ? png_set_interlace_handling(w.png) : 1;
    const int channels = png_get_channels(w.png, w.info);
    const bool alpha = (layout.colorType & PNG_COLOR_MASK_ALPHA) != 0;
    const uint32_t max = (1u << layout.bitDepth) - 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (uint32_t y = 0; y < layout.height; ++y) {
            std::memset(row, 0, bytes);
            for (uint32_t x = 0; x < layout.width; ++x) {
                const bool b = black(x, y);
                const size_t at = static_cast<size_t>(x) * channels;
                if (palette) {
                    putSample(row, x, layout.bitDepth, b ? 1 : (layout.transparentPalette ? 2 : 0));
                    continue;
                }
                const int colors = alpha ? channels - 1 : channels;
                for (int c = 0; c < colors; ++c) {
                    putSample(row, at + c, layout.bitDepth, (b || alpha) ? 0 : max);
                }
                if (alpha) {
                    putSample(row, at + colors, layout.bitDepth, b ? max : 0);
                }
            }
            png_write_row(w.png, row);
        }
    }
    png_write_end(w.png, w.info);
    return true;
}

bool writeQuarterBody(PngWriter& w, uint32_t width, uint32_t height, const uint8_t* white, const uint8_t* half)
{
    if (setjmp(png_jmpbuf(w.png))) {
        return false;
    }
    png_set_compression_level(w.png, 1);
    png_set_filter(w.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(w.png, w.info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.png, w.info);
    for (uint32_t y = 0; y < height; ++y) {
        png_write_row(w.png, y < height / 2 ? white : half);
    }
    png_write_end(w.png, w.info);
    return true;
}

}  // namespace

bool writeQuarterPng(const std::string& path, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> white(width, 255);
    std::vector<uint8_t> half(width, 255);
    std::fill_n(half.begin(), width / 2, 0);
    PngWriter w;
    return w.open(path) && writeQuarterBody(w, width, height, white.data(), half.data());
}

bool writePng(const std::string& path, const PngLayout& layout, const Scene& black)
{
    PngWriter w;
    std::vector<uint8_t> row(rowBytes(layout));
    return w.open(path) && writePngBody(w, layout, black, row.data(), row.size());
}

bool writePngHeader(const std::string& path, uint32_t width, uint32_t height)
{
    // Stored, so that one wide row fills image chunks at once: the decoder
    // finds the header and the start of the image, and nothing more.
    PngLayout layout{PNG_COLOR_TYPE_GRAY, 8, false, width, height, false, false, 0};
    PngWriter w;
    std::vector<uint8_t> row(rowBytes(layout));
    return w.open(path) && writePngBody(w, layout, nullptr, row.data(), row.size());
}

bool writeJpeg(const std::string& path, JpegColor color, uint32_t width, uint32_t height, bool progressive,
               const Scene& black)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = width;
    c.image_height = height;
    c.input_components = color == JpegColor::Gray ? 1 : (color == JpegColor::Rgb ? 3 : 4);
    c.in_color_space = color == JpegColor::Gray ? JCS_GRAYSCALE : (color == JpegColor::Rgb ? JCS_RGB : JCS_CMYK);
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (progressive) {
        jpeg_simple_progression(&c);
    }
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * c.input_components);
    while (c.next_scanline < height) {
        const uint32_t y = c.next_scanline;
        for (uint32_t x = 0; x < width; ++x) {
            const bool b = black(x, y);
            for (int i = 0; i < c.input_components; ++i) {
                // Adobe CMYK holds 255 - ink: black is K = 0, the rest 255.
                const bool ink = color == JpegColor::AdobeCmyk ? (i < 3 || !b) : !b;
                row[static_cast<size_t>(x) * c.input_components + i] = ink ? 255 : 0;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(file) == 0;
}

std::string makePdf(const std::vector<std::string>& contents, double width, double height, bool encrypted)
{
    std::vector<std::string> objects;
    const size_t pages = contents.size();
    std::string kids;
    for (size_t i = 0; i < pages; ++i) {
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    }
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (size_t i = 0; i < pages; ++i) {
        std::ostringstream page;
        page << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " << width << " " << height << "] /Contents "
             << 4 + 2 * i << " 0 R >>";
        objects.push_back(page.str());
        objects.push_back("<< /Length " + std::to_string(contents[i].size()) + " >>\nstream\n" + contents[i] +
                          "\nendstream");
    }
    const std::string hex32(64, 'A');
    if (encrypted) {
        objects.push_back("<< /Filter /Standard /V 1 /R 2 /O <" + hex32 + "> /U <" + hex32 + "> /P -4 >>");
    }
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t o : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R";
    if (encrypted) {
        pdf += " /Encrypt " + std::to_string(objects.size()) + " 0 R /ID [<0123456789ABCDEF> <0123456789ABCDEF>]";
    }
    pdf += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tvl-render-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        path = pattern;
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!path.empty()) {
        std::filesystem::remove_all(path, ec);
    }
}

size_t Label::blackCount() const
{
    size_t n = 0;
    for (uint32_t y = 0; y < length; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            n += black(x, y);
        }
    }
    return n;
}

bool KeepPages::takePage(const PageBitmap& page) noexcept
{
    labels.push_back(Label{page.width, page.length, std::vector<uint8_t>(page.bits.begin(), page.bits.end())});
    return labels.size() < stopAfter;
}

namespace {

// Every threshold 0..255 once, 255 left out (254 twice): a matrix as the
// printer application receives one, in which white stays white.
struct Thresholds {
    unsigned char m[16][16];
    constexpr Thresholds() : m{}
    {
        for (int i = 0; i < 256; ++i) {
            m[(i * 7) % 16][(i * 11 + i / 16) % 16] = static_cast<unsigned char>(i == 255 ? 254 : i);
        }
    }
};
constexpr Thresholds kThresholds;

}  // namespace

const DitherMatrix* ditherMatrix()
{
    return &kThresholds.m;
}

}  // namespace tvl
