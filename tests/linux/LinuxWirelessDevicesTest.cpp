#include <gtest/gtest.h>

#include "NetBench.h"
#include "platform/linux/CLinuxBluetoothStack.h"
#include "platform/linux/CLinuxWirelessDevices.h"

namespace {

using platform::WirelessDevice;
using platform::lnx::CLinuxBluetoothStack;
using platform::lnx::CLinuxWirelessDevices;

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kMm = QStringLiteral("org.freedesktop.ModemManager1");
const QString kMmPath = QStringLiteral("/org/freedesktop/ModemManager1");
const QString kModemPath = QStringLiteral("/org/freedesktop/ModemManager1/Modem/0");
const QString kModem = QStringLiteral("org.freedesktop.ModemManager1.Modem");
const QString kBluez = QStringLiteral("org.bluez");
const QString kAdapterPath = QStringLiteral("/org/bluez/hci0");
const QString kAdapter = QStringLiteral("org.bluez.Adapter1");

// The two registry values the Wi-Fi manager reads; -1 when missing.
std::pair<int64_t, int64_t> wifiValues(platform::IRegistry& registry) {
    uint32_t power = 0;
    uint32_t hardware = 0;
    int64_t p = registry.getDword(platform::RegRoot::LocalMachine, CLinuxWirelessDevices::kPowerStateKey,
                                  CLinuxWirelessDevices::kWifiAdapter, power) == platform::ERROR_SUCCESS
                    ? int64_t{power}
                    : int64_t{-1};
    int64_t h = registry.getDword(platform::RegRoot::LocalMachine, CLinuxWirelessDevices::kHardwareKey,
                                  CLinuxWirelessDevices::kWifiValue, hardware) == platform::ERROR_SUCCESS
                    ? int64_t{hardware}
                    : int64_t{-1};
    return {p, h};
}

std::pair<int64_t, int64_t> expectedWifi(bool on) {
    return {on ? 0 : 4, on ? CLinuxWirelessDevices::kWifiOn : CLinuxWirelessDevices::kWifiOff};
}

// Wi-Fi switched from outside (another program sets WirelessEnabled) reaches the registry the
// manager reads; switched by the program it reaches NetworkManager and the registry.
TEST(LinuxWirelessDevicesTest, WifiFollowsNetworkManagerBothWays) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("networkmanager", kNm.toStdString())) << bench.bus().mockOutput();
    struct Row {
        const char* what;
        bool initially;
        bool byProgram;
        bool target;
    };
    const Row rows[] = {
        {"outside on", false, false, true},        {"outside off", true, false, false},
        {"program on", false, true, true},         {"program off", true, true, false},
        {"program on while on", true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bench.setProperty(kNm, kNmPath, kNm, QStringLiteral("WirelessEnabled"), row.initially);
        CLinuxWirelessDevices devices(bench.thread(), bench.registry());
        EXPECT_EQ(devices.unavailableReason(), "");
        EXPECT_EQ(wifiValues(bench.registry()), expectedWifi(row.initially));
        if (row.byProgram) {
            WirelessDevice wifi;
            wifi.name = "wlan1";  // names are compared without regard to case
            wifi.deviceType = platform::WDEVICE_WIFI;
            EXPECT_EQ(devices.ChangeRadioState(wifi, row.target ? 1 : 0, 2), platform::ERROR_SUCCESS);
        } else {
            bench.setProperty(kNm, kNmPath, kNm, QStringLiteral("WirelessEnabled"), row.target);
        }
        EXPECT_TRUE(WaitUntil([&] { return wifiValues(bench.registry()) == expectedWifi(row.target); }));
        EXPECT_EQ(bench.property(kNm, kNmPath, kNm, QStringLiteral("WirelessEnabled")).toBool(), row.target);
        std::vector<WirelessDevice> list;
        ASSERT_EQ(devices.GetWirelessDevices(list, 0), platform::ERROR_SUCCESS);
        ASSERT_EQ(list.size(), 1u);  // no modem, no Bluetooth here
        EXPECT_EQ(list[0].deviceType, platform::WDEVICE_WIFI);
        EXPECT_EQ(list[0].state, row.target ? 1u : 0u);
    }
}

// The phone radio (a ModemManager modem) and Bluetooth (a BlueZ adapter) are listed and switched;
// a state a device does not have and a device that is not there are refused.
TEST(LinuxWirelessDevicesTest, SwitchesModemAndBluetoothAndRefusesWhatIsNotThere) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("networkmanager", kNm.toStdString())) << bench.bus().mockOutput();
    ASSERT_TRUE(bench.bus().startTemplate("bluez5", kBluez.toStdString())) << bench.bus().mockOutput();
    ASSERT_TRUE(bench.startPlain(kMm.toStdString(), kMmPath.toStdString(), kMm.toStdString()));
    ASSERT_EQ(bench.addAdapter().type(), QDBusMessage::ReplyMessage);
    // A modem whose Enable switches its power state as ModemManager's does (3 on, 2 low).
    QDBusMessage added = bench.addObject(
        kMm, kMmPath, kModemPath, kModem, {{QStringLiteral("PowerState"), QVariant::fromValue(3u)}},
        {{QStringLiteral("Enable"), QStringLiteral("b"), QString(),
          QStringLiteral("self.Set('org.freedesktop.ModemManager1.Modem', 'PowerState', "
                         "dbus.UInt32(3 if args[0] else 2))")}});
    ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();

    CLinuxWirelessDevices devices(bench.thread(), bench.registry());
    struct Row {
        const char* what;
        uint32_t type;
        const char* name;
        uint32_t state;
        platform::Result result;
    };
    const Row rows[] = {
        {"modem off", platform::WDEVICE_PHONE, "MODEM1", 0, platform::ERROR_SUCCESS},
        {"modem on", platform::WDEVICE_PHONE, "MODEM1", 1, platform::ERROR_SUCCESS},
        {"modem state 2", platform::WDEVICE_PHONE, "MODEM1", 2, platform::ERROR_INVALID_PARAMETER},
        {"bluetooth discoverable", platform::WDEVICE_BLUETOOTH, "BTH1", 2, platform::ERROR_SUCCESS},
        {"bluetooth connectable", platform::WDEVICE_BLUETOOTH, "BTH1", 1, platform::ERROR_SUCCESS},
        {"bluetooth off", platform::WDEVICE_BLUETOOTH, "BTH1", 0, platform::ERROR_SUCCESS},
        {"bluetooth state 3", platform::WDEVICE_BLUETOOTH, "BTH1", 3, platform::ERROR_INVALID_PARAMETER},
        {"wifi state 2", platform::WDEVICE_WIFI, "WLAN1", 2, platform::ERROR_INVALID_PARAMETER},
        {"wifi under another name", platform::WDEVICE_WIFI, "SIMWLAN1", 1, platform::ERROR_FILE_NOT_FOUND},
        {"unknown type", 9, "WLAN1", 1, platform::ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<WirelessDevice> before;
        ASSERT_EQ(devices.GetWirelessDevices(before, 0), platform::ERROR_SUCCESS);
        ASSERT_EQ(before.size(), 3u);
        WirelessDevice device;
        device.name = row.name;
        device.deviceType = row.type;
        EXPECT_EQ(devices.ChangeRadioState(device, row.state, 0), static_cast<uint32_t>(row.result));
        std::vector<WirelessDevice> after;
        ASSERT_EQ(devices.GetWirelessDevices(after, 0), platform::ERROR_SUCCESS);
        for (size_t i = 0; i < after.size(); ++i) {
            uint32_t expected = (row.result == platform::ERROR_SUCCESS && after[i].deviceType == row.type)
                                    ? row.state
                                    : before[i].state;
            EXPECT_EQ(after[i].state, expected) << after[i].name;
        }
    }
    // What the services hold after the last switches: the modem on, the adapter off.
    EXPECT_EQ(bench.property(kMm, kModemPath, kModem, QStringLiteral("PowerState")).toUInt(), 3u);
    EXPECT_FALSE(bench.property(kBluez, kAdapterPath, kAdapter, QStringLiteral("Powered")).toBool());
}

// Without NetworkManager, ModemManager or BlueZ nothing is listed, switches find no device, the
// Wi-Fi values the manager reads are removed (it reports -1) and the reason names the service.
TEST(LinuxWirelessDevicesTest, MissingServicesListNothingAndLeaveWifiUnknown) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    CLinuxWirelessDevices::writeWifiValues(bench.registry(), true);  // left from an earlier run
    CLinuxWirelessDevices devices(bench.thread(), bench.registry());
    EXPECT_EQ(devices.unavailableReason().rfind(
                  "NetworkManager (org.freedesktop.NetworkManager) not available: ", 0),
              0u)
        << devices.unavailableReason();
    EXPECT_EQ(wifiValues(bench.registry()), std::make_pair(int64_t{-1}, int64_t{-1}));
    std::vector<WirelessDevice> list;
    EXPECT_EQ(devices.GetWirelessDevices(list, 0), platform::ERROR_SUCCESS);
    EXPECT_TRUE(list.empty());
    for (auto [type, name] :
         {std::pair{platform::WDEVICE_WIFI, "WLAN1"}, std::pair{platform::WDEVICE_PHONE, "MODEM1"},
          std::pair{platform::WDEVICE_BLUETOOTH, "BTH1"}}) {
        WirelessDevice device;
        device.name = name;
        device.deviceType = type;
        EXPECT_EQ(devices.ChangeRadioState(device, 1, 0),
                  static_cast<uint32_t>(platform::ERROR_FILE_NOT_FOUND))
            << name;
    }
}

}  // namespace
