// End to end on the real programs: a frame's enter actions switch every kind of device and send an
// SMS and a mail when the phone moves into its place; its end switches them back; each included
// place whose actions this program carries out changes the phone as its name says.

#include <gtest/gtest.h>

#include "support/ProgramFixture.h"

namespace {

class DevicesTest : public ProgramFixture {
  protected:
    // A phone minute in three seconds, as the schedule test: a frame end comes moments after a
    // clock jump.
    DevicesTest() : ProgramFixture("20") { startProgram(); }
    void ok(const std::vector<std::string>& args) {
        Result r = device(args);
        ASSERT_EQ(r.code, 0) << r.out;
    }
    void action(const std::string& moment, const std::vector<std::string>& rest) {
        std::vector<std::string> args{"action", "add", "Trip", "Visit", moment};
        args.insert(args.end(), rest.begin(), rest.end());
        ok(args);
    }
    // Waits until `status` shows every one of `lines`.
    bool statusShows(const std::vector<std::string>& lines) { return shows("status", lines); }
    // Waits until `verb` (status, app) shows every one of `lines`.
    bool shows(const std::string& verb, const std::vector<std::string>& lines) {
        return WaitUntil(
            [&] {
                std::string out = "\n" + device({verb}).out;
                for (const auto& line : lines) {
                    if (out.find("\n" + line + "\n") == std::string::npos) {
                        return false;
                    }
                }
                return true;
            },
            std::chrono::seconds(20));
    }
    std::string log() { return device({"log"}).out; }
};

TEST_F(DevicesTest, AFramesActionsSwitchEveryDeviceAndItsEndSwitchesThemBack) {
    ok({"place", "add", "Trip"});
    ok({"frame", "add", "Trip", "mon", "10:00", "11:00", "--name", "Visit"});
    action("enter", {"1", "2"});                  // Bluetooth discoverable
    action("enter", {"2", "1", "--level", "2"});  // vibrate, level 2
    action("enter", {"5", "1"});                  // 2G
    action("enter", {"51", "1", "--text", "+34600111222"});
    action("enter", {"52", "196613"});  // backlight 5 on battery, 3 on external power
    action("enter", {"50", "0"});       // infrared off
    action("enter", {"14", "0", "--text", "+34600999888", "--text3", "At the client"});
    action("enter", {"13", "0", "--text", "boss@example.org", "--text2", "Visit", "--text3", "Started"});
    action("exit", {"1", "0"});
    action("exit", {"2", "2", "--level", "4"});
    action("exit", {"5", "0"});
    action("exit", {"51", "0"});
    action("exit", {"52", std::to_string(6 | 10 << 16)});
    action("exit", {"50", "1"});
    ok({"cell", "assign", "4444", "Trip"});
    ok({"clock", "set", "2026-12-07 10:00:00"});  // a Monday

    ok({"cell", "4444", "44"});
    ASSERT_TRUE(statusShows({"bt=discoverable", "sound=vibrate", "band=2G", "forwarding=+34600111222",
                             "backlight=5-3", "beam=off", "radio=on", "registered=on"}))
        << device({"status"}).out << log();
    ASSERT_TRUE(WaitUntil([&] { return count(device({"outbox"}).out, "outbox=") == 2; })) << log();
    std::string outbox = device({"outbox"}).out;
    EXPECT_NE(outbox.find("kind=sms time=2026-12-07 10:00"), std::string::npos) << outbox;
    EXPECT_NE(outbox.find("to=+34600999888 text=At the client\n"), std::string::npos) << outbox;
    EXPECT_NE(outbox.find("to=boss@example.org via=kept subject=Visit body=Started\n"), std::string::npos)
        << outbox;
    // One line for each action, and the frame's own.
    std::string text = log();
    for (const char* line : {"INFO. Switching Bluetooth to visible.", "INFO. Switching Sound to vibrate.",
                             "INFO. Switching Network band to 2G.", "INFO. Switching Call forwarding to on.",
                             "INFO. Switching Backlight to [5-3].", "INFO. Switching Infrared to off.",
                             "INFO. SMS to +34600999888.", "INFO. Mail to boss@example.org.",
                             "INFO. Start Trip - Visit(10:00-11:00) (8)."}) {
        EXPECT_EQ(count(text, line), 1u) << line << "\n" << text;
    }

    // At eleven the phone starts the program with the frame's end: the exit actions run.
    ok({"clock", "set", "2026-12-07 10:59:50"});
    ASSERT_TRUE(statusShows(
        {"bt=off", "sound=on", "volume=52428", "band=auto", "forwarding=off", "backlight=6-10", "beam=on"}))
        << device({"status"}).out << log();
    EXPECT_EQ(count(log(), "INFO. End Trip - Visit (6)."), 1u) << log();
}

TEST_F(DevicesTest, IncludedPlacesDoWhatTheirNamesSay) {
    ok({"lock", "Silent"});
    ASSERT_TRUE(statusShows({"sound=none"})) << log();
    ok({"sound", "vibrate"});
    ok({"lock", "Full sound"});
    ASSERT_TRUE(statusShows({"sound=on", "volume=52428"})) << log();
    // This phone has no data connection: the data-connections manager takes both changes and has
    // nothing to switch.
    ok({"lock", "No connections"});
    ASSERT_TRUE(WaitUntil([&] { return count(log(), "INFO. Switching Data connections to disabled.") == 1; }))
        << log();
    ok({"lock", "Connected"});
    ASSERT_TRUE(WaitUntil([&] {
        return count(log(), "INFO. Switching Data connections to connected.") == 1;
    })) << log();
    EXPECT_EQ(count(log(), "Action 4 not run"), 0u);
    EXPECT_EQ(value("mgr4"), "0");
}

// The program reads the simulated receiver through its serial port: a frame's GPS action opens
// the port, unplugging the receiver closes it without harm, and the frame's end closes it again.
TEST_F(DevicesTest, TheGpsReceiverIsReadThroughItsPortAndUnpluggingItClosesThePort) {
    ok({"gps", "fix", "41.3870", "2.1700"});
    ok({"place", "add", "Walk"});
    ok({"frame", "add", "Walk", "mon", "10:00", "11:00", "--name", "Out"});
    ok({"action", "add", "Walk", "Out", "enter", "53", "1"});
    ok({"action", "add", "Walk", "Out", "exit", "53", "0"});
    ok({"cell", "assign", "5555", "Walk"});
    ok({"clock", "set", "2026-12-07 10:00:00"});
    ok({"cell", "5555", "55"});
    ASSERT_TRUE(
        shows("app", {"gps_open=1", "gps_fix=1", "gps_sats=8", "gps_lat=4123.2200N", "gps_lon=00210.2000E"}))
        << device({"app"}).out << log();

    ok({"gps", "off"});
    ASSERT_TRUE(shows("app", {"gps_open=0", "gps_fix=0", "gps_lat="})) << device({"app"}).out;
    EXPECT_TRUE(statusShows({"gps=off"}));

    ok({"gps", "on"});
    ok({"force", "53", "1"});
    ASSERT_TRUE(shows("app", {"gps_open=1", "gps_fix=0"})) << device({"app"}).out;
    ok({"clock", "set", "2026-12-07 10:59:50"});
    ASSERT_TRUE(shows("app", {"gps_open=0"})) << device({"app"}).out << log();
}

}  // namespace
