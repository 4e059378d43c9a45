// The simulated phone's radios: the registry values that follow them, the wireless-device list,
// the power manager, the stored state and the control verbs.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/sim/CSimPhone.h"
#include "support/TempHome.h"

namespace {

using platform::DevicePowerState;
using platform::RegRoot;
using platform::WirelessDevice;
using platform::sim::CSimPhone;

class SimPhoneTest : public ::testing::Test {
  protected:
    uint32_t dword(const char* key, const char* name) {
        uint32_t v = 0xDEAD;
        EXPECT_EQ(home.services().registry().getDword(RegRoot::LocalMachine, key, name, v),
                  platform::ERROR_SUCCESS);
        return v;
    }
    uint32_t wifiHardware() { return dword(CSimPhone::kHardwareKey, CSimPhone::kWifiHardwareValue); }
    uint32_t wifiPower() { return dword(CSimPhone::kPowerStateKey, CSimPhone::kWifiAdapter); }
    // The list's record of one device type.
    WirelessDevice device(uint32_t type) {
        std::vector<WirelessDevice> list;
        EXPECT_EQ(devices().GetWirelessDevices(list, 0), 0u);
        EXPECT_EQ(list.size(), 3u);
        for (const auto& d : list) {
            if (d.deviceType == type) {
                return d;
            }
        }
        ADD_FAILURE() << "no device of type " << type;
        return {};
    }
    platform::IWirelessDevices& devices() { return *home.services().wirelessDevices(); }

    TempHome home;
};

TEST_F(SimPhoneTest, RegistryValuesFollowTheRadio) {
    // A new phone: Wi-Fi off, its adapter powered down.
    EXPECT_EQ(wifiHardware(), CSimPhone::kWifiHardwareOff);
    EXPECT_EQ(wifiPower(), 4u);

    ASSERT_EQ(devices().ChangeRadioState(device(platform::WDEVICE_WIFI), 1, 2), 0u);
    EXPECT_EQ(wifiHardware(), CSimPhone::kWifiHardwareOn);
    EXPECT_EQ(wifiPower(), 0u);

    auto& power = home.services().power();
    ASSERT_EQ(power.SetDevicePower(CSimPhone::kWifiAdapter, platform::POWER_NAME, DevicePowerState::D4),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(wifiHardware(), CSimPhone::kWifiHardwareOff);
    EXPECT_EQ(device(platform::WDEVICE_WIFI).state, 0u);

    ASSERT_EQ(power.SetDevicePower(CSimPhone::kWifiAdapter, platform::POWER_NAME, DevicePowerState::D0),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(wifiHardware(), CSimPhone::kWifiHardwareOn);
    EXPECT_EQ(device(platform::WDEVICE_WIFI).state, 1u);
}

TEST_F(SimPhoneTest, UnknownDevicesAreRefused) {
    auto& power = home.services().power();
    EXPECT_EQ(power.SetDevicePower("{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\OTHER1", platform::POWER_NAME,
                                   DevicePowerState::D0),
              platform::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(power.SetDevicePower("", platform::POWER_NAME, DevicePowerState::D4),
              platform::ERROR_FILE_NOT_FOUND);
    WirelessDevice stranger = device(platform::WDEVICE_WIFI);
    stranger.name = "ETH0";
    EXPECT_EQ(devices().ChangeRadioState(stranger, 1, 2),
              static_cast<uint32_t>(platform::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(device(platform::WDEVICE_WIFI).state, 0u);
    EXPECT_EQ(wifiHardware(), CSimPhone::kWifiHardwareOff);
}

TEST_F(SimPhoneTest, TheListReflectsEveryRadio) {
    EXPECT_EQ(device(platform::WDEVICE_PHONE).state, 1u);
    EXPECT_EQ(device(platform::WDEVICE_BLUETOOTH).state, 0u);
    ASSERT_EQ(devices().ChangeRadioState(device(platform::WDEVICE_BLUETOOTH), 2, 2), 0u);
    ASSERT_EQ(devices().ChangeRadioState(device(platform::WDEVICE_PHONE), 0, 2), 0u);
    EXPECT_EQ(device(platform::WDEVICE_BLUETOOTH).state, 2u);
    EXPECT_EQ(device(platform::WDEVICE_PHONE).state, 0u);
    EXPECT_EQ(device(platform::WDEVICE_WIFI).state, 0u);
    EXPECT_EQ(devices().ChangeRadioState(device(platform::WDEVICE_WIFI), 3, 2),
              static_cast<uint32_t>(platform::ERROR_INVALID_PARAMETER));
}

TEST_F(SimPhoneTest, StateSurvivesThePhoneAndARestartRewritesTheRegistry) {
    platform::CHome phoneHome(home.root());
    auto& registry = home.services().registry();
    CSimPhone::State expected;
    {
        CSimPhone phone(phoneHome, registry, true);
        phone.setWifi(true);
        phone.setBluetooth(CSimPhone::Bluetooth::Connectable);
        phone.setRadio(false);
        expected = phone.state();
    }
    EXPECT_TRUE(expected.wifi);
    EXPECT_EQ(CSimPhone::load(phoneHome), expected);

    // A value changed by hand: a tool's phone leaves it, the program's phone restores it.
    registry.setDword(RegRoot::LocalMachine, CSimPhone::kHardwareKey, CSimPhone::kWifiHardwareValue, 5);
    CSimPhone(phoneHome, registry, false);
    EXPECT_EQ(wifiHardware(), 5u);
    CSimPhone again(phoneHome, registry, true);
    EXPECT_EQ(again.state(), expected);
    EXPECT_EQ(wifiHardware(), CSimPhone::kWifiHardwareOn);
}

// Two phones on one home stand for two processes: each one's state follows its own changes and
// the other's, step after step, though a phone keeps the state it read last.
TEST_F(SimPhoneTest, StateFollowsChangesOfThisAndOtherConnections) {
    platform::CHome phoneHome(home.root());
    auto& registry = home.services().registry();
    CSimPhone mine(phoneHome, registry, true);
    CSimPhone other(phoneHome, registry, false);
    struct Row {
        const char* step;
        std::function<void()> change;
        int32_t cell;
        bool wifi;
    };
    const Row rows[] = {
        {"this phone moves", [&] { mine.setCell(101, 7); }, 101, false},
        {"the other phone moves", [&] { other.setCell(202, 7); }, 202, false},
        {"the other switches Wi-Fi on", [&] { other.setWifi(true); }, 202, true},
        {"this phone moves again", [&] { mine.setCell(303, 7); }, 303, true},
        {"nothing changes", [] {}, 303, true},
        {"this phone switches Wi-Fi off", [&] { mine.setWifi(false); }, 303, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.step);
        row.change();
        for (CSimPhone* phone : {&mine, &other}) {
            const CSimPhone::State s = phone->state();
            EXPECT_EQ(s.cell, row.cell);
            EXPECT_EQ(s.wifi, row.wifi);
            EXPECT_EQ(s, CSimPhone::load(phoneHome));
        }
    }
}

TEST_F(SimPhoneTest, ControlWifiOffReachesARegistryWatch) {
    platform::CHome phoneHome(home.root());
    platform::CControlServer control(phoneHome);
    home.services().registerControlCommands(control);
    ASSERT_TRUE(control.start());
    platform::CControlClient client(phoneHome);
    std::string reply;
    ASSERT_EQ(client.request({"wifi", "on"}, reply), platform::CControlClient::Status::Ok) << reply;

    // What a watcher sees when it is told: the new value, and the list already in step with it.
    std::mutex m;
    std::condition_variable told;
    std::optional<uint32_t> seenValue, seenListState;
    platform::HREGNOTIFY watch = 0;
    ASSERT_EQ(home.services().registry().notifyCallback(
                  RegRoot::LocalMachine, CSimPhone::kHardwareKey, CSimPhone::kWifiHardwareValue, 0xFFFFFFFF,
                  [&](platform::HREGNOTIFY, const platform::RegValue& v) {
                      uint32_t listState = device(platform::WDEVICE_WIFI).state;
                      std::lock_guard g(m);
                      seenValue = v.data.size() == 4 ? v.data[0] : 0xFF;
                      seenListState = listState;
                      told.notify_all();
                  },
                  watch),
              platform::ERROR_SUCCESS);

    ASSERT_EQ(client.request({"wifi", "off"}, reply), platform::CControlClient::Status::Ok) << reply;
    EXPECT_EQ(reply, "wifi=off\n");
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(told.wait_for(lock, std::chrono::seconds(5), [&] { return seenValue.has_value(); }));
        EXPECT_EQ(*seenValue, CSimPhone::kWifiHardwareOff);
        EXPECT_EQ(*seenListState, 0u);
    }
    home.services().registry().closeNotification(watch);

    ASSERT_EQ(client.request({"bt", "discoverable"}, reply), platform::CControlClient::Status::Ok);
    ASSERT_EQ(client.request({"phone"}, reply), platform::CControlClient::Status::Ok);
    EXPECT_TRUE(reply.starts_with("wifi=off\nwifi_power=4\nbt=discoverable\nradio=on\n")) << reply;
    EXPECT_EQ(client.request({"wifi", "maybe"}, reply), platform::CControlClient::Status::Refused);
    EXPECT_EQ(client.request({"bt", "on"}, reply), platform::CControlClient::Status::Refused);
    control.stop();
}

}  // namespace
