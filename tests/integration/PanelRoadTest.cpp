// The first road of the panel with the real programs, as a user taps through it: the Wi-Fi button,
// "on", five minutes; the phone switches back by itself when the time is up and the button follows.
// The current-place panel shows the place found by the cell and its time frame.

#include <gtest/gtest.h>

#include "support/ProgramFixture.h"

namespace {

class PanelRoadTest : public ProgramFixture {
  protected:
    PanelRoadTest() { startProgram(); }
    // Waits until a popup of that window class is open over the panel.
    bool popupOpen(const std::string& className) {
        return WaitUntil([&] { return value("popup") == className; });
    }
    std::string log() { return device({"log"}).out; }
};

TEST_F(PanelRoadTest, WifiOnForFiveMinutesByTappingThenBackOffWhenTheTimeIsUp) {
    ASSERT_EQ(value("mgr0"), "0");
    EXPECT_EQ(value("button105_text"), "Off");
    EXPECT_EQ(value("button105_image"), "wifi_des.png");
    ASSERT_EQ(device({"click", "105"}).code, 0);
    ASSERT_TRUE(popupOpen("Options Window")) << device({"app"}).out;
    EXPECT_EQ(value("popup_ids"), "1,0,40021,109");
    // The panel under the popup takes no taps meanwhile; the popup's buttons do.
    ASSERT_EQ(device({"click", "1"}).code, 0);
    ASSERT_TRUE(popupOpen("Options Window limit")) << device({"app"}).out;
    EXPECT_EQ(value("popup_ids"), "999,1,5,10,30,60,120,144,109");
    ASSERT_EQ(device({"click", "5"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "1"; })) << log();
    EXPECT_EQ(value("popup"), "");
    ASSERT_TRUE(WaitUntil([&] { return value("button105_text") == "On"; })) << device({"app"}).out;
    EXPECT_EQ(value("button105_image"), "wifi.png");
    EXPECT_EQ(value("wifi", {"status"}), "on");
    // The way back waits in the phone's notifications.
    const std::string pending = device({"notifications"}).out;
    EXPECT_NE(pending.find("arguments=timer_notification_00_00_"), std::string::npos) << pending;

    ASSERT_EQ(device({"clock", "advance", "6m"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("mgr0") == "0"; }, std::chrono::seconds(20))) << log();
    ASSERT_TRUE(WaitUntil([&] { return value("button105_text") == "Off"; })) << device({"app"}).out;
    EXPECT_EQ(value("button105_image"), "wifi_des.png");
    EXPECT_EQ(value("wifi", {"status"}), "off");
    EXPECT_EQ(device({"notifications"}).out, "");
}

TEST_F(PanelRoadTest, CancelChangesNothingAndAPlaceShowsWithItsFrame) {
    ASSERT_EQ(device({"click", "105"}).code, 0);
    ASSERT_TRUE(popupOpen("Options Window"));
    // The panel's own buttons are not reachable while the popup is open.
    EXPECT_NE(device({"click", "112"}).code, 0);
    ASSERT_EQ(device({"click", "109"}).code, 0);
    ASSERT_TRUE(WaitUntil([&] { return value("popup").empty(); }));
    EXPECT_EQ(value("mgr0"), "0");

    ASSERT_EQ(device({"place", "add", "Office"}).code, 0);
    ASSERT_EQ(device({"frame", "add", "Office", "all", "00:00", "23:59", "--name", "Day"}).code, 0);
    ASSERT_EQ(device({"cell", "assign", "1001", "Office"}).code, 0);
    ASSERT_EQ(device({"cell", "1001", "101"}).code, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return value("button106_text") == "Office(00:00-23:59)"; }, std::chrono::seconds(20)))
        << device({"app"}).out << log();
}

}  // namespace
