// The Bluetooth, band and call forwarding managers on the simulated phone.

#include <gtest/gtest.h>

#include <atomic>

#include "core/CTextsMgr.h"
#include "core/IMainPanel.h"
#include "core/SafeFormat.h"
#include "managers/CBTMgr.h"
#include "managers/CBandMgr.h"
#include "managers/CCallForwardMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/CNotificationBroker.h"
#include "managers/ILocationEngine.h"
#include "platform/CMessageQueues.h"
#include "platform/CSqliteRegistry.h"
#include "platform/CWindowHandles.h"
#include "platform/sim/CSimUserNotifications.h"
#include "support/SimPhoneFixture.h"

namespace {

// The main window as the Bluetooth manager uses it: WM_APP + 1 posted to its handle reaches the
// manager's HandleEvent, as the window's message loop would do it.
struct EventPanel : IMainPanel {
    EventPanel() {
        handle = platform::CWindowHandles::Register({[this](UINT message, WPARAM, LPARAM) {
                                                         if (message == CBTMgr::WM_BT_EVENT) {
                                                             ++posts;
                                                             if (CBTMgr* bt = CBTMgr::GetInstance()) {
                                                                 bt->HandleEvent(0, 0);
                                                             }
                                                         }
                                                     },
                                                     [](UINT, WPARAM, LPARAM) -> LRESULT { return 0; }});
        Install(this);
    }
    ~EventPanel() override {
        Uninstall(this);
        platform::CWindowHandles::Unregister(handle);
    }
    void InvalidatePanel(Area) override {}
    void NotifyTodayPlugin(int, int) override {}
    void NotifyTodayPluginChangePosition(int, int) override {}
    void SetPlaceAndFrame(const std::string&, const std::string&) override {}
    void UpdateNotificationsDebugInfo() override {}
    void SetWaitCursor(bool) override {}
    HWND GetPanelWindow() override { return handle; }
    HWND handle = 0;
    std::atomic<int> posts{0};
};

class BluetoothTest : public SimPhoneFixture {
  protected:
    CNotificationBroker broker;
    EventPanel panel;
};

TEST_F(BluetoothTest, IntelligentBluetoothAroundACall) {
    struct Row {
        uint32_t intelligent;
        const char* before;
        int duringCall;
        int afterCall;
    };
    for (const Row& row : {Row{1, "off", 2, 0}, Row{1, "connectable", 2, 1}, Row{0, "connectable", 1, 1}}) {
        SCOPED_TRACE(std::string(row.before) + (row.intelligent ? " intelligent" : " plain"));
        setConfig("intelligent_bt", row.intelligent);
        outside({"bt", row.before});
        CBTMgr bt;
        bt.Initialize();
        const int before = bt.GetStatus();
        ASSERT_EQ(bt.GetStatusBeforeCall(), -1);
        outside({"call", "start"});
        // The status before the call is kept whatever the setting says.
        ASSERT_TRUE(WaitUntil([&] {
            return bt.GetStatusBeforeCall() == before && bt.GetStatus() == row.duringCall;
        })) << bt.GetStatus();
        outside({"call", "end"});
        ASSERT_TRUE(WaitUntil([&] { return bt.GetStatus() == row.afterCall; })) << bt.GetStatus();
        EXPECT_EQ(static_cast<int>(phone().bluetooth), row.afterCall);
    }
}

TEST_F(BluetoothTest, OutsideChangesArriveAsStackEventsAndFailedReadsAreRetriedFourteenTimes) {
    outside({"bt", "stack", "down"});
    CBTMgr bt;
    bt.Initialize();
    ASSERT_TRUE(bt.HasEventNotifications());
    // The first reading fails, and each retry through the window fails again, fifteen in all.
    ASSERT_TRUE(WaitUntil([&] { return bt.GetReadFailures() == CBTMgr::kMaxReadFailures; }));
    EXPECT_EQ(bt.GetStatus(), CMgr::kStatusUnknown);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // twenty phone seconds: no more
    EXPECT_EQ(panel.posts.load(), CBTMgr::kMaxReadFailures - 1);
    EXPECT_EQ(bt.GetReadFailures(), CBTMgr::kMaxReadFailures);

    // The stack comes up: its event makes the manager read the mode again.
    outside({"bt", "stack", "up"});
    ASSERT_TRUE(WaitUntil([&] { return bt.GetStatus() == 0; }));
    EXPECT_EQ(bt.GetReadFailures(), 0);
    outside({"bt", "discoverable"});
    ASSERT_TRUE(WaitUntil([&] { return bt.GetStatus() == 2; }));
    EXPECT_GE(bt.GetEventsReceived(), 2);
}

// A Bluetooth stack that answers a mode the platform does not define.
class OddStack : public platform::IBluetoothStack {
  public:
    platform::Result getRadioMode(uint32_t& m) override {
        m = mode;
        return platform::ERROR_SUCCESS;
    }
    platform::Result setRadioMode(uint32_t) override { return platform::ERROR_SUCCESS; }
    platform::Result requestNotifications(uint32_t, std::shared_ptr<platform::IMsgQueue>,
                                          platform::BtNotificationHandle& h) override {
        h = 1;
        return platform::ERROR_SUCCESS;
    }
    platform::Result stopNotifications(platform::BtNotificationHandle) override {
        return platform::ERROR_SUCCESS;
    }
    std::atomic<uint32_t> mode{1};
};

TEST(BluetoothModeTest, AModeOutsideTheThreeKeepsTheStatus) {
    char tmpl[] = "/tmp/zentrova-test-XXXXXX";
    std::filesystem::path root = ::mkdtemp(tmpl);
    {
        platform::CHome home(root);
        home.create();
        platform::Services::Parts parts;
        auto clock = std::make_unique<platform::sim::CSimClock>(home.clockFile());
        clock->setSpeed(200);
        parts.queues = std::make_unique<platform::CMessageQueues>(*clock);
        parts.registry = std::make_unique<platform::CSqliteRegistry>(home.registryFile(), *parts.queues);
        parts.notifications = std::make_unique<platform::sim::CSimUserNotifications>(home, *clock, false);
        parts.clock = std::move(clock);
        parts.boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        auto stack = std::make_unique<OddStack>();
        OddStack* odd = stack.get();
        parts.bluetooth = std::move(stack);
        platform::Services services(home, std::move(parts));
        platform::Services::Scope scope(services);
        CInstaller(home).Install();
        CConfigurationZentrova config;
        CMgr::SetMgrConfig("22222222222222");
        CBTMgr bt;
        bt.Initialize();
        EXPECT_EQ(bt.GetStatus(), 1);
        odd->mode = 3;
        bt.RefreshStatus(0);
        EXPECT_EQ(bt.GetStatus(), 1);
        EXPECT_EQ(bt.GetReadFailures(), 0);
    }
    std::filesystem::remove_all(root);
}

// The location engine as the band manager needs it: a connection to the radio interface.
class RadioConnection : public CMgr, public ILocationEngine {
  public:
    RadioConnection() : CMgr(MGR_RIL) {
        platform::Services::get().radioInterface().open(
            1, [](uint32_t, long, const std::vector<uint8_t>&) {}, {}, 0, handle);
    }
    ~RadioConnection() override {
        Stop();
        platform::Services::get().radioInterface().close(handle);
    }
    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_RIL; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int, int) override {}
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    void SetLocation(int) override {}
    platform::RilHandle GetRilHandle() override { return handle; }
    platform::RilHandle handle = 0;
};

// A reset takes some 800 ms of phone time: at the phone's own speed it can be caught running.
class BandTest : public SimPhoneFixture {
  protected:
    BandTest() : SimPhoneFixture(1) {}
    void start() {
        phoneMgr = std::make_unique<CMobilePhoneMgr>();
        phoneMgr->Initialize();
        phoneMgr->RefreshStatus(1);
        band = std::make_unique<CBandMgr>();
        band->Initialize();
        phoneMgr->AddStatusListener(band.get());
    }
    bool resetEnds() {
        return WaitUntil([&] { return !band->IsResetInProgress(); }, std::chrono::seconds(10));
    }
    ~BandTest() override {
        band.reset();
        phoneMgr.reset();
    }
    std::unique_ptr<CMobilePhoneMgr> phoneMgr;
    std::unique_ptr<CBandMgr> band;
};

TEST_F(BandTest, ASecondRequestDuringAResetIsRefusedUntilTheRadioRegistered) {
    start();
    ASSERT_EQ(band->GetStatus(), 0);
    band->ForceStatusChild(1, 0);
    EXPECT_EQ(band->IsResetInProgress(), 1);
    EXPECT_EQ(band->GetRegistryBand(), 1);
    band->ForceStatusChild(2, 0);
    EXPECT_EQ(band->GetRegistryBand(), 1);
    EXPECT_EQ(logged(CMgr::MGR_BAND).back(), CTextsMgr::Text("EVENT_LOG_MGR_BAND_RESET_RUNNING_RESUME"));
    ASSERT_TRUE(resetEnds());
    // The radio started again and took the stored band.
    EXPECT_EQ(phone().band, 1u);
    EXPECT_TRUE(phone().radio && phone().registered);
    band->ForceStatusChild(2, 0);
    EXPECT_EQ(band->IsResetInProgress(), 1);
    ASSERT_TRUE(resetEnds());
    EXPECT_EQ(phone().band, 2u);
    band->RefreshStatus(0);
    EXPECT_EQ(band->GetStatus(), 2);
}

TEST_F(BandTest, TheStoredBandResetsTheRadioOnlyWithTheManualFlag) {
    start();
    for (int manual : {0, 1}) {
        band->SetManualChangeOfBand(manual);
        band->ForceStatusChild(0, 0);
        EXPECT_EQ(band->IsResetInProgress(), manual) << manual;
        ASSERT_TRUE(resetEnds());
    }
    // Switching the phone radio off clears the flag.
    band->SetManualChangeOfBand(1);
    clock().setSpeed(5000);  // the phone manager gives the radio 20 s
    phoneMgr->ForceStatusChild(1, 0);
    EXPECT_EQ(band->GetmanualChangeOfBand(), 0);
}

TEST_F(BandTest, TheKaiserFamilyUnregistersAndSendsTheMakersBandCommand) {
    outside({"model", "Kaiser"});
    clock().setSpeed(10);  // the 2 s after the maker's command
    RadioConnection radio;
    start();
    band->ForceStatusChild(1, 0);
    ASSERT_TRUE(resetEnds());
    // This radio does not read the stored value: only the maker's command, with its 16 bytes as
    // the radio expects them, gives it the band.
    EXPECT_EQ(phone().vendorBand, 1u);
    EXPECT_EQ(phone().band, 1u);
    EXPECT_TRUE(phone().registered);
}

using ForwardingTest = SimPhoneFixture;

TEST_F(ForwardingTest, ForwardListRecordIsByteExactAndTheLineForwardsToItsNumber) {
    struct Row {
        std::string number;
        std::string units;  // what the record holds at its destination
    };
    auto utf16 = [](const std::string& ascii) {
        std::string out;
        for (char c : ascii) {
            out += c;
            out += '\0';
        }
        return out;
    };
    const Row rows[] = {{"+34600111222", utf16("+34600111222")},
                        {"1234567890123456789012345", utf16("1234567890123456789")}};
    for (const Row& row : rows) {
        std::vector<uint8_t> record = CCallForwardMgr::BuildForwardList(row.number);
        std::vector<uint8_t> expected(97, 0);
        const uint8_t header[] = {97, 0, 0, 0, 1, 0, 0, 0, 1,  0, 0, 0, 0,  0, 0, 0,
                                  0,  0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 56, 0, 0, 0};
        std::copy(std::begin(header), std::end(header), expected.begin());
        std::copy(row.units.begin(), row.units.end(), expected.begin() + 56);
        EXPECT_EQ(record, expected) << row.number;
    }

    CCallForwardMgr forward;
    forward.SetNumberToForward("+34600111222");
    forward.ForceStatusChild(1, 0);
    EXPECT_EQ(phone().forwarding, "+34600111222");
    EXPECT_EQ(forward.GetStatus(), 1);
    forward.ForceStatusChild(0, 0);
    EXPECT_EQ(phone().forwarding, "");
    EXPECT_EQ(forward.GetStatus(), 0);
    // A number the line refuses: the failure is logged and the status stays.
    forward.SetNumberToForward("not a number");
    forward.ForceStatusChild(1, 0);
    EXPECT_EQ(forward.GetStatus(), 0);
    EXPECT_EQ(phone().forwarding, "");
    EXPECT_EQ(
        logged(CMgr::MGR_CALL_FORWARD).back(),
        SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CALLFORWARD_FAILED_RESUME"), std::string("not a number")));
}

}  // namespace
