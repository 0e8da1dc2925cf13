// SPDX-License-Identifier: Apache-2.0
// A job's Settings from its libpappl print options and its printer's
// defaults: the glue around settingsFromIpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include <pappl/pappl.h>

#include "app/Dither.h"
#include "settings/Settings.h"

namespace tvl {

// Fills *settings for the job at `resolution` dpi (the page's own), label
// size in dots included, and *writeTimeout with the job's write-timeout in
// seconds. false with `message` naming the value that cannot print.
bool jobSettings(pappl_job_t* job, const pappl_pr_options_t* options, int32_t resolution, Settings* settings,
                 int32_t* writeTimeout, char* message, size_t size);

// The job's write-timeout alone, for jobs that need no Settings.
bool jobWriteTimeout(pappl_job_t* job, const pappl_pr_options_t* options, int32_t* seconds, char* message,
                     size_t size);

// The job's print-content-optimize (libpappl's value: the job's, else the
// printer's default) as the dither's choice: photo, auto, or anything else
// (text, graphic, text-and-graphic), which keeps the matrix.
ContentOptimize contentOptimizeOf(pappl_content_t content);

// The job's dither matrix: libpappl's, or none for a bi-level job, whose
// grays are thresholded.
inline const DitherMatrix* ditherMatrixOf(const pappl_pr_options_t& options)
{
    return options.print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL
               ? nullptr
               : reinterpret_cast<const DitherMatrix*>(&options.dither);
}

// The print command's count of the job's copies: 1 at least.
inline int copiesOf(const pappl_pr_options_t& options)
{
    return options.copies < 1 ? 1 : options.copies;
}

}  // namespace tvl
