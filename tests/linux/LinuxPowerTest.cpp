#include <gtest/gtest.h>

#include "NetBench.h"
#include "platform/linux/CLinuxPower.h"
#include "platform/linux/CLinuxWirelessDevices.h"

namespace {

using platform::lnx::CLinuxPower;
using platform::lnx::CLinuxWirelessDevices;

const QString kUPower = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDisplay = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kAcPath = QStringLiteral("/org/freedesktop/UPower/devices/ac");
const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");

int64_t batteryValue(platform::IRegistry& registry) {
    uint32_t value = 0;
    return registry.getDword(platform::RegRoot::LocalMachine, CLinuxPower::kBatteryKey,
                             CLinuxPower::kBatteryMainValue, value) == platform::ERROR_SUCCESS
               ? int64_t{value}
               : int64_t{-1};
}

// A change of the mocked battery (charge, state, energy rate) or of the AC line reaches the main
// battery's registry value and the power status.
TEST(LinuxPowerTest, BatteryChangesReachTheRegistryAndThePowerStatus) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("upower", kUPower.toStdString())) << bench.bus().mockOutput();
    ASSERT_EQ(bench
                  .mock(kUPower, kUPowerPath, QStringLiteral("AddAC"),
                        {QStringLiteral("ac"), QStringLiteral("Mains")})
                  .type(),
              QDBusMessage::ReplyMessage);
    // The template's display device has no voltage: 0 is UPower's "unknown".
    ASSERT_EQ(bench
                  .addProperties(kUPower, kDisplay, QStringLiteral("org.freedesktop.UPower.Device"),
                                 {{QStringLiteral("Voltage"), 0.0}})
                  .type(),
              QDBusMessage::ReplyMessage);
    // The display device starts without a battery: unknown.
    CLinuxPower power(bench.thread(), bench.registry());
    EXPECT_EQ(power.unavailableReason().find("UPower"), std::string::npos) << power.unavailableReason();
    EXPECT_EQ(batteryValue(bench.registry()), -1);
    platform::PowerStatus status;
    ASSERT_EQ(power.GetPowerStatus(status), platform::ERROR_SUCCESS);
    EXPECT_EQ(status.batteryLifePercent, platform::BATTERY_PERCENTAGE_UNKNOWN);
    EXPECT_EQ(status.acLineStatus, platform::AC_LINE_ONLINE);

    struct Row {
        const char* what;
        double percentage;
        uint32_t state;  // UPower: 1 charging, 2 discharging, 4 full
        double watts;
        double volts;
        bool ac;
        int64_t value;
        int32_t milliamps;
    };
    const Row rows[] = {
        {"high, discharging", 80.4, 2, 3.8, 0, false, (80 << 16) | 0x1, -1000},
        {"low", 35, 2, 1.9, 0, false, (35 << 16) | 0x2, -500},
        {"rounded up to low, with a voltage", 9.6, 2, 4.0, 4.0, false, (10 << 16) | 0x2, -1000},
        {"critical", 5, 2, 0.38, 3.8, false, (5 << 16) | 0x4, -100},
        {"charging on the line", 50, 1, 7.6, 3.8, true, (50 << 16) | 0x8, 2000},
        {"full on the line", 100, 4, 0, 0, true, (100 << 16) | 0x8, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QVariantMap display{{QStringLiteral("IsPresent"), true},
                            {QStringLiteral("Percentage"), row.percentage},
                            {QStringLiteral("State"), QVariant::fromValue(row.state)},
                            {QStringLiteral("EnergyRate"), row.watts},
                            {QStringLiteral("Voltage"), row.volts}};
        ASSERT_EQ(bench
                      .mock(kUPower, kUPowerPath, QStringLiteral("SetDeviceProperties"),
                            {QVariant::fromValue(QDBusObjectPath(kDisplay)), display})
                      .type(),
                  QDBusMessage::ReplyMessage);
        ASSERT_EQ(bench
                      .mock(kUPower, kUPowerPath, QStringLiteral("SetDeviceProperties"),
                            {QVariant::fromValue(QDBusObjectPath(kAcPath)), QVariantMap{{"Online", row.ac}}})
                      .type(),
                  QDBusMessage::ReplyMessage);
        EXPECT_TRUE(WaitUntil([&] { return batteryValue(bench.registry()) == row.value; }))
            << batteryValue(bench.registry());
        ASSERT_EQ(power.GetPowerStatus(status), platform::ERROR_SUCCESS);
        EXPECT_EQ(status.batteryLifePercent, row.value >> 16);
        EXPECT_EQ(status.batteryFlag, row.value & 0xFFFF);
        EXPECT_EQ(status.acLineStatus, row.ac ? platform::AC_LINE_ONLINE : platform::AC_LINE_OFFLINE);
        EXPECT_EQ(status.batteryCurrent, row.milliamps);
    }
}

// The Wi-Fi adapter's device power switches NetworkManager's Wi-Fi (D0, D4) or only the adapter's
// power state (D1 to D3); other devices and bad arguments are refused.
TEST(LinuxPowerTest, DevicePowerOfTheWifiAdapterReachesNetworkManager) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("networkmanager", kNm.toStdString())) << bench.bus().mockOutput();
    CLinuxPower power(bench.thread(), bench.registry());
    struct Row {
        const char* what;
        const char* device;
        uint32_t flags;
        int state;
        platform::Result result;
        bool enabled;        // WirelessEnabled afterwards
        int64_t powerValue;  // the adapter's value afterwards
    };
    const std::string lower = [] {
        std::string s = CLinuxWirelessDevices::kWifiAdapter;
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return s;
    }();
    const Row rows[] = {
        {"off", CLinuxWirelessDevices::kWifiAdapter, platform::POWER_NAME, 4, platform::ERROR_SUCCESS, false,
         4},
        {"on, name in lower case", lower.c_str(), platform::POWER_NAME, 0, platform::ERROR_SUCCESS, true, 0},
        {"low power", CLinuxWirelessDevices::kWifiAdapter, platform::POWER_NAME, 2, platform::ERROR_SUCCESS,
         true, 2},
        {"no such state", CLinuxWirelessDevices::kWifiAdapter, platform::POWER_NAME, 5,
         platform::ERROR_INVALID_PARAMETER, true, 2},
        {"not by name", CLinuxWirelessDevices::kWifiAdapter, 0, 4, platform::ERROR_INVALID_PARAMETER, true,
         2},
        {"another device", "{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\SIMWLAN1", platform::POWER_NAME, 4,
         platform::ERROR_FILE_NOT_FOUND, true, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(
            power.SetDevicePower(row.device, row.flags, static_cast<platform::DevicePowerState>(row.state)),
            row.result);
        EXPECT_EQ(bench.property(kNm, kNmPath, kNm, QStringLiteral("WirelessEnabled")).toBool(), row.enabled);
        uint32_t value = 0;
        ASSERT_EQ(
            bench.registry().getDword(platform::RegRoot::LocalMachine, CLinuxWirelessDevices::kPowerStateKey,
                                      CLinuxWirelessDevices::kWifiAdapter, value),
            platform::ERROR_SUCCESS);
        EXPECT_EQ(value, row.powerValue);
    }
    EXPECT_EQ(power.SetLed(1, true), platform::ERROR_NOT_SUPPORTED);
}

// Suspend goes to logind only where CanSuspend says yes; the states that only say how idle the
// user is are kept; the machine is never switched off.
TEST(LinuxPowerTest, SystemPowerStateFollowsWhatLogindAllows) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("logind", kLogind.toStdString())) << bench.bus().mockOutput();
    CLinuxPower power(bench.thread(), bench.registry());
    EXPECT_EQ(power.unavailableReason().find("logind"), std::string::npos) << power.unavailableReason();
    struct Row {
        const char* what;
        const char* canSuspend;  // logind's answer
        uint32_t flags;
        platform::Result result;
        bool suspended;  // Suspend was called
        uint32_t after;  // GetSystemPowerState afterwards
    };
    const Row rows[] = {
        {"idle", "yes", platform::POWER_STATE_IDLE, platform::ERROR_SUCCESS, false,
         platform::POWER_STATE_IDLE},
        {"suspend allowed", "yes", platform::POWER_STATE_SUSPEND, platform::ERROR_SUCCESS, true,
         platform::POWER_STATE_ON},
        {"suspend refused", "no", platform::POWER_STATE_SUSPEND, platform::ERROR_ACCESS_DENIED, false,
         platform::POWER_STATE_ON},
        {"suspend with a password", "challenge", platform::POWER_STATE_SUSPEND, platform::ERROR_ACCESS_DENIED,
         false, platform::POWER_STATE_ON},
        {"cannot suspend", "na", platform::POWER_STATE_SUSPEND, platform::ERROR_NOT_SUPPORTED, false,
         platform::POWER_STATE_ON},
        {"user idle", "yes", platform::POWER_STATE_USERIDLE, platform::ERROR_SUCCESS, false,
         platform::POWER_STATE_USERIDLE},
        {"off", "yes", platform::POWER_STATE_OFF, platform::ERROR_NOT_SUPPORTED, false,
         platform::POWER_STATE_USERIDLE},
        {"nothing", "yes", 0, platform::ERROR_INVALID_PARAMETER, false, platform::POWER_STATE_USERIDLE},
        {"not a state", "yes", 0x3, platform::ERROR_INVALID_PARAMETER, false, platform::POWER_STATE_USERIDLE},
        {"on", "yes", platform::POWER_STATE_ON, platform::ERROR_SUCCESS, false, platform::POWER_STATE_ON},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bench.mock(kLogind, kLogindPath, QStringLiteral("ClearCalls"));
        ASSERT_EQ(
            bench
                .mock(kLogind, kLogindPath, QStringLiteral("AddMethod"),
                      {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("CanSuspend"),
                       QString(), QStringLiteral("s"), QStringLiteral("ret = '%1'").arg(row.canSuspend)})
                .type(),
            QDBusMessage::ReplyMessage);
        EXPECT_EQ(power.SetSystemPowerStateEx(row.flags, platform::POWER_FORCE), row.result);
        EXPECT_EQ(bench.calls(kLogind, kLogindPath).contains(QStringLiteral("Suspend")), row.suspended);
        uint32_t flags = 0;
        EXPECT_EQ(power.GetSystemPowerState(flags), platform::ERROR_SUCCESS);
        EXPECT_EQ(flags, row.after);
    }
}

// Without UPower and logind the power manager says so, the battery is unknown (its registry value
// removed, so the managers report -1) and the calls fail as a device that does not answer.
TEST(LinuxPowerTest, MissingServicesLeaveTheBatteryUnknown) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    bench.registry().setDword(platform::RegRoot::LocalMachine, CLinuxPower::kBatteryKey,
                              CLinuxPower::kBatteryMainValue, (100 << 16) | 1);
    CLinuxPower power(bench.thread(), bench.registry());
    EXPECT_EQ(power.unavailableReason(),
              "UPower (org.freedesktop.UPower) not available: the service is not running\n"
              "logind (org.freedesktop.login1) not available: the service is not running");
    EXPECT_EQ(batteryValue(bench.registry()), -1);
    platform::PowerStatus status;
    EXPECT_EQ(power.GetPowerStatus(status), platform::ERROR_READ_FAULT);
    EXPECT_EQ(status.batteryLifePercent, platform::BATTERY_PERCENTAGE_UNKNOWN);
    uint32_t flags = 1;
    EXPECT_EQ(power.GetSystemPowerState(flags), platform::ERROR_READ_FAULT);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(power.SetSystemPowerState(platform::POWER_STATE_SUSPEND), platform::ERROR_READ_FAULT);
    EXPECT_EQ(power.SetDevicePower(CLinuxWirelessDevices::kWifiAdapter, platform::POWER_NAME,
                                   platform::DevicePowerState::D0),
              platform::ERROR_FILE_NOT_FOUND);
}

}  // namespace
