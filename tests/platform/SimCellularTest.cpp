// The simulated phone's cellular side: the telephony line, the radio interface and its
// notifications, the SIM, the battery and power, and the control verbs that change them.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/CCallbackThread.h"
#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimRadioInterface.h"
#include "support/TempHome.h"

namespace {

using namespace std::chrono_literals;
using platform::RegRoot;
using platform::sim::CSimPhone;

// What a callback thread delivers, collected for the test's thread.
template <typename T>
class Inbox {
  public:
    void push(T item) {
        std::lock_guard lock(_lock);
        _items.push_back(std::move(item));
        _arrived.notify_all();
    }
    // The real-time limit only guards against a hang; the phone answers within milliseconds.
    bool waitFor(size_t count) {
        std::unique_lock lock(_lock);
        return _arrived.wait_for(lock, 10s, [&] { return _items.size() >= count; });
    }
    std::vector<T> items() {
        std::lock_guard lock(_lock);
        return _items;
    }

  private:
    std::mutex _lock;
    std::condition_variable _arrived;
    std::vector<T> _items;
};

struct LineReply {
    uintptr_t id, result;
    uint32_t phoneStatus;  // the registry value as the reply found it
};
struct RilEvent {
    uint32_t code;
    long id;  // 0 for a notification
    std::vector<uint8_t> data;
};

class SimCellularTest : public ::testing::Test {
  protected:
    SimCellularTest() {
        // Phone time runs 1000 times faster: the phone's delays take well under a millisecond.
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(1000);
        phone = std::make_shared<CSimPhone>(platform::CHome(home.root()), registry(), false);
    }
    platform::IRegistry& registry() { return home.services().registry(); }
    platform::IRadioInterface& ril() { return home.services().radioInterface(); }
    uint32_t dword(const char* key, const char* name) {
        uint32_t v = 0xDEAD;
        EXPECT_EQ(registry().getDword(RegRoot::LocalMachine, key, name, v), platform::ERROR_SUCCESS);
        return v;
    }
    platform::RilHandle openRil(platform::IRadioInterface& ril, Inbox<RilEvent>& inbox, bool notifications,
                                uint32_t classes) {
        platform::RilHandle h = 0;
        platform::RilNotifyCallback notify;
        if (notifications) {
            notify = [&inbox](uint32_t code, const std::vector<uint8_t>& data) {
                inbox.push({code, 0, data});
            };
        }
        EXPECT_EQ(ril.open(
                      1,
                      [&inbox](uint32_t code, long id, const std::vector<uint8_t>& d) {
                          inbox.push({code, id, d});
                      },
                      notify, classes, h),
                  platform::ERROR_SUCCESS);
        return h;
    }
    // One request answered on `h`: whatever the phone queued before it has been delivered too.
    RilEvent ask(platform::IRadioInterface& ril, platform::RilHandle h, Inbox<RilEvent>& inbox,
                 long (platform::IRadioInterface::*request)(platform::RilHandle)) {
        // Counted before asking: the answer may come before the request returns.
        size_t before = inbox.items().size();
        long id = (ril.*request)(h);
        EXPECT_GT(id, 0);
        EXPECT_TRUE(inbox.waitFor(before + 1));
        RilEvent last = inbox.items().back();
        EXPECT_EQ(last.id, id);
        return last;
    }

    TempHome home;
    // The same phone as the services' (one state file); its changes reach the observers of this
    // object only.
    std::shared_ptr<CSimPhone> phone;
};

TEST_F(SimCellularTest, TheLineSwitchesTheRadioAndRepliesAfterTheChange) {
    auto& tel = home.services().telephony();
    platform::LineHandle line = 0;
    Inbox<LineReply> replies;
    auto callback = [&](uint32_t, uint32_t msg, uintptr_t, uintptr_t id, uintptr_t result, uintptr_t) {
        ASSERT_EQ(msg, platform::LINE_REPLY);
        replies.push({id, result, dword(CSimPhone::kPhoneKey, CSimPhone::kPhoneStatusValue)});
    };
    EXPECT_LT(tel.openLine(1, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE, callback, line),
              0);
    ASSERT_EQ(tel.openLine(0, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE, callback, line),
              platform::ERROR_SUCCESS);

    long off = tel.setEquipmentState(line, platform::LINEEQUIPSTATE_MINIMUM);
    ASSERT_GT(off, 0);
    ASSERT_TRUE(replies.waitFor(1));
    EXPECT_EQ(replies.items()[0].id, static_cast<uintptr_t>(off));
    EXPECT_EQ(replies.items()[0].result, 0u);
    EXPECT_EQ(replies.items()[0].phoneStatus, CSimPhone::kPhoneRadioOff);  // already changed on the reply
    EXPECT_FALSE(phone->state().radio);

    // Registering needs the radio.
    long reg = tel.registerOnNetwork(line);
    ASSERT_TRUE(replies.waitFor(2));
    EXPECT_EQ(replies.items()[1].id, static_cast<uintptr_t>(reg));
    EXPECT_NE(replies.items()[1].result, 0u);

    long on = tel.setEquipmentState(line, platform::LINEEQUIPSTATE_FULL);
    EXPECT_GT(on, reg);
    ASSERT_TRUE(replies.waitFor(3));
    EXPECT_EQ(replies.items()[2].id, static_cast<uintptr_t>(on));
    EXPECT_EQ(replies.items()[2].phoneStatus, 0u);
    long reg2 = tel.registerOnNetwork(line);
    long unreg = tel.unregisterFromNetwork(line);
    ASSERT_TRUE(replies.waitFor(5));
    for (size_t i : {3, 4}) {
        const LineReply r = replies.items()[i];  // items() gives a copy
        EXPECT_TRUE(r.id == static_cast<uintptr_t>(reg2) || r.id == static_cast<uintptr_t>(unreg));
        EXPECT_EQ(r.result, 0u);
    }

    EXPECT_LT(tel.setEquipmentState(line, 3), 0);
    ASSERT_EQ(tel.closeLine(line), platform::ERROR_SUCCESS);
    EXPECT_LT(tel.setEquipmentState(line, platform::LINEEQUIPSTATE_FULL), 0);
    EXPECT_NE(tel.closeLine(line), platform::ERROR_SUCCESS);
}

TEST_F(SimCellularTest, RequestsAnswerFromTheRadioState) {
    Inbox<RilEvent> inbox;
    platform::RilHandle h = openRil(ril(), inbox, false, 0);
    ASSERT_EQ(phone->setCell(4321, 77), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setSignal(-90, std::make_pair(-110, -50)), platform::ERROR_SUCCESS);

    RilEvent tower = ask(ril(), h, inbox, &platform::IRadioInterface::getCellTowerInfo);
    EXPECT_EQ(tower.code, platform::RIL_RESULT_OK);
    ASSERT_EQ(tower.data.size(), platform::RIL_CELLTOWER_SIZE);
    EXPECT_EQ(platform::RilWord(tower.data, platform::RIL_CELLTOWER_LAC_OFFSET), 77);
    EXPECT_EQ(platform::RilWord(tower.data, platform::RIL_CELLTOWER_CELLID_OFFSET), 4321);

    RilEvent signal = ask(ril(), h, inbox, &platform::IRadioInterface::getSignalQuality);
    EXPECT_EQ(signal.code, platform::RIL_RESULT_OK);
    ASSERT_EQ(signal.data.size(), platform::RIL_SIGNALQUALITY_SIZE);
    EXPECT_EQ(platform::RilWord(signal.data, 4), 7);
    EXPECT_EQ(platform::RilWord(signal.data, 8), -90);
    EXPECT_EQ(platform::RilWord(signal.data, 12), -110);
    EXPECT_EQ(platform::RilWord(signal.data, 16), -50);

    // Without coverage, and before a radio that came on has registered, there is no serving cell.
    ASSERT_EQ(phone->setNoCoverage(), platform::ERROR_SUCCESS);
    EXPECT_EQ(ask(ril(), h, inbox, &platform::IRadioInterface::getCellTowerInfo).code,
              platform::RIL_RESULT_ERROR);
    ASSERT_EQ(phone->setCell(4321, 77), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setRadio(false), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setRadio(true), platform::ERROR_SUCCESS);
    EXPECT_EQ(ask(ril(), h, inbox, &platform::IRadioInterface::getCellTowerInfo).code,
              platform::RIL_RESULT_ERROR);
    ASSERT_EQ(phone->setRegistered(true), platform::ERROR_SUCCESS);
    EXPECT_EQ(ask(ril(), h, inbox, &platform::IRadioInterface::getCellTowerInfo).code,
              platform::RIL_RESULT_OK);

    // With the radio off there is no serving cell and no signal.
    ASSERT_EQ(phone->setRadio(false), platform::ERROR_SUCCESS);
    tower = ask(ril(), h, inbox, &platform::IRadioInterface::getCellTowerInfo);
    EXPECT_EQ(tower.code, platform::RIL_RESULT_ERROR);
    EXPECT_TRUE(tower.data.empty());
    EXPECT_EQ(ask(ril(), h, inbox, &platform::IRadioInterface::getSignalQuality).code,
              platform::RIL_RESULT_ERROR);
    RilEvent eq = ask(ril(), h, inbox, &platform::IRadioInterface::getEquipmentState);
    EXPECT_EQ(eq.code, platform::RIL_RESULT_OK);
    EXPECT_EQ(platform::RilWord(eq.data, platform::RIL_EQUIPMENTSTATE_STATE_OFFSET), 1);

    EXPECT_EQ(ril().close(h), platform::ERROR_SUCCESS);
    EXPECT_LT(ril().getCellTowerInfo(h), 0);
}

TEST_F(SimCellularTest, NotificationsReachOnlyOpenConnectionsThatAskedForThem) {
    // The radio interface of `phone`, so that the changes made here reach it.
    platform::sim::CSimRadioInterface ril(phone, home.services().clock());
    Inbox<RilEvent> listener, quiet, otherClass, barrier, selfClosing;
    platform::RilHandle a = openRil(ril, listener, true, platform::RIL_NCLASS_NETWORK_MISC);
    platform::RilHandle b = openRil(ril, quiet, false, 0);
    openRil(ril, otherClass, true, 0x10000);
    platform::RilHandle sync = openRil(ril, barrier, false, 0);
    // A connection that closes itself from its own notification: no deadlock, nothing after.
    platform::RilHandle d = 0;
    ASSERT_EQ(ril.open(
                  1, [](uint32_t, long, const std::vector<uint8_t>&) {},
                  [&](uint32_t code, const std::vector<uint8_t>& data) {
                      selfClosing.push({code, 0, data});
                      EXPECT_EQ(ril.close(d), platform::ERROR_SUCCESS);
                  },
                  platform::RIL_NCLASS_NETWORK_MISC, d),
              platform::ERROR_SUCCESS);
    // Notifications are queued by the change; an answer on another connection comes after them.
    auto settle = [&] { ask(ril, sync, barrier, &platform::IRadioInterface::getEquipmentState); };

    ASSERT_EQ(phone->setCell(2000, 200), platform::ERROR_SUCCESS);
    settle();
    ASSERT_EQ(listener.items().size(), 1u);
    RilEvent n = listener.items()[0];
    EXPECT_EQ(n.code, platform::RIL_NOTIFY_LOCATIONUPDATE);
    ASSERT_EQ(n.data.size(), platform::RIL_LOCATION_SIZE);
    EXPECT_EQ(platform::RilWord(n.data, 4), 200);
    EXPECT_EQ(platform::RilWord(n.data, 8), 2000);
    EXPECT_TRUE(quiet.items().empty());
    EXPECT_TRUE(otherClass.items().empty());
    EXPECT_EQ(selfClosing.items().size(), 1u);

    // The serving cell changes while the radio is off: told only when the radio is back.
    ASSERT_EQ(phone->setRadio(false), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setCell(3000, 300), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setSignal(-70), platform::ERROR_SUCCESS);
    settle();
    EXPECT_EQ(listener.items().size(), 1u);
    ASSERT_EQ(phone->setRadio(true), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setSignal(-60), platform::ERROR_SUCCESS);
    settle();
    // Back on, the phone has no location until it has registered on the network.
    ASSERT_EQ(listener.items().size(), 2u);
    RilEvent s = listener.items()[1];
    EXPECT_EQ(s.code, platform::RIL_NOTIFY_SIGNALQUALITY);
    EXPECT_EQ(platform::RilWord(s.data, 8), -60);
    EXPECT_EQ(platform::RilWord(s.data, 12), -113);
    ASSERT_EQ(phone->setRegistered(true), platform::ERROR_SUCCESS);
    settle();
    ASSERT_EQ(listener.items().size(), 3u);
    EXPECT_EQ(listener.items()[2].code, platform::RIL_NOTIFY_LOCATIONUPDATE);
    EXPECT_EQ(platform::RilWord(listener.items()[2].data, 8), 3000);
    EXPECT_EQ(selfClosing.items().size(), 1u);

    // A control verb of the running program reaches the notifier in the same way.
    platform::CHome phoneHome(home.root());
    platform::CControlServer control(phoneHome);
    CSimPhone::registerControlCommands(phone, control);
    ASSERT_TRUE(control.start());
    std::string reply;
    ASSERT_EQ(platform::CControlClient(phoneHome).request({"cell", "5000", "500"}, reply),
              platform::CControlClient::Status::Ok);
    settle();
    ASSERT_EQ(listener.items().size(), 4u);
    EXPECT_EQ(platform::RilWord(listener.items()[3].data, 8), 5000);
    // Out of coverage: told once, with cell and area 0.
    ASSERT_EQ(platform::CControlClient(phoneHome).request({"cell", "none"}, reply),
              platform::CControlClient::Status::Ok);
    control.stop();
    settle();
    ASSERT_EQ(listener.items().size(), 5u);
    EXPECT_EQ(platform::RilWord(listener.items()[4].data, 4), 0);
    EXPECT_EQ(platform::RilWord(listener.items()[4].data, 8), 0);

    ASSERT_EQ(ril.close(a), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setCell(6000, 600), platform::ERROR_SUCCESS);
    settle();
    EXPECT_EQ(listener.items().size(), 5u);
    EXPECT_EQ(ril.close(b), platform::ERROR_SUCCESS);
}

TEST_F(SimCellularTest, TheSimOpensWithItsPinAndThePromptFollows) {
    auto& sim = home.services().sim();
    platform::SimHandle h = 0;
    ASSERT_EQ(sim.open(h), platform::ERROR_SUCCESS);
    uint32_t state = 99;
    ASSERT_EQ(sim.getLockedState(h, state), platform::ERROR_SUCCESS);
    EXPECT_EQ(state, platform::SIM_LOCKEDSTATE_READY);
    EXPECT_EQ(sim.unlock(h, "0000"), platform::ERROR_SUCCESS);  // nothing to unlock

    ASSERT_EQ(phone->setSimPin("24680"), platform::ERROR_SUCCESS);
    ASSERT_EQ(phone->setSimLocked(true), platform::ERROR_SUCCESS);
    EXPECT_TRUE(sim.isPinPromptShown());
    ASSERT_EQ(sim.getLockedState(h, state), platform::ERROR_SUCCESS);
    EXPECT_EQ(state, platform::SIM_LOCKEDSTATE_SIM_PIN);
    EXPECT_EQ(sim.unlock(h, "1234"), platform::SIM_E_INCORRECTPASSWORD);
    EXPECT_TRUE(sim.isPinPromptShown());
    sim.closePinPrompt();
    EXPECT_FALSE(sim.isPinPromptShown());
    ASSERT_EQ(sim.getLockedState(h, state), platform::ERROR_SUCCESS);
    EXPECT_EQ(state, platform::SIM_LOCKEDSTATE_SIM_PIN);

    EXPECT_EQ(sim.unlock(h, "24680"), platform::ERROR_SUCCESS);
    ASSERT_EQ(sim.getLockedState(h, state), platform::ERROR_SUCCESS);
    EXPECT_EQ(state, platform::SIM_LOCKEDSTATE_READY);
    EXPECT_EQ(phone->setSimPin("12a4"), platform::ERROR_INVALID_PARAMETER);
    ASSERT_EQ(sim.close(h), platform::ERROR_SUCCESS);
    EXPECT_EQ(sim.getLockedState(h, state), platform::ERROR_INVALID_HANDLE);
}

TEST_F(SimCellularTest, BatteryPowerAndDeviceInformation) {
    auto& power = home.services().power();
    auto main = [&] { return dword(CSimPhone::kBatteryKey, CSimPhone::kBatteryMainValue); };
    EXPECT_EQ(main(), (100u << 16) | CSimPhone::kBatteryHigh);

    ASSERT_EQ(phone->setBattery(35, -250, false), platform::ERROR_SUCCESS);
    EXPECT_EQ(main(), (35u << 16) | CSimPhone::kBatteryLow);
    platform::PowerStatus st;
    ASSERT_EQ(power.GetPowerStatus(st), platform::ERROR_SUCCESS);
    EXPECT_EQ(st.batteryLifePercent, 35);
    EXPECT_EQ(st.batteryCurrent, -250);
    EXPECT_EQ(st.acLineStatus, platform::AC_LINE_OFFLINE);
    EXPECT_EQ(st.batteryFlag, CSimPhone::kBatteryLow);

    // The AC line changes only the low word; a charge above 100 is reported as it stands.
    ASSERT_EQ(phone->setAc(true), platform::ERROR_SUCCESS);
    EXPECT_EQ(main(), (35u << 16) | CSimPhone::kBatteryCharging);
    ASSERT_EQ(power.GetPowerStatus(st), platform::ERROR_SUCCESS);
    EXPECT_EQ(st.acLineStatus, platform::AC_LINE_ONLINE);
    ASSERT_EQ(phone->setBattery(150, std::nullopt, false), platform::ERROR_SUCCESS);
    EXPECT_EQ(main(), (150u << 16) | CSimPhone::kBatteryHigh);
    ASSERT_EQ(phone->setBattery(9), platform::ERROR_SUCCESS);
    EXPECT_EQ(main(), (9u << 16) | CSimPhone::kBatteryCritical);
    EXPECT_EQ(phone->setBattery(256), platform::ERROR_INVALID_PARAMETER);

    uint32_t flags = 0;
    ASSERT_EQ(power.SetSystemPowerState(platform::POWER_STATE_IDLE), platform::ERROR_SUCCESS);
    ASSERT_EQ(power.GetSystemPowerState(flags), platform::ERROR_SUCCESS);
    EXPECT_EQ(flags, platform::POWER_STATE_IDLE);
    EXPECT_EQ(power.SetSystemPowerState(0x8), platform::ERROR_INVALID_PARAMETER);

    // Vibrator switch-ons are counted once each, however often "on" is repeated.
    for (bool on : {true, true, false, true, false}) {
        ASSERT_EQ(power.SetLed(1, on), platform::ERROR_SUCCESS);
    }
    EXPECT_EQ(power.SetLed(2, true), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(phone->state().vibrations, 2u);
    EXPECT_FALSE(phone->state().vibrating);

    auto& info = home.services().systemInfo();
    std::string model;
    uint32_t major = 0, minor = 0;
    ASSERT_EQ(info.oemInfo(model), platform::ERROR_SUCCESS);
    EXPECT_EQ(model, "Zentrova Simulated Phone");
    ASSERT_EQ(info.osVersion(major, minor), platform::ERROR_SUCCESS);
    EXPECT_EQ(major * 10 + minor, 52u);
    info.messageBeep(platform::MB_ICONEXCLAMATION);
    EXPECT_EQ(phone->state().beeps, 1u);
}

TEST_F(SimCellularTest, ControlVerbsChangeThePhoneAndRefuseBadInput) {
    platform::CHome phoneHome(home.root());
    platform::CControlServer control(phoneHome);
    home.services().registerControlCommands(control);
    ASSERT_TRUE(control.start());
    platform::CControlClient client(phoneHome);
    auto ok = [&](std::vector<std::string> words) {
        std::string reply;
        EXPECT_EQ(client.request(words, reply), platform::CControlClient::Status::Ok) << reply;
        return reply;
    };
    auto refused = [&](std::vector<std::string> words) {
        std::string reply;
        EXPECT_EQ(client.request(words, reply), platform::CControlClient::Status::Refused) << words[0];
    };

    EXPECT_EQ(ok({"battery", "20", "--current", "-300", "--ac"}), "battery=20\ncurrent=-300\nac=on\n");
    EXPECT_EQ(ok({"signal", "-95", "-120", "-40"}), "signal=-95\nsignal_min=-120\nsignal_max=-40\n");
    EXPECT_EQ(ok({"call", "end"}), "call=0\n");
    EXPECT_EQ(ok({"call", "start"}), "call=1\n");
    EXPECT_EQ(dword(CSimPhone::kPhoneKey, CSimPhone::kCallCountValue), 1u);
    EXPECT_EQ(ok({"sim", "pin", "5555"}), "sim_pin=5555\n");
    EXPECT_EQ(ok({"sim", "locked"}), "sim=locked\npin_prompt=shown\n");
    EXPECT_EQ(ok({"radio", "off"}), "radio=off\n");
    EXPECT_EQ(dword(CSimPhone::kPhoneKey, CSimPhone::kPhoneStatusValue), CSimPhone::kPhoneRadioOff);

    refused({"cell", "0", "5"});
    refused({"cell", "12", "x"});
    refused({"signal", "-80", "-50", "-60"});
    refused({"battery", "256"});
    refused({"battery", "50", "--ac", "--no-ac"});
    refused({"battery", "50", "--current"});
    refused({"sim", "pin", "12a4"});
    refused({"sim", "pin", "123456789"});
    refused({"call", "hold"});
    refused({"power", "sleep"});
    EXPECT_EQ(ok({"power", "suspend"}), "power=0x200000\n");
    EXPECT_EQ(ok({"power", "idle"}), "power=0x100000\n");
    EXPECT_EQ(ok({"power", "on"}), "power=0x10000\n");
    EXPECT_EQ(ok({"radio", "on"}), "radio=on\n");
    EXPECT_EQ(ok({"radio", "off"}), "radio=off\n");

    // What the refusals left, and the whole state as the phone stored it.
    std::string all = ok({"phone"});
    control.stop();
    EXPECT_EQ(all, CSimPhone::describe(CSimPhone::load(phoneHome)));
    for (const char* line : {"radio=off\n", "sim=locked\n", "sim_pin=5555\n", "cell=1000\n", "signal=-95\n",
                             "battery=20\n", "current=-300\n", "ac=on\n", "call=1\n", "power=0x10000\n"}) {
        EXPECT_NE(all.find(line), std::string::npos) << line;
    }
}

TEST_F(SimCellularTest, RemovingAnOwnerWaitsForItsRunningCallAndDropsTheRest) {
    platform::CCallbackThread calls(home.services().clock());
    auto owner = calls.addOwner();
    std::promise<void> started, release;
    std::atomic<int> ran{0};
    ASSERT_TRUE(calls.post(owner, 0, [&] {
        started.set_value();
        release.get_future().wait();
        ++ran;
    }));
    ASSERT_TRUE(calls.post(owner, 0, [&] { ++ran; }));
    started.get_future().wait();
    auto removed = std::async(std::launch::async, [&] { calls.removeOwner(owner); });
    // Refused posts tell that the owner is gone (calls queued until then are dropped with it).
    while (calls.post(owner, 0, [&] { ++ran; })) {
        std::this_thread::yield();
    }
    EXPECT_EQ(removed.wait_for(0ms), std::future_status::timeout);  // the running call holds it
    release.set_value();
    removed.wait();
    EXPECT_EQ(ran.load(), 1);
}

}  // namespace
