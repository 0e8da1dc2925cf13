// SPDX-License-Identifier: Apache-2.0
// Rendering of the documents the printer application accepts besides its
// raster formats - PNG, JPEG, PDF - and of its test label, into the
// printer's 1-bit labels. No PAPPL here: a PAPPL filter callback reads the
// job's file and options, calls renderDocument with a PageSink that writes
// each label through the core, and ends the job with the reason on failure.
//
// Every call is self-contained (no process-wide state of its own), so jobs
// on different threads may render at once. A PDF is rendered by a helper
// program of its own, one per job (PdfProcess.h): poppler never loads into
// the server.
#pragma once

#include <string>

#include "app/Dither.h"
#include "app/render/Decode.h"
#include "app/render/Page.h"
#include "app/render/Place.h"
#include "app/render/TestLabel.h"

namespace tvl {

enum class DocumentKind { Png, Jpeg, Pdf };

// The kind for a MIME type ("image/png", "image/jpeg", "application/pdf").
bool documentKindForMime(const char* mimeType, DocumentKind* kind);

// Renders a document into labels of label.widthDots x label.lengthDots:
//  - PNG, JPEG: one label; the image reduced while decoding, then turned
//    (label.orientation, see Place.h), scaled to fit with its aspect ratio
//    kept, centred, white around;
//  - PDF: one label per page, each rendered at the resolution that makes it
//    fit the label (never finer), then placed the same way.
// Each label is dithered with `matrix` (null: threshold at mid-gray; see
// ditherRow), or diffused (diffuseRow) when `content` says photo, or, for
// "auto", when the image is a JPEG or a PNG that looksLikePhoto; never
// when bi-level. It is handed to sink.takePage, once - copies are the
// caller's.
// True when every page was handed on, or the sink stopped the document
// (takePage false, or shouldStop true). False, with *reason, when the
// document cannot be read or rendered; pages already handed on stay so
// (a PDF whose third page is broken has handed on two).
bool renderDocument(DocumentKind kind, const DocumentInput& input, const LabelGeometry& label,
                    const DitherMatrix* matrix, PageSink& sink, std::string* reason,
                    ContentOptimize content = ContentOptimize::Auto) noexcept;

// Whether an image document is diffused (see renderDocument); `image` is
// the decoded image.
bool imageDiffuses(ContentOptimize content, DocumentKind kind, const GrayImage& image);

// The test label (TestLabel.h) for the label's size and label.dpi, as one
// page to the sink. label.orientation is not used.
bool renderTestLabel(const LabelGeometry& label, const TestLabelInfo& info, const DitherMatrix* matrix,
                     PageSink& sink, std::string* reason) noexcept;

}  // namespace tvl
