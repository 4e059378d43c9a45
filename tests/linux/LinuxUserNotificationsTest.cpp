#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusVariant>
#include <chrono>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>

#include "platform/linux/CDBusThread.h"
#include "platform/linux/CLinuxUserNotifications.h"
#include "support/ChildProcess.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

namespace {

using platform::UserNotificationTrigger;
using platform::lnx::CDBusThread;
using platform::lnx::CLinuxUserNotifications;

const QString kSystemd = QStringLiteral("org.freedesktop.systemd1");
const QString kSystemdPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kManager = QStringLiteral("org.freedesktop.systemd1.Manager");

// A clock at a fixed distance from the system's local time, at a speed of its own; a frozen
// clock stays at the time it was made, so that the distance of a trigger from now is exact.
class OffsetClock : public platform::IClock {
  public:
    OffsetClock(int64_t offsetMs, double speed, bool frozen = false) : _offset(offsetMs), _speed(speed) {
        if (frozen) {
            _frozenAt = systemMillis() + offsetMs;
        }
    }
    SYSTEMTIME localTime() override { return toTime(localMillis()); }
    int64_t localMillis() override { return _frozenAt ? *_frozenAt : systemMillis() + _offset; }
    static int64_t systemMillis() {
        auto now = std::chrono::system_clock::now();
        std::time_t secs = std::chrono::system_clock::to_time_t(now);
        struct tm local {};
        localtime_r(&secs, &local);
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        return static_cast<int64_t>(timegm(&local)) * 1000 + ms;
    }
    uint32_t tickCount() override { return 0; }
    void sleep(uint32_t) override {}
    std::chrono::nanoseconds realDuration(uint32_t ms) override {
        return std::chrono::nanoseconds(static_cast<int64_t>(ms * 1e6 / _speed));
    }
    double speed() override { return _speed; }

    static SYSTEMTIME toTime(int64_t ms) {
        std::time_t secs = static_cast<std::time_t>(ms / 1000);
        struct tm tm {};
        gmtime_r(&secs, &tm);
        SYSTEMTIME t;
        t.wYear = static_cast<uint16_t>(tm.tm_year + 1900);
        t.wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
        t.wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
        t.wDay = static_cast<uint16_t>(tm.tm_mday);
        t.wHour = static_cast<uint16_t>(tm.tm_hour);
        t.wMinute = static_cast<uint16_t>(tm.tm_min);
        t.wSecond = static_cast<uint16_t>(tm.tm_sec);
        t.wMilliseconds = static_cast<uint16_t>(ms % 1000);
        return t;
    }

  private:
    int64_t _offset;
    double _speed;
    std::optional<int64_t> _frozenAt;
};

SYSTEMTIME at(int y, int mo, int d, int h, int mi, int s, int ms) {
    SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

TEST(LinuxUserNotificationsTest, UnitNamesAndCalendarTexts) {
    struct NameRow {
        std::string unit;
        uint32_t handle;  // 0: not one of ours
    };
    const NameRow names[] = {
        {"zentrova-1.timer", 1},
        {"zentrova-4294967295.timer", 4294967295u},
        {"zentrova-4294967296.timer", 0},
        {"zentrova-0.timer", 0},
        {"zentrova-01.timer", 0},
        {"zentrova-1.service", 0},
        {"zentrova-.timer", 0},
        {"zentrova-1x.timer", 0},
        {"other-1.timer", 0},
        {"zentrova-12.timer.bak", 0},
    };
    for (const auto& row : names) {
        auto handle = CLinuxUserNotifications::handleOfUnit(row.unit);
        EXPECT_EQ(handle.value_or(0), row.handle) << row.unit;
        if (row.handle != 0) {
            EXPECT_EQ(CLinuxUserNotifications::unitName(row.handle, ".timer"), row.unit);
        }
    }

    struct TimeRow {
        SYSTEMTIME time;
        const char* text;
    };
    const TimeRow times[] = {
        {at(2030, 1, 2, 3, 4, 5, 0), "2030-01-02 03:04:05"},
        // Never early: a part of a second goes to the next whole second, across a day and a year.
        {at(2030, 1, 2, 3, 4, 5, 1), "2030-01-02 03:04:06"},
        {at(2030, 12, 31, 23, 59, 59, 500), "2031-01-01 00:00:00"},
        {at(2028, 2, 28, 23, 59, 59, 999), "2028-02-29 00:00:00"},
    };
    for (const auto& row : times) {
        EXPECT_EQ(CLinuxUserNotifications::calendarText(row.time), row.text);
    }
}

// The service manager absent from the session bus: a clear line, no handle, nothing listed.
TEST(LinuxUserNotificationsTest, WithoutTheServiceManagerNothingIsRegistered) {
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    CDBusThread thread;
    OffsetClock clock(0, 1.0);
    CLinuxUserNotifications notifications(thread, home.services().registry(), clock);

    EXPECT_NE(notifications.unavailableReason().find("org.freedesktop.systemd1"), std::string::npos)
        << notifications.unavailableReason();
    UserNotificationTrigger t;
    t.application = "/usr/bin/true";
    t.start = OffsetClock::toTime(clock.localMillis() + 60000);
    EXPECT_EQ(notifications.setUserNotification(t), 0u);
    EXPECT_TRUE(notifications.getUserNotificationHandles().empty());
    EXPECT_FALSE(notifications.clearUserNotification(1));
    EXPECT_FALSE(home.services().registry().keyExists(
        platform::RegRoot::CurrentUser, std::string(CLinuxUserNotifications::kIndexKey) + "\\1"));
}

// The mock manager keeps no units of its own: this listing answers with the timers started and
// neither stopped nor marked as fired by the test, and the test reads back what a unit was
// started with (timer and service properties as JSON).
// (The code runs under exec() with locals of its own: comprehensions cannot see them, so plain
// loops.)
const char* kListUnits =
    "started = []\n"
    "stopped = []\n"
    "for (t, m, a) in self.call_log:\n"
    "    if m == 'StartTransientUnit':\n"
    "        started.append(str(a[0]))\n"
    "    if m in ('StopUnit', 'MockFire'):\n"
    "        stopped.append(str(a[0]))\n"
    "ret = []\n"
    "for n in started:\n"
    "    if n not in stopped:\n"
    "        ret.append((n, 'd', 'loaded', 'active', 'waiting', '', dbus.ObjectPath('/u'), dbus.UInt32(0), "
    "'',\n"
    "                    dbus.ObjectPath('/')))\n";
const char* kUnitProperties =
    "import json\n"
    "c = None\n"
    "for (t, m, a) in self.call_log:\n"
    "    if m == 'StartTransientUnit' and str(a[0]) == args[0]:\n"
    "        c = a\n"
    "out = {'mode': str(c[1]), 'timer': {}}\n"
    "for (k, v) in c[2]:\n"
    "    out['timer'][str(k)] = v\n"
    "for (n, p) in c[3]:\n"
    "    out[str(n)] = {}\n"
    "    for (k, v) in p:\n"
    "        out[str(n)][str(k)] = v\n"
    "ret = json.dumps(out, sort_keys=True)\n";

// Calls the mock's own interface, or with `helper` a method the test added to the manager.
std::string callText(CDBusThread& thread, const QString& member, const QList<QVariant>& args,
                     bool helper = false) {
    QDBusMessage reply = thread.call(CDBusThread::Bus::Session, kSystemd, kSystemdPath,
                                     helper ? kManager : kMock, member, args);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        return "error " + reply.errorName().toStdString() + ": " + reply.errorMessage().toStdString();
    }
    return reply.arguments().isEmpty() ? std::string() : reply.arguments().at(0).toString().toStdString();
}

TEST(LinuxUserNotificationsTest, TriggersBecomeTransientTimersOfTheMockedManager) {
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    ASSERT_TRUE(bus.startTemplate("systemd", "org.freedesktop.systemd1")) << bus.mockOutput();
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    CDBusThread thread;
    for (const auto& [name, in, out, code] :
         {std::tuple{"ListUnitsByPatterns", "asas", "a(ssssssouso)", kListUnits},
          std::tuple{"MockFire", "s", "", ""}, std::tuple{"MockUnitProperties", "s", "s", kUnitProperties}}) {
        ASSERT_EQ(callText(thread, "AddMethod",
                           {QString(kManager), QString(name), QString(in), QString(out), QString(code)}),
                  "");
    }

    struct Row {
        const char* what;
        int64_t offsetMs;  // of the phone clock from the system's
        double speed;
        int64_t dueInMs;  // the trigger's start from the phone clock's now
        const char* arguments;
        std::string timerSetting;  // expected in the timer's properties
        std::string argv;          // expected ExecStart argv
    };
    OffsetClock systemClock(0, 1.0);
    const int64_t now = systemClock.localMillis();
    const SYSTEMTIME inTenMinutes = OffsetClock::toTime(now + 600000);
    const Row rows[] = {
        {"future on the system clock", 0, 1.0, 600000, "AppRunAtTime 1",
         "\"OnCalendar\": [[\"OnCalendar\", \"" + CLinuxUserNotifications::calendarText(inTenMinutes) +
             "\"]]",
         "[\"/opt/zv/zentrova\", \"AppRunAtTime 1\"]"},
        {"due already", 0, 1.0, -5000, "", "\"OnActiveSec\": [[\"OnActiveSec\", 1000]]",
         "[\"/opt/zv/zentrova\"]"},
        {"a fast phone clock", 0, 60.0, 120000, "x", "\"OnActiveSec\": [[\"OnActiveSec\", 2000000]]",
         "[\"/opt/zv/zentrova\", \"x\"]"},
        {"a phone clock of its own", 3600000, 1.0, 30000, "y",
         "\"OnActiveSec\": [[\"OnActiveSec\", 30000000]]", "[\"/opt/zv/zentrova\", \"y\"]"},
    };
    std::vector<uint32_t> handles;
    for (const Row& row : rows) {
        OffsetClock clock(row.offsetMs, row.speed, true);
        CLinuxUserNotifications notifications(thread, home.services().registry(), clock);
        EXPECT_EQ(notifications.unavailableReason(), "");
        UserNotificationTrigger t;
        t.application = "/opt/zv/zentrova";
        t.arguments = row.arguments;
        t.start = OffsetClock::toTime(row.dueInMs == 600000 ? now + 600000 + row.offsetMs
                                                            : clock.localMillis() + row.dueInMs);
        t.end = t.start;
        t.event = 7;
        uint32_t handle = notifications.setUserNotification(t);
        ASSERT_NE(handle, 0u) << row.what << bus.mockOutput();
        handles.push_back(handle);
        std::string json =
            callText(thread, "MockUnitProperties",
                     {QString::fromStdString(CLinuxUserNotifications::unitName(handle, ".timer"))}, true);
        EXPECT_NE(json.find(row.timerSetting), std::string::npos) << row.what << "\n" << json;
        EXPECT_NE(json.find("\"ExecStart\": [[\"/opt/zv/zentrova\", " + row.argv + ", 0]]"),
                  std::string::npos)
            << row.what << "\n"
            << json;
        for (const char* part : {"\"AccuracyUSec\": 1000000", "\"RemainAfterElapse\": 0", "\"WakeSystem\": 1",
                                 "ZENTROVA_BACKEND=", "\"mode\": \"fail\""}) {
            EXPECT_NE(json.find(part), std::string::npos) << row.what << ": " << part << "\n" << json;
        }
        EXPECT_NE(json.find("\"" + CLinuxUserNotifications::unitName(handle, ".service") + "\""),
                  std::string::npos)
            << json;
        UserNotificationTrigger back;
        ASSERT_TRUE(notifications.getUserNotification(handle, back)) << row.what;
        EXPECT_EQ(back.application, t.application);
        EXPECT_EQ(back.arguments, t.arguments);
        EXPECT_EQ(back.event, 7u);
        EXPECT_TRUE(back.start == t.start) << row.what;
        EXPECT_TRUE(back.end == t.end) << row.what;
    }
    ASSERT_EQ(handles.size(), 4u);
    for (size_t i = 1; i < handles.size(); ++i) {
        EXPECT_GT(handles[i], handles[i - 1]);
    }

    OffsetClock clock(0, 1.0);
    CLinuxUserNotifications notifications(thread, home.services().registry(), clock);
    EXPECT_EQ(notifications.getUserNotificationHandles(), handles);
    UserNotificationTrigger other;
    other.type = 5;  // not a time trigger
    other.application = "/opt/zv/zentrova";
    EXPECT_EQ(notifications.setUserNotification(other), 0u);

    // A timer that fired is gone from the manager, and so from the list.
    callText(thread, "MockFire",
             {QString::fromStdString(CLinuxUserNotifications::unitName(handles[1], ".timer"))}, true);
    EXPECT_EQ(notifications.getUserNotificationHandles(),
              (std::vector<uint32_t>{handles[0], handles[2], handles[3]}));
    UserNotificationTrigger gone;
    EXPECT_FALSE(notifications.getUserNotification(handles[1], gone));

    // Clearing stops the timer; a second clear and an unknown handle find nothing.
    const QString first = QString::fromStdString(CLinuxUserNotifications::unitName(handles[0], ".timer"));
    thread.call(CDBusThread::Bus::Session, kSystemd, kSystemdPath, kMock, QStringLiteral("AddMockUnit"),
                {first});
    EXPECT_TRUE(notifications.clearUserNotification(handles[0])) << bus.mockOutput();
    EXPECT_NE(bus.mockOutput().find("StopUnit \"" + first.toStdString() + "\""), std::string::npos);
    EXPECT_FALSE(notifications.clearUserNotification(handles[0]));
    EXPECT_FALSE(notifications.clearUserNotification(999999));
    EXPECT_EQ(notifications.getUserNotificationHandles(), (std::vector<uint32_t>{handles[2], handles[3]}));
}

// A real user service manager on a bus of the test's own: a transient timer starts the given
// command line, which leaves its argument in a file.
TEST(LinuxUserNotificationsTest, ARealUserManagerStartsTheProgramAtTheTime) {
    if (!std::filesystem::exists("/usr/lib/systemd/systemd") &&
        !std::filesystem::exists("/usr/bin/systemd")) {
        GTEST_SKIP() << "systemd is not installed";
    }
    if (!std::filesystem::exists("/run/systemd/system")) {
        GTEST_SKIP() << "this machine was not booted with systemd (/run/systemd/system is missing): "
                        "systemd --user refuses to run here";
    }
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    std::filesystem::path runtime = home.root() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    auto env = bus.environment();
    env["XDG_RUNTIME_DIR"] = runtime.string();
    ChildProcess manager(
        std::filesystem::exists("/usr/lib/systemd/systemd") ? "/usr/lib/systemd/systemd" : "/usr/bin/systemd",
        {"--user", "--log-target=console"}, env, home.root() / "systemd.out");
    if (!WaitUntil([&] { return bus.hasOwner("org.freedesktop.systemd1"); }) || !manager.running()) {
        GTEST_SKIP() << "systemd --user did not start on a private bus: " << manager.output();
    }
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    CDBusThread thread;
    OffsetClock clock(0, 1.0);
    CLinuxUserNotifications notifications(thread, home.services().registry(), clock);
    ASSERT_EQ(notifications.unavailableReason(), "");

    // The command line writes its argument into a file: the wake-up's line reaches the program.
    std::filesystem::path script = home.root() / "woken.sh";
    std::filesystem::path out = home.root() / "woken.txt";
    {
        std::ofstream s(script);
        s << "#!/bin/sh\nprintf '%s' \"$1\" > " << out.string() << "\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    UserNotificationTrigger t;
    t.application = script.string();
    t.arguments = "AppRunAtTime 42";
    t.start = OffsetClock::toTime(clock.localMillis() + 2000);
    uint32_t handle = notifications.setUserNotification(t);
    ASSERT_NE(handle, 0u) << manager.output();
    EXPECT_EQ(notifications.getUserNotificationHandles(), std::vector<uint32_t>{handle});
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(out); }, std::chrono::seconds(15)))
        << manager.output();
    std::ifstream in(out);
    std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(line, "AppRunAtTime 42");
    // Fired: no longer pending.
    EXPECT_TRUE(WaitUntil([&] { return notifications.getUserNotificationHandles().empty(); }));
}

}  // namespace
