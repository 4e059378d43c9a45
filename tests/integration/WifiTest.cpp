// The Wi-Fi manager in the running program: a time-limited change that the phone undoes through
// a real program start, and a change made outside the program.

#include <gtest/gtest.h>
#include <signal.h>

#include "support/ProgramFixture.h"

namespace {

namespace fs = std::filesystem;

class WifiTest : public ProgramFixture {
  protected:
    // A phone minute passes in 0.3 s; the broker's first 2 s in 10 ms.
    WifiTest() : ProgramFixture("200") { startProgram(); }
    std::string log() { return device({"log"}).out; }
};

TEST_F(WifiTest, TimeLimitedChangeIsUndoneThroughTheNotificationService) {
    ASSERT_EQ(value("mgr0"), "0") << device({"app"}).out;
    size_t changedAtStart = count(log(), "DEBUG. Wi-Fi is now");
    // Five phone minutes (1.5 s): time enough to see the trigger waiting, also under a sanitizer.
    ASSERT_EQ(device({"force", "0", "1", "--minutes", "5", "--restore", "0"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "1"; })) << log();
    // The trigger waits in the notification database, then the phone starts the program with it.
    std::string pending = device({"notifications"}).out;
    EXPECT_NE(pending.find("arguments=timer_notification_00_00_"), std::string::npos) << pending;
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "0"; }, std::chrono::seconds(15))) << log();
    EXPECT_NE(value("last_timer_text").find("timer_notification_00_00_"), std::string::npos);
    EXPECT_EQ(device({"notifications"}).out, "");
    std::string text = log();
    EXPECT_EQ(count(text, "INFO. Switching Wi-Fi to"), 2u) << text;
    EXPECT_EQ(count(text, "DEBUG. Wi-Fi is now"), changedAtStart + 2) << text;
}

TEST_F(WifiTest, ChangeMadeOutsideTheProgramIsNoticed) {
    EXPECT_EQ(value("wifi", {"status"}), "off");
    size_t changedAtStart = count(log(), "DEBUG. Wi-Fi is now");
    ASSERT_EQ(device({"wifi", "on"}).code, 0);
    EXPECT_EQ(value("wifi", {"status"}), "on");
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "1"; })) << log();
    device({"wifi", "off"});
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "0"; })) << log();
    EXPECT_EQ(count(log(), "DEBUG. Wi-Fi is now"), changedAtStart + 2);
    EXPECT_EQ(count(log(), "INFO. Switching Wi-Fi to"), 0u);
}

}  // namespace
