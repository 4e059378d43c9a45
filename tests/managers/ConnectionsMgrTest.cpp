// The data-connections manager on the simulated phone: its status rules, the preferred connection,
// the idle close and the update check against a real HTTP server on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/DateTime.h"
#include "managers/CConnectionsMgr.h"
#include "support/HttpServer.h"
#include "support/SimPhoneFixture.h"

namespace {

class ConnectionsMgrTest : public SimPhoneFixture {
  protected:
    ConnectionsMgrTest() {
        // Nothing of these tests may reach a server the test did not start.
        config->SetRegistryParameter("url_update", "http://127.0.0.1:1");
    }
    // Whether the phone has the entry's link up.
    bool up(const std::string& name) {
        for (const auto& c : phone().connections) {
            if (c.name == name) {
                return c.connected;
            }
        }
        return false;
    }
    // The connection manager answers later: waits for the phone, then lets the manager read it.
    bool settle(CConnectionsMgr& mgr, const std::string& name, bool wanted) {
        bool reached = WaitUntil([&] { return up(name) == wanted; });
        mgr.RefreshStatus(0);
        return reached;
    }
    uint32_t enabledValue(const std::string& name) {
        uint32_t v = 99;
        home.services().registry().getDword(platform::RegRoot::LocalMachine,
                                            platform::sim::CSimPhone::connectionKey(name), "enabled", v);
        return v;
    }
    // The time of the pending idle wake-up, as seconds from now (-1 when there is none).
    int64_t idleWakeUpIn(CConnectionsMgr& mgr) {
        platform::UserNotificationTrigger t;
        if (!mgr.GetIdleNotification() ||
            !home.services().notifications().getUserNotification(mgr.GetIdleNotification(), t)) {
            return -1;
        }
        EXPECT_EQ(t.arguments, "iddle_notification");
        SYSTEMTIME now = clock().localTime();
        now.wMilliseconds = 0;  // as the trigger's time
        return DT_PeriodsBetween(now, t.start, DT_SECOND);
    }
};

TEST_F(ConnectionsMgrTest, StatusFollowsTheEntriesAndOneEntryIsPreferred) {
    {
        // No entries: disabled, and switching on has nothing to switch.
        CConnectionsMgr mgr;
        mgr.Initialize();
        mgr.RefreshStatus(0);
        EXPECT_EQ(mgr.GetStatus(), 0);
        mgr.ForceStatusChild(2, 0);
        mgr.RefreshStatus(0);
        EXPECT_EQ(mgr.GetStatus(), 0);
        EXPECT_TRUE(mgr.GetConnections().empty());
    }
    // A single entry becomes the preferred one at start, and the setting remembers it.
    outside({"connection", "add", "Solo"});
    {
        CConnectionsMgr mgr;
        mgr.Initialize();
        CRasConnection preferred;
        ASSERT_TRUE(mgr.GetConnectionPreferred(preferred));
        EXPECT_EQ(preferred.GetName(), "Solo");
        EXPECT_EQ(preferred.GetKey(), platform::sim::CSimPhone::connectionKey("Solo"));
        std::string stored;
        config->GetStringParameter("connection_prefered", stored);
        EXPECT_EQ(stored, "Solo");
    }

    // Two entries, the second preferred: 2 connects it (only it), 1 leaves every entry enabled and
    // none up, 0 disables every entry for the connection manager.
    outside({"connection", "add", "Work"});
    config->SetRegistryParameter("connection_prefered", "Work");
    CConnectionsMgr mgr;
    mgr.Initialize();
    mgr.RefreshStatus(0);
    EXPECT_EQ(mgr.GetStatus(), 1);
    mgr.ForceStatusChild(2, 0);
    EXPECT_TRUE(settle(mgr, "Work", true));
    EXPECT_FALSE(up("Solo"));
    EXPECT_EQ(mgr.GetStatus(), 2);

    mgr.ForceStatusChild(1, 0);
    EXPECT_TRUE(settle(mgr, "Work", false));
    EXPECT_EQ(mgr.GetStatus(), 1);
    EXPECT_EQ(enabledValue("Solo"), 1u);
    EXPECT_EQ(enabledValue("Work"), 1u);

    // A link that another program brought up is taken down with the rest.
    outside({"connection", "up", "Solo"});
    mgr.RefreshStatus(0);
    EXPECT_EQ(mgr.GetStatus(), 2);
    mgr.ForceStatusChild(0, 0);
    EXPECT_TRUE(settle(mgr, "Solo", false));
    EXPECT_EQ(mgr.GetStatus(), 0);
    EXPECT_EQ(enabledValue("Solo"), 0u);
    EXPECT_EQ(enabledValue("Work"), 0u);

    // A disabled entry is not brought up by the connection manager; switching on enables it first.
    CRasConnection work = mgr.GetConnections()[1];
    EXPECT_TRUE(work.Connect());
    clock().advance(2000);
    EXPECT_FALSE(WaitUntil([&] { return up("Work"); }, std::chrono::milliseconds(200)));
    mgr.ForceStatusChild(2, 0);
    EXPECT_TRUE(settle(mgr, "Work", true));
    EXPECT_EQ(mgr.GetStatus(), 2);

    // The radio going off takes every link down: nothing reads as connected.
    outside({"connection", "up", "Solo"});
    outside({"radio", "off"});
    mgr.RefreshStatus(0);
    for (const CRasConnection& c : mgr.GetConnections()) {
        EXPECT_EQ(c.GetConnected(), 0) << c.GetName();
    }
    EXPECT_EQ(mgr.GetStatus(), 1);
    EXPECT_FALSE(up("Solo"));
    EXPECT_FALSE(up("Work"));
    EXPECT_NE(outside({"connection", "up", "Solo"}).find("radio is off"), std::string::npos);
}

TEST_F(ConnectionsMgrTest, IdleConnectionsCloseAfterTheIdleSecondsWithoutMoreTrafficThanTheLimit) {
    // The phone's time moves only when the test moves it.
    clock().setSpeed(0.001);
    setConfig("activate_idle", 1);
    setConfig("seconds_idle", 300);
    setConfig("size_traffic", 1024);
    outside({"connection", "add", "GPRS"});
    struct Row {
        uint32_t bytes;  // over the link during the idle period
        bool closed;
    };
    const Row rows[] = {{0, true}, {1024, true}, {1025, false}, {50000, false}};
    int closures = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.bytes) + " bytes");
        outside({"connection", "up", "GPRS"});
        CConnectionsMgr mgr;
        mgr.Initialize();
        // A connection is up: the first check comes 20 seconds later.
        EXPECT_EQ(idleWakeUpIn(mgr), 20);
        clock().advance(20 * 1000);
        mgr.OnIdleNotification();
        EXPECT_EQ(idleWakeUpIn(mgr), 300);

        // Early (a connection event moved the wake-up): the rest of the period, nothing closed.
        clock().advance(100 * 1000);
        if (row.bytes) {
            outside({"connection", "traffic", "GPRS", std::to_string(row.bytes)});
        }
        mgr.OnIdleNotification();
        EXPECT_EQ(idleWakeUpIn(mgr), 200);
        EXPECT_TRUE(up("GPRS"));
        EXPECT_EQ(mgr.GetNumConnectionsClosed(), 0);

        // The period is over: closed when no more than the limit went over the link.
        clock().advance(200 * 1000);
        mgr.OnIdleNotification();
        EXPECT_EQ(mgr.GetNumConnectionsClosed(), row.closed ? 1 : 0);
        EXPECT_TRUE(WaitUntil([&] { return up("GPRS") == !row.closed; }));
        if (row.closed) {
            ++closures;
            EXPECT_EQ(DT_Format(mgr.GetLastClose()), DT_Format(clock().localTime()));
        } else {
            // Traffic: the next period starts now.
            EXPECT_EQ(idleWakeUpIn(mgr), 300);
        }
        outside({"connection", "down", "GPRS"});
    }
    EXPECT_EQ(closures, 2);
    std::vector<std::string> lines = logged(4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Idle connections closed."), 2);
}

TEST_F(ConnectionsMgrTest, UpdateCheckAsksWithEncodedFieldsAndStoresOnlyARealAnswer) {
    HttpServer server(home.root());
    config->SetRegistryParameter("url_update", server.url() + "/");
    config->SetRegistryParameter("current_version", "1.0 beta");
    home.services().registry().setString(platform::RegRoot::CurrentUser, "ControlPanel\\Owner", "Owner",
                                         "Jürgen & Co=1");
    CConnectionsMgr mgr;
    mgr.SetVersionTimeoutMs(500);

    // Not answers: too short, an error page, a page with no version, no answer at all.
    struct Bad {
        int status;
        const char* body;  // null: the server keeps silent
    };
    const Bad bad[] = {{200, "x"},
                       {500, "<html><body>Internal error</body></html>"},
                       {200, "<html>Oops</html>\r\n"},
                       {200, nullptr}};
    size_t warnings = 0;
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.body ? b.body : "silent");
        if (b.body) {
            server.answer(b.status, b.body);
        } else {
            server.silent();
        }
        mgr.GetLastVersion();
        EXPECT_FALSE(mgr.GetVersionVerificada());
        EXPECT_FALSE(mgr.IsCheckingVersion());
        EXPECT_EQ(mgr.GetLatestVersion(), "");
        EXPECT_NE(mgr.DescribeState().find("new_version=0\n"), std::string::npos);
        std::vector<std::string> lines = logged(4);
        EXPECT_EQ(static_cast<size_t>(std::count(lines.begin(), lines.end(), "Version check failed.")),
                  ++warnings);
    }

    server.answer(200, "2.1|A newer version is out|unused|http://example.org/get\n");
    mgr.CheckVersion();
    mgr.WaitVersionCheck();
    EXPECT_TRUE(mgr.GetVersionVerificada());
    EXPECT_EQ(mgr.GetLatestVersion(), "2.1");
    EXPECT_EQ(mgr.GetLatestMessage(), "A newer version is out");
    EXPECT_EQ(mgr.GetLatestUrl(), "http://example.org/get");
    EXPECT_FALSE(mgr.IsLatestVersion());
    EXPECT_NE(mgr.DescribeState().find("new_version=1\n"), std::string::npos);
    // The message is shown after a beep.
    EXPECT_TRUE(WaitUntil([&] { return phone().beeps == 1; }));

    // Each request: the path, every text field encoded, in order, and the agent.
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    for (const std::string& request : requests) {
        EXPECT_EQ(request,
                  "/Zentrova/zentrova?user=J%C3%BCrgen%20%26%20Co%3D1&version=1.0%20beta&numRecords=0&model=&"
                  "osversion=0&resolution=vga|Zentrova");
    }
}

}  // namespace
