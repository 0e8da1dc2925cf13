// Raster pages through the built filter: bands, compression, print command.
#include <gtest/gtest.h>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace {

const std::string kSetup27 = "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n";

FilterRun printPages(const std::vector<TestPage>& pages, const std::string& options, bool compressedStream = false)
{
    const std::string in = tempPath("page.ras");
    writeRasterFile(in, pages, compressedStream);
    FilterCall call;
    call.ppd = testPpd("model27.ppd");
    call.options = options;
    call.stdinPath = in;
    return runFilter(call);
}

TEST(RasterPage, WorkedExampleRawAndCompressed)
{
    const TestPage page = bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18});
    for (bool stream : {false, true}) {
        const FilterRun raw = printPages({page}, "", stream);
        EXPECT_EQ(raw.status, 0);
        EXPECT_EQ(hexBytes(raw.out.substr(kSetup27.size())),
                  "53 4F 54 0D 0A "
                  "4C 44 00 00 00 00 02 00 03 00 FF 00 00 FF 81 18 "
                  "0D 0A 50 31 0D 0A");
        const FilterRun packed = printPages({page}, "CompPrinting=1", stream);
        EXPECT_EQ(packed.status, 0);
        EXPECT_EQ(hexBytes(packed.out.substr(kSetup27.size())),
                  "53 4F 54 0D 0A "
                  "4C 43 52 00 00 00 00 00 02 00 03 00 FF 01 00 02 FF 01 81 18 "
                  "0D 0A 50 31 0D 0A");
    }
}

}  // namespace
