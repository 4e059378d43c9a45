// The linux backend with none of its services on the bus: it sets up, names every missing
// service, never hangs, and the real program starts and runs on it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "linux/BackendProgram.h"
#include "platform/DeviceStateKeys.h"
#include "platform/PlatformError.h"
#include "platform/linux/CLinuxClock.h"
#include "platform/linux/CLinuxServices.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

namespace {

namespace fs = std::filesystem;
using platform::lnx::CLinuxClock;
using platform::lnx::CLinuxServices;

// The services each missing part names in its line.
const char* const kServices[] = {"ModemManager", "NetworkManager",       "UPower",      "org.bluez",
                                 "logind",       "systemd user manager", "sound server"};

TEST(BackendServicesTest, EmptyBusEveryServiceUnavailableAndNamed) {
    TempHome home;
    PrivateBus bus(home.root() / "bus");
    if (!bus.why().empty()) {
        GTEST_SKIP() << bus.why();
    }
    bus.exportEnvironment();
    int argc = 0;
    QCoreApplication app(argc, nullptr);

    auto begin = std::chrono::steady_clock::now();
    auto services = CLinuxServices::Create(home.root() / "linux", platform::Services::Role::Tool);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    ASSERT_TRUE(services);
    std::string all;
    for (const std::string& line : services->unavailable()) {
        EXPECT_NE(line.find(" not available: "), std::string::npos) << line;
        all += line + "\n";
    }
    for (const char* name : kServices) {
        EXPECT_NE(all.find(name), std::string::npos) << name << " missing from:\n" << all;
    }
    // The shared parts work: the program's settings live in the home's registry.
    platform::IRegistry& registry = services->registry();
    EXPECT_EQ(registry.setDword(platform::RegRoot::LocalMachine, "Software\\Test", "v", 7),
              platform::ERROR_SUCCESS);
    uint32_t v = 0;
    EXPECT_EQ(registry.getDword(platform::RegRoot::LocalMachine, "Software\\Test", "v", v),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(v, 7u);
    EXPECT_TRUE(fs::exists(home.root() / "linux" / "registry.db"));
    // No device state is made up: the managers read nothing and report -1.
    for (auto [key, name] : {std::pair{platform::state::kHardwareKey, platform::state::kWifiHardwareValue},
                             std::pair{platform::state::kBatteryKey, platform::state::kBatteryMainValue},
                             std::pair{platform::state::kPhoneKey, platform::state::kPhoneStatusValue}}) {
        EXPECT_NE(registry.getDword(platform::RegRoot::LocalMachine, key, name, v), platform::ERROR_SUCCESS)
            << key;
    }
    EXPECT_EQ(services->notifications().setUserNotification({}), 0u);
    EXPECT_TRUE(services->notifications().getUserNotificationHandles().empty());
}

// The system clock at speed 1, in the machine's local time, and never set by the program.
TEST(BackendServicesTest, ClockIsTheSystemClock) {
    CLinuxClock clock;
    EXPECT_EQ(clock.speed(), 1.0);
    EXPECT_EQ(clock.realDuration(1500), std::chrono::milliseconds(1500));

    // Local time against the C library's own conversion, at instants either side of 1970 and of
    // a year's end.
    struct Case {
        int64_t utcMs;
    };
    const Case cases[] = {{0},        {-1}, {86399999}, {951782400000}, {1798761599999}, {1798761600000},
                          {-86400001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utcMs);
        const int64_t secs = c.utcMs >= 0 ? c.utcMs / 1000 : -((-c.utcMs + 999) / 1000);
        time_t t = static_cast<time_t>(secs);
        std::tm tm{};
        ASSERT_TRUE(localtime_r(&t, &tm));
        EXPECT_EQ(CLinuxClock::localAt(c.utcMs),
                  static_cast<int64_t>(timegm(&tm)) * 1000 + (c.utcMs - secs * 1000));
    }

    const int64_t before = clock.localMillis();
    SYSTEMTIME now = clock.localTime();
    const int64_t after = clock.localMillis();
    std::tm tm{};
    tm.tm_year = now.wYear - 1900;
    tm.tm_mon = now.wMonth - 1;
    tm.tm_mday = now.wDay;
    tm.tm_hour = now.wHour;
    tm.tm_min = now.wMinute;
    tm.tm_sec = now.wSecond;
    const int64_t shown = static_cast<int64_t>(timegm(&tm)) * 1000 + now.wMilliseconds;
    EXPECT_GE(shown, before);
    EXPECT_LE(shown, after);
    timegm(&tm);  // fills tm_wday
    EXPECT_EQ(now.wDayOfWeek, tm.tm_wday);

    const uint32_t t0 = clock.tickCount();
    clock.sleep(30);
    const uint32_t waited = clock.tickCount() - t0;
    EXPECT_GE(waited, 30u);

    try {
        clock.setLocalMillis(0);
        ADD_FAILURE() << "the system clock was set";
    } catch (const platform::PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("system clock"), std::string::npos) << e.what();
    }
}

// The real program on the linux backend with nothing on the bus: it starts, its managers say
// -1, its event log names the missing services, the tool reads the same state, and it stops.
TEST(BackendServicesTest, ProgramStartsOnAnEmptyBus) {
    TempHome temp;
    BackendProgram program(temp.root() / "linux");
    if (!program.why().empty()) {
        GTEST_SKIP() << program.why();
    }
    ASSERT_TRUE(program.start()) << program.output();

    const std::string managers = program.device({"app"}).second;
    EXPECT_TRUE(std::regex_search(managers, std::regex("\nmgr[0-9]+=-1\n"))) << managers;

    std::string log;
    EXPECT_TRUE(WaitUntil(
        [&] {
            log = program.device({"log"}).second;
            return log.find("NetworkManager") != std::string::npos;
        },
        std::chrono::seconds(20)));
    for (const char* name : kServices) {
        EXPECT_NE(log.find(name), std::string::npos) << name << " missing from the event log:\n" << log;
    }

    auto [code, status] = program.device({"status"});
    EXPECT_EQ(code, 0) << status;
    for (const char* line :
         {"backend=linux\n", "speed=1\n", "wifi_hardware=-1\n", "battery_main=-1\n", "program=running\n"}) {
        EXPECT_NE(status.find(line), std::string::npos) << line << " missing from:\n" << status;
    }
    EXPECT_EQ(program.stop(), 0) << program.output();
}

// Installing a home for the linux backend writes the program's settings and none of the simulated
// phone's devices: the state the managers read stays unknown until a service gives it.
TEST(BackendServicesTest, InstallOnTheLinuxBackendWritesNoSimulatedDevices) {
    TempHome temp;
    BackendProgram program(temp.root() / "linux");
    if (!program.why().empty()) {
        GTEST_SKIP() << program.why();
    }
    auto [code, out] = program.run("zentrova", {"--backend", "linux", "--install"});
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(out.find("installed in "), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(program.home() / "phone" / "devices.db"));
    for (const char* key : {"wifi_hardware", "phone_status", "battery_main"}) {
        EXPECT_EQ(program.value(key, {"status"}), "-1") << key;
    }
}

}  // namespace
