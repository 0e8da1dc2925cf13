// SPDX-License-Identifier: Apache-2.0
// A file named by the sixth argument goes to the printer byte for byte,
// followed by CR LF, with no setup block.
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/E2eHelpers.h"

namespace tvl {

namespace {

using namespace e2e;

// Bytes 0..255 over and over: zero bytes and every other value.
std::string allByteValues(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251);  // 251: not in step with any read size
    }
    return bytes;
}

struct TextCase {
    const char* name;
    std::string content;
};

TEST(TextPassThrough, FilesCopiedWholeThenCrLf)
{
    std::string zeroAt10(1024, 'z');
    zeroAt10[10] = '\0';
    std::string zeroAt5(2048, 'y');
    zeroAt5[5] = '\0';
    const TextCase cases[] = {
        {"empty", ""},
        {"short", "hello"},
        {"1500 bytes", std::string(1500, 'q')},
        {"zero byte at offset 10 of 1024", zeroAt10},
        {"zero byte at offset 5 of 2048", zeroAt5},
        {"ends in CR LF", "SS4\r\nP1\r\n"},
        {"printer commands with binary image", "SOT\r\n" + fromHex("4C 44 00 00 00 00 02 00 01 00 00 FF") + "\r\nP1\r\n"},
        {"only zero bytes", std::string(3000, '\0')},
        {"every byte value, 200,000 bytes", allByteValues(200000)},
        {"3 bytes", "RaS"},
        {"raster-like but not a sync word", "RaSx and more"},
    };
    int n = 0;
    for (const TextCase& c : cases) {
        const std::string file = writeTempFile("text-" + std::to_string(++n), c.content);
        const FilterRun run = fileJob("model27.ppd", file);
        EXPECT_EQ(run.status, 0) << c.name;
        ASSERT_EQ(run.out.size(), c.content.size() + 2) << c.name;
        EXPECT_TRUE(run.out == c.content + "\r\n") << c.name;
        EXPECT_EQ(linesAfterSettings(run), (std::vector<std::string>{kLog + "model number = 27"})) << c.name;
    }
}

TEST(TextPassThrough, PipeWithSmallReads)
{
    // 10 bytes at a time, each taken by the filter before the next is
    // written: 300 reads of 10 bytes.
    const FifoJob job = fifoJob("small-reads.fifo", FifoAs::File);
    RunningFilter filter(job.call);
    ASSERT_TRUE(filter.started());
    ASSERT_TRUE(filter.openFifo(job.fifo));
    const std::string content = allByteValues(3000);
    for (size_t at = 0; at < content.size(); at += 10) {
        ASSERT_TRUE(filter.feed(content.substr(at, 10)));
        ASSERT_TRUE(filter.waitInputTaken());
    }
    filter.closeInput();
    const FilterRun run = filter.finish();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.size(), content.size() + 2);
    EXPECT_TRUE(run.out == content + "\r\n");
}

TEST(TextPassThrough, ReadErrorIsReported)
{
    // A directory opens but cannot be read.
    const std::string dir = tempPath("a-directory");
    mkdir(dir.c_str(), 0700);
    const FilterRun run = fileJob("model27.ppd", dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(hexBytes(run.out), "0D 0A");
    EXPECT_EQ(linesAfterSettings(run), (std::vector<std::string>{
                                           kLog + "model number = 27",
                                           kLog + "ERROR: Unable to read file - : Is a directory",
                                       }));
}

}  // namespace

}  // namespace tvl
