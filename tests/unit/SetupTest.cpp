// SPDX-License-Identifier: Apache-2.0
// The setup block: each command and its log line, for the values that
// choose between forms.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "output/Setup.h"
#include "settings/Settings.h"
#include "tests/support/Expected.h"
#include "tests/support/StringSinks.h"

namespace tvl {

namespace {

struct Written {
    std::string out;
    std::string err;
};

template <typename F>
Written capture(float dot, F&& write)
{
    StringOutput o(dot);
    write(o.out);
    return Written{o.printer.bytes, o.log.text};
}

struct LengthCase {
    const char* name;
    float dot;
    int32_t sensorType, lengthDot, bmOffset, modelNumer;
    const char* out;
    const char* err;  // log lines without their prefix
};

TEST(SetupCommands, LengthCommandForms)
{
    const LengthCase cases[] = {
        {"below 38, no offset", 8.0f, 0, 203, 0, 27, "SL203,24,G\r\n", "setLength() : SL203,24,G,0\n"},
        {"below 38, offset field", 8.0f, 2, 406, 3, 27, "SL406,24,B,24\r\n", "setLength() : SL406,24,B,24\n"},
        {"continuous, log keeps 4 values", 8.0f, 1, 203, 0, 27, "SL203,24,C\r\n", "setLength() : SL203,24,C,0\n"},
        {"negative offset below 38", 11.8f, 0, 299, -1, 5, "SL299,24,G,-11\r\n", "setLength() : SL299,24,G,-11\n"},
        {"model 37 still below", 8.0f, 0, 1, 1, 37, "SL1,24,G,8\r\n", "setLength() : SL1,24,G,8\n"},
        {"model 38: SA even for 0", 8.0f, 0, 203, 0, 38, "SL203,24,G\r\nSA0\r\n",
         "setLength() : SL203,24,G,0\nTAVELIN Label Driver DEBUG MSG : setLength() : SA0\n"},
        {"model 100 at 11.8", 11.8f, 0, 1, 2, 100, "SL1,24,G\r\nSA23\r\n",
         "setLength() : SL1,24,G,23\nTAVELIN Label Driver DEBUG MSG : setLength() : SA23\n"},
        {"model 100 at 23.6", 23.6f, 0, 1, 2, 100, "SL1,24,G\r\nSA47\r\n",
         "setLength() : SL1,24,G,47\nTAVELIN Label Driver DEBUG MSG : setLength() : SA47\n"},
        {"sensor -1 is B", 8.0f, -1, 5, 0, 27, "SL5,24,B\r\n", "setLength() : SL5,24,B,0\n"},
        {"negative model is below 38", 8.0f, 0, 5, 1, -1, "SL5,24,G,8\r\n", "setLength() : SL5,24,G,8\n"},
    };
    for (const LengthCase& c : cases) {
        const Written w = capture(c.dot, [&](Output& o) { setLength(o, c.sensorType, c.lengthDot, c.bmOffset, c.modelNumer); });
        EXPECT_EQ(w.out, c.out) << c.name;
        EXPECT_EQ(w.err, kLog + c.err) << c.name;
    }
}

struct CommandCase {
    const char* name;
    float dot;
    void (*write)(Output&);
    const char* out;
    const char* err;
};

TEST(SetupCommands, OtherCommands)
{
    const CommandCase cases[] = {
        {"width", 8.0f, [](Output& o) { setWidth(o, 609); }, "SW609\r\n", "setWidth() : SW609\n"},
        {"direct thermal", 8.0f, [](Output& o) { setMediaType(o, 0); }, "STd\r\n", "setMediaType() : STd\n"},
        {"thermal transfer", 8.0f, [](Output& o) { setMediaType(o, 1); }, "STt\r\n", "setMediaType() : STt\n"},
        {"darkness", 8.0f, [](Output& o) { setDarkness(o, -1); }, "SD-1\r\n", "setDarkness() : SD-1\n"},
        {"margins at 23.6", 23.6f, [](Output& o) { setMargin(o, 1, 0); }, "SM23,0\r\n", "setMargin() : SM23,0\n"},
        {"negative margins at 11.8", 11.8f, [](Output& o) { setMargin(o, -2, -1); }, "SM-23,-11\r\n",
         "setMargin() : SM-23,-11\n"},
        {"speed", 8.0f, [](Output& o) { setSpeed(o, 4); }, "SS4\r\n", "setSpeed() : SS4\n"},
        {"tear offset -2 at 11.8", 11.8f, [](Output& o) { setToOffset(o, -2); }, "TA-23\r\n", "setToOffset() : TA-23\n"},
        {"no cut, period ignored", 8.0f, [](Output& o) { setCutter(o, 0, 9); }, "CUTn\r\n", "setCutter() : CUTn\n"},
        {"cut every 5", 8.0f, [](Output& o) { setCutter(o, 1, 5); }, "CUTy,5\r\n", "setCutter() : CUTy\n"},
        {"cutter missing", 8.0f, [](Output& o) { setCutter(o, -1, -1); }, "CUTy,-1\r\n", "setCutter() : CUTy\n"},
        {"rewinder", 8.0f, [](Output& o) { setRewinder(o, 1); }, "RWDy\r\n", "setRewinder() : RWDy\n"},
    };
    for (const CommandCase& c : cases) {
        const Written w = capture(c.dot, c.write);
        EXPECT_EQ(w.out, c.out) << c.name;
        EXPECT_EQ(w.err, kLog + c.err) << c.name;
    }
}

TEST(SetupCommands, MediaTypeOtherThan0And1WritesNothing)
{
    for (int32_t media : {2, -1, 100}) {
        const Written w = capture(8.0f, [&](Output& o) { setMediaType(o, media); });
        EXPECT_EQ(w.out, "") << media;
        EXPECT_EQ(w.err, "") << media;
    }
}

struct EndCase {
    const char* name;
    int32_t model, rewinder, cutter;
    const char* lastCommand;
};

TEST(SetupBlock, RewinderOrCutter)
{
    const EndCase cases[] = {
        {"142 rewinder on", 142, 1, 1, "RWDy\r\n"},
        {"143 rewinder on, cutter off", 143, 1, 0, "RWDy\r\n"},
        {"150 rewinder on", 150, 1, -1, "RWDy\r\n"},
        {"142 rewinder off", 142, 0, 1, "CUTy,7\r\n"},
        {"142 rewinder missing", 142, -1, 0, "CUTn\r\n"},
        {"150 rewinder 2", 150, 2, 1, "CUTy,7\r\n"},
        {"144 is no rewinder model", 144, 1, 1, "CUTy,7\r\n"},
        {"27 is no rewinder model", 27, 1, 0, "CUTn\r\n"},
    };
    for (const EndCase& c : cases) {
        Settings s{};
        s.modelNumer = c.model;
        s.rewinder = c.rewinder;
        s.cutter = c.cutter;
        s.cutPeriod = 7;
        s.mediaType = 5;
        PageResult result = pageFailed(PageError::PrinterWrite);
        const Written w = capture(8.0f, [&](Output& o) { result = primaryProcess(o, s); });
        EXPECT_TRUE(result.printed()) << c.name;
        const std::string head = c.model < 38 ? "SL0,24,G\r\nSW0\r\nSD0\r\nSM0,0\r\nSS0\r\nTA0\r\n"
                                              : "SL0,24,G\r\nSA0\r\nSW0\r\nSD0\r\nSM0,0\r\nSS0\r\nTA0\r\n";
        EXPECT_EQ(w.out, head + c.lastCommand) << c.name;
    }
}

TEST(SetupBlock, WorkedExampleModel27)
{
    Settings s{};
    s.modelNumer = 27;
    s.lengthDot = 609;
    s.widthDot = 609;
    s.darkness = 10;
    s.printSpeed = 4;
    const Written w = capture(8.0f, [&](Output& o) { primaryProcess(o, s); });
    EXPECT_EQ(w.out, "SL609,24,G\r\nSW609\r\nSTd\r\nSD10\r\nSM0,0\r\nSS4\r\nTA0\r\nCUTn\r\n");
    EXPECT_EQ(w.err, kLog + "setLength() : SL609,24,G,0\n" + kLog + "setWidth() : SW609\n" + kLog +
                         "setMediaType() : STd\n" + kLog + "setDarkness() : SD10\n" + kLog +
                         "setMargin() : SM0,0\n" + kLog + "setSpeed() : SS4\n" + kLog + "setToOffset() : TA0\n" +
                         kLog + "setCutter() : CUTn\n");
}

}  // namespace

}  // namespace tvl
