// End to end on the real programs: a frame's data-connection action connects the preferred
// connection when the phone moves into its place, the update check asks the update server, and
// the idle close takes the connection down through the phone's own "iddle_notification" launch.

#include <gtest/gtest.h>

#include "support/HttpServer.h"
#include "support/ProgramFixture.h"

namespace {

class ConnectionsTest : public ProgramFixture {
  protected:
    ConnectionsTest() : ProgramFixture("20") {}
    void ok(const std::vector<std::string>& args) {
        Result r = device(args);
        ASSERT_EQ(r.code, 0) << r.out;
    }
    bool statusShows(const std::string& line) {
        return WaitUntil(
            [&] { return ("\n" + device({"status"}).out).find("\n" + line + "\n") != std::string::npos; },
            std::chrono::seconds(20));
    }
    std::string log() { return device({"log"}).out; }
};

TEST_F(ConnectionsTest, AFrameConnectsThePreferredConnectionAndTheIdleCloseHangsItUp) {
    HttpServer server(base);
    server.answer(200, "9.9|\r\n");
    // Before the first start: the phone's entries and the settings the installation keeps.
    const std::string key = "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova";
    ok({"connection", "add", "GPRS"});
    ok({"connection", "add", "MMS"});
    ok({"reg", "set", key, "connection_prefered", "sz", "GPRS"});
    ok({"reg", "set", key, "activate_idle", "dword", "1"});
    ok({"reg", "set", key, "seconds_idle", "dword", "60"});
    ok({"reg", "set", key, "url_update", "sz", server.url()});
    startProgram();
    EXPECT_EQ(value("mgr4"), "1");  // enabled, none connected

    ok({"place", "add", "Office"});
    ok({"frame", "add", "Office", "mon", "10:00", "11:00", "--name", "Work"});
    ok({"action", "add", "Office", "Work", "enter", "4", "2"});
    ok({"cell", "assign", "5555", "Office"});
    ok({"clock", "set", "2026-12-07 10:00:00"});  // a Monday
    ok({"cell", "5555", "55"});

    ASSERT_TRUE(statusShows("connection=GPRS enabled=1 always_on=0 connected=1 bytes=0")) << log();
    EXPECT_TRUE(statusShows("connection=MMS enabled=1 always_on=0 connected=0 bytes=0"));
    ASSERT_TRUE(WaitUntil([&] { return value("mgr4") == "2"; })) << log();
    // The link coming up made the program ask the update server.
    ASSERT_TRUE(WaitUntil([&] { return value("new_version") == "1"; })) << log();
    EXPECT_EQ(value("latest_version"), "9.9");
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0].rfind("/Zentrova/zentrova?user=", 0), 0u) << server.requests()[0];

    // No traffic: 20 phone seconds after the link came up the idle period starts, 60 later it
    // ends and the phone's notification service starts the program with the idle line each time.
    ASSERT_TRUE(statusShows("connection=GPRS enabled=1 always_on=0 connected=0 bytes=0")) << log();
    EXPECT_EQ(value("connections_closed"), "1");
    EXPECT_GE(std::stoi(value("idle_notifications")), 2);
    EXPECT_EQ(count(log(), "INFO. Idle connections closed."), 1u) << log();
    ASSERT_TRUE(WaitUntil([&] { return value("mgr4") == "1"; })) << log();
}

}  // namespace
