// SPDX-License-Identifier: Apache-2.0
// PDF pages through poppler, one label per page.
#pragma once

#include <string>

#include "app/render/Decode.h"
#include "app/render/Writer.h"

namespace tvl {

// Largest PDF read from a descriptor (a path is handed to poppler as is).
inline constexpr size_t kMaxPdfBytes = size_t{1} << 30;

// Renders each page in gray at the resolution that makes it fit the label
// (turned as the label's orientation asks; 0 turns landscape pages onto
// portrait labels), then places, dithers and hands it on. Rendering is
// without anti-aliasing, so that bars and text edges stay sharp for a
// printer that has only black and white. Stopped when the sink says so.
// Unrendered with a reason when the file is not a PDF, is locked by a
// password, has no pages, or a page cannot be rendered.
PageResult renderPdf(const DocumentInput& input, PageWriter* writer, std::string* reason) noexcept;

}  // namespace tvl
