// SPDX-License-Identifier: Apache-2.0
// Run-length coding of a band for the compressed band block.
//
// Only 0x00 and 0xFF bytes (eight like pixels) are coded, as the byte
// followed by a run count 1..255; every other byte stands for itself.
//   12 00 00 00 FF 34  ->  12 00 03 FF 01 34
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "output/Sink.h"

namespace tvl {

// Called once per run, in order, with the run's byte and count.
using RleRunObserver = void (*)(void* context, uint8_t value, unsigned count);

// Upper bound of the coded size: every byte may become two.
constexpr size_t rleMaxEncodedSize(size_t inputLength)
{
    return inputLength * 2;
}

// Codes `input` into `output` (at least rleMaxEncodedSize(input.size())
// bytes) and returns the coded length. Never reads past the input's end.
size_t rleEncode(std::span<const uint8_t> input, std::span<uint8_t> output,
                 RleRunObserver observer = nullptr, void* context = nullptr);

// Codes rows x bytesPerLine bytes of a band, logging the start, every run
// (when the log wants run lines) and the end. Returns the coded length.
size_t RLECompression(Output& out, const uint8_t* input, uint8_t* output, uint32_t rows, uint32_t bytesPerLine);

}  // namespace tvl
