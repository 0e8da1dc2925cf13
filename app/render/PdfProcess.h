// SPDX-License-Identifier: Apache-2.0
// PDF pages rendered by a helper program, tavelin-pdf-render, that the job
// starts: poppler and the dozen libraries it brings (fonts, color, image
// codecs, NSS) never load into the server, which keeps the server small,
// and a PDF that crashes or hangs poppler takes down only its own job's
// helper, which a cancel kills.
//
// The helper renders, places and dithers each page as renderPdf does and
// writes the labels to its standard output as frames:
//   'P' width length (32-bit, low byte first), then length rows of
//       (width + 7) / 8 bytes: one label;
//   'D': the document is done;
//   'F' n (32-bit), then n bytes: the document failed, and why.
#pragma once

#include <cstdint>
#include <string>

#include "app/render/Decode.h"
#include "app/render/Writer.h"

namespace tvl {

inline constexpr char kPdfRendererName[] = "tavelin-pdf-render";

// Renders the PDF through the helper and hands its labels to writer->sink,
// as renderPdf does in-process, with its results. Kills the helper when the
// sink stops the document or asks to stop.
PageResult renderPdfInHelper(const DocumentInput& input, PageWriter* writer, std::string* reason) noexcept;

// Frame heads, shared by both ends.
namespace pdf_frame {
inline constexpr char kPage = 'P';
inline constexpr char kDone = 'D';
inline constexpr char kFailed = 'F';
inline void putLe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t getLe32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
}  // namespace pdf_frame

}  // namespace tvl
