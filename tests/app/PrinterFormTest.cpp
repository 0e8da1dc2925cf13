// SPDX-License-Identifier: Apache-2.0
// The Add Printer page's field checks: which names and device URIs pass.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "app/PrinterForm.h"

namespace tvl {

namespace {

struct NameCase {
    std::string name;
    bool accepted;
};

TEST(PrinterFormTest, Names)
{
    const NameCase cases[] = {
        {"labels", true},       {"Shop_2.front-desk", true}, {std::string(63, 'a'), true},
        {"", false},            {std::string(64, 'a'), false}, {".hidden", false},
        {"two words", false},   {"a/b", false},              {"a?b", false},
        {"caf\xc3\xa9", false}, {"quote\"", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(checkPrinterName(c.name) == nullptr, c.accepted) << c.name;
    }
}

struct UriCase {
    const char* uri;
    bool accepted;
};

TEST(PrinterFormTest, DeviceUris)
{
    const UriCase cases[] = {
        {"socket://192.168.1.50:9100", true},
        {"socket://printer", true},  // 9100 by default
        {"socket://[fd00::2]:9100", true},
        {"usb://Tavelin/100?serial=A1", true},
        {"file:///var/lib/labels", true},
        {"socket://", false},
        {"socket://printer:0", false},
        {"usb://", false},
        {"file:relative", false},
        {"file://host/path", false},
        {"dnssd://Label._ipp._tcp.local/", false},
        {"ipp://printer/ipp/print", false},
        {"", false},
        {nullptr, false},
        {"not a uri", false},
    };
    for (const UriCase& c : cases) {
        EXPECT_EQ(checkDeviceUri(c.uri) == nullptr, c.accepted) << (c.uri ? c.uri : "(null)");
    }
}

// file:// devices: a folder or file this process can write; not a missing folder,
// a path through a file, or a read-only folder (which root writes anyway).
TEST(PrinterFormTest, FileDevices)
{
    std::string base = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/tvl-form-XXXXXX";
    ASSERT_NE(mkdtemp(base.data()), nullptr);
    const std::string file = base + "/file", readOnly = base + "/read-only";
    std::ofstream{file};
    mkdir(readOnly.c_str(), 0500);
    const std::pair<std::string, bool> cases[] = {
        {"file://" + base, true},  {"file://" + file, true},          {"file://" + base + "?ext=tvl", true},
        {"socket://host", true},   {"file://" + base + "/no", false}, {"file://" + file + "/below", false},
        {"file://" + readOnly, geteuid() == 0},
    };
    char message[512];
    for (const auto& [uri, accepted] : cases) {
        EXPECT_EQ(checkFileDevice(uri.c_str(), message, sizeof(message)) == nullptr, accepted) << uri;
    }
    std::filesystem::remove_all(base);
}

}  // namespace

}  // namespace tvl
