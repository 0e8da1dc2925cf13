// Run-length coder: worked examples, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "output/Rle.h"
#include "tests/support/RunFilter.h"

namespace {

std::string encode(const std::string& in)
{
    std::vector<uint8_t> out(rleMaxEncodedSize(in.size()));
    const size_t n = rleEncode(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(in.data()), in.size()), out);
    return hexBytes(std::string(reinterpret_cast<const char*>(out.data()), n));
}

TEST(Rle, WorkedExamples)
{
    EXPECT_EQ(encode(fromHex("12 00 00 00 FF 34 FF FF 00")), "12 00 03 FF 01 34 FF 02 00 01");
    EXPECT_EQ(encode(std::string(300, '\x00')), "00 FF 00 2D");
    EXPECT_EQ(encode(std::string(255, '\xFF')), "FF FF");
    EXPECT_EQ(encode(std::string(256, '\xFF')), "FF FF FF 01");
    EXPECT_EQ(encode(fromHex("41 42 43")), "41 42 43");
}

}  // namespace
