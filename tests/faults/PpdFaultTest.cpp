// SPDX-License-Identifier: Apache-2.0
// PPD files that no PPD compiler would write: empty, binary, cut off, with
// a model number that is no number, and with choices named by negative or
// non-numeric words. An unreadable PPD ends the job with status 1 and
// nothing sent; readable odd choices are used as the numbers they read as.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/RasterWriter.h"
#include "tests/support/RunFilter.h"

namespace tvl {

namespace {

const std::string kNotSupported = kLog + "This printer is not supported.";
const std::string kNoPages = kLog + "ERROR: No pages found!";

std::string onePageStream()
{
    return rasterFile("ppd-fault.ras", {bitmapPage(16, 3, {0xFF, 0x00, 0x00, 0xFF, 0x81, 0x18})});
}

// The bytes of a PPD file, and what the test calls them.
struct PpdCase {
    const char* name;
    std::string bytes;
};

// One page under the PPD `c`, which must end the job with status 1 and
// nothing sent.
FilterRun runRefused(const PpdCase& c, const std::string& file)
{
    FilterCall call;
    call.ppd = writeTempFile(file, c.bytes);
    call.stdinPath = onePageStream();
    const FilterRun run = runFilter(call);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    return run;
}

TEST(BadPpdFault, UnreadableFileEndsTheJob)
{
    std::mt19937 random(7);
    std::string binary(3000, '\0');
    for (char& c : binary) {
        c = static_cast<char>(random() & 0xFF);
    }
    const PpdCase cases[] = {
        {"empty", ""},
        {"binary", binary},
        {"zero bytes", std::string(512, '\0')},
        {"PPD first line, then binary", "*PPD-Adobe: \"4.3\"\n" + binary},
    };
    for (const PpdCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FilterRun run = runRefused(c, "bad.ppd");
        EXPECT_EQ(run.errLines(),
                  (std::vector<std::string>{"#### TAVELIN_CUPS_DRIVER_V" TVL_VERSION, kNotSupported, kNoPages}));
    }
}

// libcups reads these, but no model number comes out of them: model 0.
TEST(BadPpdFault, NoModelNumberRead)
{
    const std::string model27 = readFile(testPpd("model27.ppd"));
    std::string word = model27;
    const std::string line = "*cupsModelNumber: 27";
    word.replace(word.find(line), line.size(), "*cupsModelNumber: twenty-seven");
    const PpdCase cases[] = {
        {"model number that is no number", word},
        {"cut off inside a quoted value before the model number",
         model27.substr(0, model27.find("*NickName:") + 14)},
    };
    for (const PpdCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto lines = runRefused(c, "no-model.ppd").errLines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[lines.size() - 3], kLog + "model number = 0");
        EXPECT_EQ(lines[lines.size() - 2], kNotSupported);
        EXPECT_EQ(lines.back(), kLog + "jobSetup() fail.");
    }
}

// Defaults: MediaType -1, SensorType -2, Rotation -1, NumOfCopies -3,
// Darkness "dark", XMargin -2, YMargin "wide", PrintSpeed -4, BMOffset -1,
// TOOffset "far", Cutter -1 (no custom cutter), CompPrinting "on".
TEST(BadPpdFault, NegativeAndNonNumericChoices)
{
    FilterCall call;
    call.ppd = std::string(TVL_FAULT_PPD_DIR) + "/odd-choices.ppd";
    call.stdinPath = onePageStream();
    const FilterRun run = runFilter(call);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0);
    // Words read as 0; -1 mm at 8 dots/mm is -8 dots; media type -1 sends no
    // "ST"; sensor -2 is a black mark; cutter -1 cuts every -1 labels; a
    // negative copy count is sent as it is.
    EXPECT_EQ(run.out,
              "SL609,24,B,-8\r\nSW609\r\nSD0\r\nSM-16,0\r\nSS-4\r\nTA0\r\nCUTy,-1\r\n"
              "SOT\r\n" +
                  fromHex("4C 44 00 00 00 00 02 00 03 00 FF 00 00 FF 81 18") + "\r\nP1,-3\r\n");
    EXPECT_EQ(run.errLines().back(), kLog + "INFO: Ready to print.");
}

}  // namespace

}  // namespace tvl
