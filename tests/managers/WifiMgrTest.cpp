// The Wi-Fi manager over a scripted wireless-device list and power manager.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <thread>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "managers/CWifiOssVcsMgr.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CSqliteRegistry.h"
#include "platform/IPower.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"

namespace {

using platform::RegRoot;

class ScriptedDevices : public platform::IWirelessDevices {
  public:
    uint32_t GetWirelessDevices(std::vector<platform::WirelessDevice>& list, uint32_t) override {
        std::unique_lock lock(m);
        if (holdNext) {
            // Keeps the caller (and the manager's device-list lock) until released.
            holdNext = false;
            inside = true;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
        }
        if (broken) {
            return 1;
        }
        list = devices;
        return 0;
    }
    uint32_t ChangeRadioState(const platform::WirelessDevice& device, uint32_t state, uint32_t) override {
        std::lock_guard lock(m);
        for (auto& d : devices) {
            if (d.name == device.name) {
                d.state = state;
            }
        }
        return 0;
    }
    void FreeDeviceList(std::vector<platform::WirelessDevice>& list) override { list.clear(); }
    uint32_t wifiState() {
        std::lock_guard lock(m);
        return devices[0].state;
    }
    void release() {
        std::lock_guard lock(m);
        released = true;
        changed.notify_all();
    }
    std::mutex m;
    std::condition_variable changed;
    bool holdNext = false;
    bool inside = false;
    bool released = false;
    bool broken = false;
    std::vector<platform::WirelessDevice> devices{{"WLAN1", "Wi-Fi", 0, 0, 1}, {"RIL1", "Phone", 1, 1, 2}};
};

class RecordingPower : public platform::IPower {
  public:
    platform::Result SetDevicePower(const std::string& device, uint32_t,
                                    platform::DevicePowerState state) override {
        std::lock_guard lock(m);
        calls.push_back({device, state});
        return platform::ERROR_SUCCESS;
    }
    size_t count() {
        std::lock_guard lock(m);
        return calls.size();
    }
    std::mutex m;
    std::vector<std::pair<std::string, platform::DevicePowerState>> calls;
};

class WifiMgrTest : public ::testing::Test {
  protected:
    WifiMgrTest() {
        char tmpl[] = "/tmp/zentrova-test-XXXXXX";
        root = ::mkdtemp(tmpl);
        build(true);
    }
    // The phone's services, with or without the wireless-device list.
    void build(bool withDevices) {
        scope.reset();
        services.reset();
        platform::CHome home(root);
        home.create();
        platform::Services::Parts parts;
        auto clock = std::make_unique<platform::sim::CSimClock>(home.clockFile());
        clock->setSpeed(200);
        parts.queues = std::make_unique<platform::CMessageQueues>(*clock);
        parts.registry = std::make_unique<platform::CSqliteRegistry>(home.registryFile(), *parts.queues);
        parts.notifications = std::make_unique<platform::sim::CSimUserNotifications>(home, *clock, false);
        parts.clock = std::move(clock);
        boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        parts.boxes = boxes;
        if (withDevices) {
            auto list = std::make_unique<ScriptedDevices>();
            devices = list.get();
            parts.wirelessDevices = std::move(list);
        }
        auto recorder = std::make_unique<RecordingPower>();
        power = recorder.get();
        parts.power = std::move(recorder);
        services = std::make_unique<platform::Services>(home, std::move(parts));
        scope = std::make_unique<platform::Services::Scope>(*services);
        CInstaller(home).Install();
        config = std::make_unique<CConfigurationZentrova>();
        CMgr::SetMgrConfig("2222222222");
        reg().setDword(RegRoot::LocalMachine, CWifiMgr::kPowerStateKey,
                       std::string(CWifiMgr::kAdapterClass) + "\\WLAN1", 4);
    }
    ~WifiMgrTest() override {
        scope.reset();
        services.reset();
        std::filesystem::remove_all(root);
    }
    platform::IRegistry& reg() { return services->registry(); }
    void setHardware(uint32_t v) { reg().setDword(RegRoot::LocalMachine, CWifiMgr::kHardwareKey, "Wifi", v); }

    std::filesystem::path root;
    std::shared_ptr<platform::CPolicyMessageBoxes> boxes;
    ScriptedDevices* devices = nullptr;
    RecordingPower* power = nullptr;
    std::unique_ptr<platform::Services> services;
    std::unique_ptr<platform::Services::Scope> scope;
    std::unique_ptr<CConfigurationZentrova> config;
};

TEST_F(WifiMgrTest, SystemStateValueAboveFiveMeansOn) {
    CWifiMgr wifi;
    setHardware(5);
    wifi.Initialize();
    EXPECT_EQ(wifi.GetStatus(), 0);
    setHardware(6);
    wifi.RefreshStatus(0);
    EXPECT_EQ(wifi.GetStatus(), 1);
    reg().deleteValue(RegRoot::LocalMachine, CWifiMgr::kHardwareKey, "Wifi");
    wifi.RefreshStatus(0);
    EXPECT_EQ(wifi.GetStatus(), -1);
    // Only the manager's own watch makes it read again.
    setHardware(6);
    wifi.HandleNotification(4242);
    EXPECT_EQ(wifi.GetStatus(), -1);
}

TEST_F(WifiMgrTest, WithoutAnAdapterNameSwitchingOffReportsTheFailure) {
    reg().deleteKey(RegRoot::LocalMachine, CWifiMgr::kPowerStateKey);
    reg().setDword(RegRoot::LocalMachine, CWifiMgr::kPowerStateKey, "{00000000-0000}\\OTHER", 0);
    CWifiMgr wifi;
    setHardware(0x12);
    wifi.Initialize();
    EXPECT_EQ(wifi.GetDeviceNameText(), "");
    wifi.ForceStatus(0, 0, 0, 0);
    ASSERT_TRUE(wifi.GetHandleFinishOperation().Wait(60'000));
    auto shown = boxes->shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, "Error swapping wifi");
    EXPECT_EQ(power->count(), 0u);
}

TEST_F(WifiMgrTest, ListSwitchesOnAloneAndOffTogetherWithThePowerState) {
    CWifiOssVcsMgr wifi;
    wifi.Initialize();
    EXPECT_EQ(wifi.GetStatus(), 0);
    wifi.ForceStatus(1, 0, 0, 0);
    ASSERT_TRUE(wifi.GetHandleFinishOperation().Wait(60'000));
    EXPECT_EQ(devices->wifiState(), 1u);
    EXPECT_EQ(wifi.GetStatus(), 1);
    EXPECT_EQ(power->count(), 0u);

    wifi.SwapStatus();
    ASSERT_TRUE(wifi.GetHandleFinishOperation().Wait(60'000));
    EXPECT_EQ(devices->wifiState(), 0u);
    EXPECT_EQ(wifi.GetStatus(), 0);
    ASSERT_EQ(power->count(), 1u);
    EXPECT_EQ(power->calls[0].first, std::string(CWifiMgr::kAdapterClass) + "\\WLAN1");
    EXPECT_EQ(power->calls[0].second, platform::DevicePowerState::D4);
}

TEST_F(WifiMgrTest, UnknownStatusSwapsToOffAndAnUnreadableListReadsOff) {
    CWifiOssVcsMgr wifi;
    wifi.Initialize();
    devices->devices[0].state = 1;
    wifi.SetStatus(-1);
    wifi.SwapStatus();
    ASSERT_TRUE(wifi.GetHandleFinishOperation().Wait(60'000));
    EXPECT_EQ(devices->wifiState(), 0u);
    devices->devices[0].state = 1;
    devices->broken = true;
    wifi.RefreshStatus(0);
    EXPECT_EQ(wifi.GetStatus(), 0);
}

TEST_F(WifiMgrTest, MissingDeviceServicesOrASwitchedOffManagerGiveUnknown) {
    CMgr::SetMgrConfig("0222222222");
    {
        CWifiOssVcsMgr off;
        off.Initialize();
        EXPECT_EQ(off.GetStatus(), -1);
    }
    CMgr::SetMgrConfig("2222222222");
    build(false);  // a phone without the wireless-device services
    setHardware(0x12);
    CWifiOssVcsMgr wifi;
    wifi.Initialize();
    EXPECT_EQ(wifi.GetStatus(), -1);
}

}  // namespace

// The device list is read under a lock that waits at most 5 s of real time: a list held up for a
// moment is still read on a fast phone clock, and one held past the limit leaves the status
// unknown, not off.
TEST_F(WifiMgrTest, ABusyDeviceListIsWaitedForInRealTimeAndThenReadsUnknown) {
    using namespace std::chrono_literals;
    struct Row {
        const char* what;
        std::chrono::milliseconds hold;
        int status;
    };
    const Row rows[] = {
        {"held for a moment (many phone seconds at this speed)", 300ms, 1},
        {"held past the limit", 6000ms, -1},
    };
    CWifiOssVcsMgr wifi;
    wifi.Initialize();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        {
            std::lock_guard lock(devices->m);
            devices->devices[0].state = 1;
            devices->holdNext = true;
            devices->inside = false;
            devices->released = false;
        }
        // Switching the phone radio holds the list (and its lock) while the test keeps it.
        auto switching = std::async(std::launch::async, [&] { wifi.SetPhone(1); });
        {
            std::unique_lock lock(devices->m);
            ASSERT_TRUE(devices->changed.wait_for(lock, 10s, [&] { return devices->inside; }));
        }
        auto releaser = std::async(std::launch::async, [&, hold = row.hold] {
            std::this_thread::sleep_for(hold);
            devices->release();
        });
        wifi.RefreshStatus(0);
        EXPECT_EQ(wifi.GetStatus(), row.status);
        releaser.get();
        switching.get();
    }
}
