// The program on the linux backend against mocked system services: the mocked modem and
// NetworkManager on a private bus.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "linux/BackendProgram.h"
#include "support/TempHome.h"

namespace {

namespace fs = std::filesystem;

// The ModemManager template kept with the tests (dbusmock's format; Debian ships none).
const fs::path kModemManagerTemplate = fs::path(ZENTROVA_SOURCE_DIR) / "tests" / "linux" / "modemmanager.py";

// Starts NetworkManager's and ModemManager's mocks, then the program; the test body drives the
// mocks over the bus and reads the program with `device`.
class BackendEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!program.why().empty()) {
            GTEST_SKIP() << program.why();
        }
        if (!fs::exists(kModemManagerTemplate)) {
            GTEST_SKIP() << "no ModemManager template at " << kModemManagerTemplate;
        }
        ASSERT_TRUE(program.bus().startTemplate("networkmanager", "org.freedesktop.NetworkManager"))
            << program.bus().mockOutput();
        ASSERT_TRUE(
            program.bus().startTemplate(kModemManagerTemplate.string(), "org.freedesktop.ModemManager1"))
            << program.bus().mockOutput();
        ASSERT_TRUE(program.start()) << program.output() << program.bus().mockOutput();
    }

    TempHome temp;
    BackendProgram program{temp.root() / "linux"};
};

// With both services mocked, neither is named missing in the event log.
TEST_F(BackendEndToEndTest, StartsWithModemAndNetworkManagerMocked) {
    const std::string log = program.device({"log"}).second;
    EXPECT_EQ(log.find("org.freedesktop.NetworkManager) not available"), std::string::npos) << log;
    EXPECT_EQ(log.find("org.freedesktop.ModemManager1) not available"), std::string::npos) << log;
    EXPECT_EQ(program.stop(), 0) << program.output();
}

}  // namespace
