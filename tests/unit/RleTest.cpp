// SPDX-License-Identifier: Apache-2.0
// Run-length coder: worked examples and edge cases byte for byte, a decoder
// that gives every random input back, and the log lines of one band.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "output/Rle.h"
#include "tests/support/RunFilter.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

std::vector<uint8_t> bytesOf(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string stringOf(const uint8_t* p, size_t n)
{
    return std::string(reinterpret_cast<const char*>(p), n);
}

std::string encode(const std::string& in)
{
    std::vector<uint8_t> out(rleMaxEncodedSize(in.size()));
    const size_t n = rleEncode(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(in.data()), in.size()), out);
    return hexBytes(stringOf(out.data(), n));
}

// The decoder the printer runs: 00 n and FF n stand for n such bytes, every
// other byte for itself. Returns false on a stray value byte or a count of 0.
bool decode(const std::vector<uint8_t>& coded, std::vector<uint8_t>* plain)
{
    plain->clear();
    for (size_t i = 0; i < coded.size(); ++i) {
        const uint8_t b = coded[i];
        if (b != 0x00 && b != 0xFF) {
            plain->push_back(b);
            continue;
        }
        if (i + 1 >= coded.size() || coded[i + 1] == 0) {
            return false;
        }
        plain->insert(plain->end(), coded[i + 1], b);
        ++i;
    }
    return true;
}

TEST(Rle, WorkedExamples)
{
    EXPECT_EQ(encode(fromHex("12 00 00 00 FF 34 FF FF 00")), "12 00 03 FF 01 34 FF 02 00 01");
    EXPECT_EQ(encode(std::string(300, '\x00')), "00 FF 00 2D");
    EXPECT_EQ(encode(std::string(255, '\xFF')), "FF FF");
    EXPECT_EQ(encode(std::string(256, '\xFF')), "FF FF FF 01");
    EXPECT_EQ(encode(fromHex("41 42 43")), "41 42 43");
}

TEST(Rle, EdgeCases)
{
    struct Case {
        const char* name;
        std::string in;
        const char* out;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"single 00 grows", fromHex("00"), "00 01"},
        {"single FF grows", fromHex("FF"), "FF 01"},
        {"adjacent runs", fromHex("00 00 FF FF FF"), "00 02 FF 03"},
        {"run between plain bytes", fromHex("7E 00 00 7E"), "7E 00 02 7E"},
        {"alternating worst case", fromHex("00 FF 00 FF"), "00 01 FF 01 00 01 FF 01"},
        {"254 zeros", std::string(254, '\x00'), "00 FE"},
        {"510 zeros: two full runs", std::string(510, '\x00'), "00 FF 00 FF"},
        {"511 zeros: cut at 255 twice", std::string(511, '\x00'), "00 FF 00 FF 00 01"},
        {"256 FF then 00", std::string(256, '\xFF') + fromHex("00"), "FF FF FF 01 00 01"},
        {"plain 01 and FE", fromHex("01 FE 80 7F"), "01 FE 80 7F"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encode(c.in), c.out) << c.name;
    }
}

TEST(Rle, RunStopsAtTheInputsEnd)
{
    // Bytes of the same value lie in memory right behind the input.
    const std::vector<uint8_t> memory = bytesOf(fromHex("AB 00 00 00 00 00 00 00"));
    std::vector<uint8_t> out(16, 0xEE);
    const size_t n = rleEncode(std::span<const uint8_t>(memory.data(), 4), std::span<uint8_t>(out.data(), 8));
    EXPECT_EQ(hexBytes(stringOf(out.data(), n)), "AB 00 03");
    EXPECT_EQ(out[n], 0xEE) << "nothing written past the coded length";

    const std::vector<uint8_t> ones = bytesOf(fromHex("FF FF FF FF FF"));
    const size_t m = rleEncode(std::span<const uint8_t>(ones.data(), 3), std::span<uint8_t>(out.data(), 6));
    EXPECT_EQ(hexBytes(stringOf(out.data(), m)), "FF 03");
}

TEST(Rle, BandOfRowsStopsAtRowsTimesBytesPerLine)
{
    // Two rows of three bytes; the band buffer holds more zeros behind them.
    std::vector<uint8_t> band = bytesOf(fromHex("01 00 00 00 00 00 00 00 00 00"));
    std::vector<uint8_t> out(32, 0xEE);
    StringOutput o;
    const size_t n = RLECompression(o.out, band.data(), out.data(), 2, 3);
    EXPECT_EQ(hexBytes(stringOf(out.data(), n)), "01 00 05");
    EXPECT_EQ(out[n], 0xEE);
}

TEST(Rle, RandomInputsRoundTripWithinTwiceTheirSize)
{
    std::mt19937 random(20261207);
    for (int trial = 0; trial < 2000; ++trial) {
        const size_t length = random() % 1200;
        // Mostly 00 and FF so that runs of every length, up to past 255, occur.
        const unsigned mix = random() % 4;
        std::vector<uint8_t> in(length);
        uint8_t current = 0;
        for (size_t i = 0; i < length; ++i) {
            const unsigned r = random() % 1000;
            if (r < 20 + mix * 60) {
                current = r % 3 == 0 ? 0x00 : r % 3 == 1 ? 0xFF : static_cast<uint8_t>(random());
            }
            in[i] = current;
        }
        // Guard bytes behind the output show any write past twice the input.
        std::vector<uint8_t> out(2 * length + 8, 0xA5);
        const size_t n = rleEncode(in, std::span<uint8_t>(out.data(), 2 * length));
        ASSERT_LE(n, 2 * length) << "trial " << trial;
        for (size_t i = 2 * length; i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0xA5) << "trial " << trial << ": write past twice the input";
        }
        std::vector<uint8_t> back;
        ASSERT_TRUE(decode(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(n)), &back))
            << "trial " << trial;
        ASSERT_EQ(back, in) << "trial " << trial;
    }
}

TEST(Rle, WorstCaseIsExactlyTwiceTheInput)
{
    std::vector<uint8_t> in(1000);
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = i % 2 == 0 ? 0x00 : 0xFF;
    }
    std::vector<uint8_t> out(2000);
    EXPECT_EQ(rleEncode(in, out), 2000u);
}

TEST(Rle, CompressionLogsEveryRun)
{
    const std::vector<uint8_t> band = bytesOf(fromHex("12 00 00 00 FF 34 FF FF 00"));
    std::vector<uint8_t> out(18);
    StringOutput o;
    const size_t n = RLECompression(o.out, band.data(), out.data(), 3, 3);
    EXPECT_EQ(linesOf(o.log.text), (std::vector<std::string>{
                               "TAVELIN Label Driver DEBUG MSG : start RLE Compression",
                               "TAVELIN Label Driver DEBUG MSG : compData = 0x00, compDataLength = 3",
                               "TAVELIN Label Driver DEBUG MSG : compData = 0xff, compDataLength = 1",
                               "TAVELIN Label Driver DEBUG MSG : compData = 0xff, compDataLength = 2",
                               "TAVELIN Label Driver DEBUG MSG : compData = 0x00, compDataLength = 1",
                               "TAVELIN Label Driver DEBUG MSG : RLE Compression complete",
                           }));
    EXPECT_EQ(hexBytes(stringOf(out.data(), n)), "12 00 03 FF 01 34 FF 02 00 01");
}

TEST(Rle, CompressionOfLongRunLogsEachCut)
{
    const std::vector<uint8_t> band(300, 0x00);
    std::vector<uint8_t> out(600);
    StringOutput o;
    EXPECT_EQ(RLECompression(o.out, band.data(), out.data(), 1, 300), 4u);
    EXPECT_EQ(linesOf(o.log.text), (std::vector<std::string>{
                               "TAVELIN Label Driver DEBUG MSG : start RLE Compression",
                               "TAVELIN Label Driver DEBUG MSG : compData = 0x00, compDataLength = 255",
                               "TAVELIN Label Driver DEBUG MSG : compData = 0x00, compDataLength = 45",
                               "TAVELIN Label Driver DEBUG MSG : RLE Compression complete",
                           }));
}

TEST(Rle, ApplicationLogGetsNoRunLines)
{
    const std::vector<uint8_t> band = bytesOf(fromHex("12 00 00 00 FF 34 FF FF 00"));
    std::vector<uint8_t> out(18);
    StringOutput o;
    o.log.runLines = false;
    const size_t n = RLECompression(o.out, band.data(), out.data(), 3, 3);
    EXPECT_EQ(linesOf(o.log.text), (std::vector<std::string>{
                                       "TAVELIN Label Driver DEBUG MSG : start RLE Compression",
                                       "TAVELIN Label Driver DEBUG MSG : RLE Compression complete",
                                   }));
    EXPECT_EQ(hexBytes(stringOf(out.data(), n)), "12 00 03 FF 01 34 FF 02 00 01");
}

TEST(Rle, EmptyBandLogsOnlyStartAndEnd)
{
    const uint8_t band[1] = {0x00};
    uint8_t out[2] = {0xEE, 0xEE};
    for (auto [rows, bytesPerLine] : {std::pair{0u, 5u}, std::pair{5u, 0u}}) {
        StringOutput o;
        EXPECT_EQ(RLECompression(o.out, band, out, rows, bytesPerLine), 0u);
        EXPECT_EQ(linesOf(o.log.text), (std::vector<std::string>{
                                   "TAVELIN Label Driver DEBUG MSG : start RLE Compression",
                                   "TAVELIN Label Driver DEBUG MSG : RLE Compression complete",
                               }));
        EXPECT_EQ(out[0], 0xEE);
    }
}

}  // namespace

}  // namespace tvl
