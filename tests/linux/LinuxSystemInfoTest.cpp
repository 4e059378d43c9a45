#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "platform/linux/CLinuxSystemInfo.h"
#include "support/TempHome.h"

namespace {

using platform::lnx::CLinuxSystemInfo;
namespace p = platform;

// Writes `files` (path under the root -> text) into a fresh tree.
void makeTree(const std::filesystem::path& root, const std::map<std::string, std::string>& files) {
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    for (const auto& [path, text] : files) {
        std::filesystem::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary) << text;
    }
}

TEST(LinuxSystemInfoTest, TheModelTextComesFromTheFirmwareTheDeviceTreeOrTheSystem) {
    TempHome home;
    const std::string dmi = "sys/class/dmi/id/";
    const std::string os = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=Debian\n";
    struct Row {
        const char* what;
        std::map<std::string, std::string> files;
        p::Result result;
        std::string text;
    };
    const Row rows[] = {
        {"maker and product",
         {{dmi + "product_name", "ThinkPad X13\n"}, {dmi + "sys_vendor", "LENOVO\n"}, {"etc/os-release", os}},
         p::ERROR_SUCCESS,
         "LENOVO ThinkPad X13"},
        {"product naming its maker",
         {{dmi + "product_name", "Dell XPS 13\n"}, {dmi + "sys_vendor", "Dell\n"}},
         p::ERROR_SUCCESS,
         "Dell XPS 13"},
        {"product without maker", {{dmi + "product_name", "  Librem 14 \n"}}, p::ERROR_SUCCESS, "Librem 14"},
        {"firmware placeholder, device tree",
         {{dmi + "product_name", "To be filled by O.E.M.\n"},
          {"proc/device-tree/model", std::string("PINE64 PinePhone\0", 17)}},
         p::ERROR_SUCCESS,
         "PINE64 PinePhone"},
        {"device tree under /sys",
         {{"sys/firmware/devicetree/base/model", "Purism Librem 5r4"}},
         p::ERROR_SUCCESS,
         "Purism Librem 5r4"},
        {"only the system", {{"etc/os-release", os}}, p::ERROR_SUCCESS, "Debian GNU/Linux 12 (bookworm)"},
        {"the system's fallback file",
         {{"usr/lib/os-release", "PRETTY_NAME='Fedora Linux 39'\n"}},
         p::ERROR_SUCCESS,
         "Fedora Linux 39"},
        {"nothing at all", {}, p::ERROR_NOT_FOUND, ""},
    };
    for (const Row& row : rows) {
        const std::filesystem::path root = home.root() / "tree";
        makeTree(root, row.files);
        CLinuxSystemInfo info(root);
        std::string text = "stale";
        EXPECT_EQ(info.oemInfo(text), row.result) << row.what;
        EXPECT_EQ(text, row.text) << row.what;
    }
}

TEST(LinuxSystemInfoTest, TheVersionIsTheKernelsRelease) {
    struct Row {
        const char* release;
        bool ok;
        uint32_t major, minor;
    };
    const Row rows[] = {
        {"6.1.0-13-amd64", true, 6, 1},
        {"6.18.44-fc-v1523", true, 6, 18},
        {"5", true, 5, 0},
        {"4.19", true, 4, 19},
        {"", false, 0, 0},
        {"linux", false, 0, 0},
    };
    for (const Row& row : rows) {
        uint32_t major = 99, minor = 99;
        EXPECT_EQ(CLinuxSystemInfo::parseRelease(row.release, major, minor), row.ok) << row.release;
        EXPECT_EQ(major, row.major) << row.release;
        EXPECT_EQ(minor, row.minor) << row.release;
    }
    TempHome home;
    makeTree(home.root() / "tree", {{"proc/sys/kernel/osrelease", "6.12.3-arch1\n"}});
    CLinuxSystemInfo fake(home.root() / "tree");
    uint32_t major = 0, minor = 0;
    ASSERT_EQ(fake.osVersion(major, minor), p::ERROR_SUCCESS);
    EXPECT_EQ(major, 6u);
    EXPECT_EQ(minor, 12u);
    // The machine's own kernel answers too (from the tree, or uname where there is none).
    CLinuxSystemInfo machine;
    EXPECT_EQ(machine.osVersion(major, minor), p::ERROR_SUCCESS);
    EXPECT_GT(major, 2u);
}

TEST(LinuxSystemInfoTest, OsReleaseValues) {
    const std::string text =
        "NAME=\"Ubuntu\"\nPRETTY_NAME=\"Ubuntu 24.04 \\\"Noble\\\"\"\nID=ubuntu\nVERSION_ID=''\n";
    struct Row {
        const char* name;
        const char* value;
    };
    const Row rows[] = {{"NAME", "Ubuntu"}, {"PRETTY_NAME", "Ubuntu 24.04 \"Noble\""},
                        {"ID", "ubuntu"},   {"VERSION_ID", ""},
                        {"PRETTY", ""},     {"VERSION", ""}};
    for (const Row& row : rows) {
        EXPECT_EQ(CLinuxSystemInfo::osReleaseValue(text, row.name), row.value) << row.name;
    }
}

}  // namespace
