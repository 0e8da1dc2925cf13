// SPDX-License-Identifier: Apache-2.0
// The raster callbacks: PWG and Apple raster pages in 8-bit gray, cropped
// or padded to the label, dithered to the printer's bits and sent through
// the core; and the pass-through of native command files.
#pragma once

#include <pappl/pappl.h>

namespace tvl {

bool rasterStartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool rasterStartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool rasterWriteLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned y,
                     const unsigned char* line);
bool rasterEndPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool rasterEndJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// A native command file, sent byte for byte.
bool printNativeFile(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

}  // namespace tvl
