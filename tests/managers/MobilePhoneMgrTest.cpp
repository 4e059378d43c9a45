// The phone radio manager over a scripted telephony line and SIM: which requests it makes, how
// the replies chain, and how it unlocks the SIM.

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CSqliteRegistry.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"
#include "support/ScriptedPhone.h"

namespace {

using platform::RegRoot;

using MobilePhoneMgrTest = ScriptedPhoneTest;

TEST_F(MobilePhoneMgrTest, StatusIsInvertedAndFollowsTheRadioBit) {
    CMobilePhoneMgr phone;
    phone.Initialize();
    EXPECT_EQ(phone.GetStatus(), CMgr::kStatusNeverRead);  // read by the first refresh of all managers
    phone.RefreshStatus(1);
    EXPECT_EQ(phone.GetStatus(), 0);
    EXPECT_TRUE(phone.IsPhoneOn());
    setRadio(false);
    phone.RefreshStatus(0);
    EXPECT_EQ(phone.GetStatus(), 1);
    services->registry().deleteValue(RegRoot::LocalMachine, CMobilePhoneMgr::kPhoneStateKey, "Status");
    EXPECT_EQ(phone.GetGSMStatus(), -1);
    EXPECT_TRUE(phone.IsChangeBandNewSystem());
    EXPECT_EQ(phone.GetSOVersion(), 6);
}

TEST_F(MobilePhoneMgrTest, ForcingTheCurrentStatusMakesNoRequestAndDoesNotWait) {
    CMobilePhoneMgr phone;
    phone.Initialize();
    line->requests.clear();
    uint64_t before = clock->slept.load();
    phone.ForceStatusChild(0, 0);
    EXPECT_TRUE(line->kinds().empty());
    EXPECT_LT(clock->slept.load() - before, CMobilePhoneMgr::kSwitchWaitMs);
    EXPECT_TRUE(phone.GetHandleFinishOperation().Wait(0));
}

TEST_F(MobilePhoneMgrTest, ForcingDuringAnOperationLogsAndMakesNoRequestButStillWaits) {
    CMobilePhoneMgr phone;
    phone.Initialize();
    line->requests.clear();
    phone.SetBlocked(1);
    uint64_t before = clock->slept.load();
    phone.ForceStatusChild(1, 0);
    EXPECT_TRUE(line->kinds().empty());
    EXPECT_GE(clock->slept.load() - before, CMobilePhoneMgr::kSwitchWaitMs);
    auto lines = logged(CMgr::MGR_PHONE);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), CTextsMgr::GetInstance()->GetText("EVENT_LOG_MGR_PHONE_OP_RUNNING_RESUME"));
}

TEST_F(MobilePhoneMgrTest, RepliesChainOffOnAndRegistrationThenEndTheOperation) {
    CMobilePhoneMgr phone;
    phone.Initialize();
    line->requests.clear();
    phone.RestartRadio();
    EXPECT_EQ(phone.IsBlocked(), 1);
    line->replyLast(0);  // unregistered
    line->replyLast(0);  // minimum
    line->replyLast(0);  // full: the SIM is checked and the line registers
    EXPECT_EQ(phone.IsBlocked(), 1);
    line->replyLast(0);  // registered
    EXPECT_EQ(line->kinds(), (std::vector<std::string>{"unregister", "minimum", "full", "register"}));
    EXPECT_EQ(phone.IsBlocked(), 0);
    EXPECT_EQ(phone.GetTurnOnAfterOff(), -1);
    EXPECT_EQ(phone.GetLastExecution(), 2);

    // A plain switch-off ends at its reply; a failed reply is logged and ends it too.
    phone.EstablecerRadio(0);
    line->replyLast(5);
    EXPECT_EQ(phone.IsBlocked(), 0);
    EXPECT_EQ(logged(CMgr::MGR_PHONE).back(), "Error turning off radio");
    // A reply to a request the manager does not know changes nothing.
    phone.SetBlocked(1);
    line->callback(0, platform::LINE_REPLY, 0, 9999, 0, 0);
    EXPECT_EQ(phone.IsBlocked(), 1);
}

TEST_F(MobilePhoneMgrTest, RequestThatCannotStartEndsTheOperationAtOnce) {
    CMobilePhoneMgr phone;
    phone.Initialize();
    line->refuse = true;
    phone.EstablecerRadio(1);
    EXPECT_EQ(phone.IsBlocked(), 0);
    EXPECT_EQ(logged(CMgr::MGR_PHONE).back(), "Error turning on radio");
}

TEST_F(MobilePhoneMgrTest, SimUnlockFallsBackToTheSecondPinOnlyWhenItHasFourCharacters) {
    {
        CMobilePhoneMgr phone;
        phone.SetPin("1111");
        phone.SetPin2("1234");
    }
    // The PINs come back deciphered from the configuration, and unlock the SIM.
    sim->locked = true;
    sim->prompt = true;
    {
        CMobilePhoneMgr phone;
        EXPECT_EQ(phone.GetPin(), "1111");
        phone.Initialize();
        EXPECT_EQ(sim->tried, (std::vector<std::string>{"1111", "1234"}));
        EXPECT_FALSE(sim->locked);
        EXPECT_FALSE(sim->prompt);
        EXPECT_EQ(line->kinds().back(), "register");
        EXPECT_EQ(power->vibrations.load(), 0);
    }
    // A second PIN of three characters is never tried: beep, vibrate, prompt left on screen.
    sim->locked = true;
    sim->prompt = true;
    sim->tried.clear();
    {
        CMobilePhoneMgr phone;
        phone.SetPin2("123");
        phone.Initialize();
        EXPECT_EQ(sim->tried, (std::vector<std::string>{"1111"}));
        EXPECT_TRUE(sim->prompt);
        EXPECT_EQ(info->beeps.load(), 1);
        EXPECT_EQ(power->vibrations.load(), 1);
    }
    // The stored value is enciphered: the PIN text is not in it.
    std::vector<uint8_t> stored(100);
    size_t size = stored.size();
    ASSERT_TRUE(config->GetBinaryParameter("pin", stored.data(), size));
    stored.resize(size);
    std::string bytes(stored.begin(), stored.end());
    EXPECT_EQ(bytes.find(std::string("1\0001\000", 4)), std::string::npos);
}

TEST_F(MobilePhoneMgrTest, AcLineChangesReachTheListenersOnce) {
    struct Listener : IStatusListener {
        void StatusChanged(int, int, int code) override { codes.push_back(code); }
        std::string& GetName() override { return name; }
        std::vector<int> codes;
        std::string name = "test";
    } listener;
    CMobilePhoneMgr phone;
    phone.Initialize();
    phone.AddStatusListener(&listener);
    power->ac = 1;
    phone.RefreshAcPluggedState();
    phone.RefreshAcPluggedState();
    EXPECT_EQ(phone.GetAcPlugged(), 1);
    EXPECT_EQ(listener.codes, (std::vector<int>{1}));
    phone.RemoveStatusListener(&listener);
}

// A box that stays open until the test closes it.
struct HeldBox : platform::IMessageBoxes {
    int show(platform::BoxKind, const std::string&) override {
        std::unique_lock lock(m);
        shown = true;
        changed.notify_all();
        changed.wait(lock, [&] { return closed; });
        return 0;
    }
    bool waitShown() {
        std::unique_lock lock(m);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return shown; });
    }
    void close() {
        std::lock_guard lock(m);
        closed = true;
        changed.notify_all();
    }
    std::mutex m;
    std::condition_variable changed;
    bool shown = false;
    bool closed = false;
};

TEST_F(MobilePhoneMgrTest, TheSimErrorBoxDoesNotHoldUpTheLine) {
    CMobilePhoneMgr phone;
    phone.Initialize();
    phone.SetPin("1111");  // wrong: the SIM takes 1234
    sim->locked = true;
    auto box = std::make_shared<HeldBox>();
    services->setBoxes(box);
    phone.EstablecerRadio(1);
    // The reply to "full" checks the SIM on the line's callback thread; the user has not
    // answered the error box yet.
    std::thread callback([&] { line->replyLast(0); });
    ASSERT_TRUE(box->waitShown());
    // Another request of the line meanwhile is not kept waiting for the user.
    auto restart = std::async(std::launch::async, [&] { phone.RestartRadio(); });
    const bool answered = restart.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    box->close();
    callback.join();
    restart.wait();
    EXPECT_TRUE(answered);
    services->setBoxes(boxes);
}

}  // namespace
