// The phone radio manager over a scripted telephony line and SIM: which requests it makes, how
// the replies chain, and how it unlocks the SIM.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimMessageQueues.h"
#include "platform/sim/CSimRegistry.h"
#include "platform/sim/CSimUserNotifications.h"
#include "ui/CTextsMgr.h"

namespace {

using platform::RegRoot;

// Records the phone milliseconds slept.
class CountingClock : public platform::sim::CSimClock {
  public:
    using CSimClock::CSimClock;
    void sleep(uint32_t ms) override {
        slept += ms;
        CSimClock::sleep(ms);
    }
    std::atomic<uint64_t> slept{0};
};

class ScriptedLine : public platform::ITelephony {
  public:
    struct Request {
        long id;
        std::string what;  // "full", "minimum", "register", "unregister"
    };
    platform::Result openLine(uint32_t, uint32_t, uintptr_t, uint32_t, platform::LineCallback cb,
                              platform::LineHandle& line) override {
        std::lock_guard lock(m);
        callback = std::move(cb);
        line = 7;
        return platform::ERROR_SUCCESS;
    }
    platform::Result closeLine(platform::LineHandle) override { return platform::ERROR_SUCCESS; }
    long setEquipmentState(platform::LineHandle, uint32_t state) override {
        return add(state == platform::LINEEQUIPSTATE_FULL ? "full" : "minimum");
    }
    long registerOnNetwork(platform::LineHandle) override { return add("register"); }
    long unregisterFromNetwork(platform::LineHandle) override { return add("unregister"); }

    long add(const std::string& what) {
        std::lock_guard lock(m);
        if (refuse) {
            return -1;
        }
        requests.push_back({++next, what});
        return next;
    }
    std::vector<std::string> kinds() {
        std::lock_guard lock(m);
        std::vector<std::string> out;
        for (const auto& r : requests) {
            out.push_back(r.what);
        }
        return out;
    }
    // Answers the latest request.
    void replyLast(uintptr_t result) {
        long id;
        platform::LineCallback cb;
        {
            std::lock_guard lock(m);
            id = requests.back().id;
            cb = callback;
        }
        cb(0, platform::LINE_REPLY, 0, static_cast<uintptr_t>(id), result, 0);
    }
    std::mutex m;
    platform::LineCallback callback;
    std::vector<Request> requests;
    long next = 100;
    bool refuse = false;
};

class ScriptedSim : public platform::ISim {
  public:
    platform::Result open(platform::SimHandle& sim) override {
        sim = 3;
        return platform::ERROR_SUCCESS;
    }
    platform::Result close(platform::SimHandle) override { return platform::ERROR_SUCCESS; }
    platform::Result getLockedState(platform::SimHandle, uint32_t& state) override {
        state = locked ? platform::SIM_LOCKEDSTATE_SIM_PIN : platform::SIM_LOCKEDSTATE_READY;
        return platform::ERROR_SUCCESS;
    }
    platform::Result unlock(platform::SimHandle, const std::string& pin) override {
        tried.push_back(pin);
        if (pin != accepted) {
            return platform::SIM_E_INCORRECTPASSWORD;
        }
        locked = false;
        return platform::ERROR_SUCCESS;
    }
    bool isPinPromptShown() override { return prompt; }
    void closePinPrompt() override { prompt = false; }
    bool locked = false;
    bool prompt = false;
    std::string accepted = "1234";
    std::vector<std::string> tried;
};

class ScriptedPower : public platform::IPower {
  public:
    platform::Result SetDevicePower(const std::string&, uint32_t, platform::DevicePowerState) override {
        return platform::ERROR_SUCCESS;
    }
    platform::Result GetPowerStatus(platform::PowerStatus& status) override {
        status.acLineStatus = ac;
        return platform::ERROR_SUCCESS;
    }
    platform::Result SetLed(uint32_t led, bool on) override {
        if (led == 1 && on) {
            ++vibrations;
        }
        return platform::ERROR_SUCCESS;
    }
    std::atomic<uint8_t> ac{0};
    std::atomic<int> vibrations{0};
};

class ScriptedInfo : public platform::ISystemInfo {
  public:
    platform::Result oemInfo(std::string& text) override {
        text = model;
        return platform::ERROR_SUCCESS;
    }
    platform::Result osVersion(uint32_t& major, uint32_t& minor) override {
        major = 5;
        minor = 2;
        return platform::ERROR_SUCCESS;
    }
    void messageBeep(uint32_t) override { ++beeps; }
    std::string model = "Kaiser";
    std::atomic<int> beeps{0};
};

class MobilePhoneMgrTest : public ::testing::Test {
  protected:
    MobilePhoneMgrTest() {
        char tmpl[] = "/tmp/zentrova-test-XXXXXX";
        root = ::mkdtemp(tmpl);
        platform::CHome home(root);
        home.create();
        platform::Services::Parts parts;
        auto c = std::make_unique<CountingClock>(home.clockFile());
        c->setSpeed(20000);  // the 20-second waits take a millisecond
        clock = c.get();
        parts.queues = std::make_unique<platform::sim::CSimMessageQueues>(*c);
        parts.registry = std::make_unique<platform::sim::CSimRegistry>(home.registryFile(), *parts.queues);
        parts.notifications = std::make_unique<platform::sim::CSimUserNotifications>(home, *c, false);
        parts.clock = std::move(c);
        parts.boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        auto l = std::make_unique<ScriptedLine>();
        line = l.get();
        parts.telephony = std::move(l);
        auto s = std::make_unique<ScriptedSim>();
        sim = s.get();
        parts.sim = std::move(s);
        auto p = std::make_unique<ScriptedPower>();
        power = p.get();
        parts.power = std::move(p);
        auto i = std::make_unique<ScriptedInfo>();
        info = i.get();
        parts.systemInfo = std::move(i);
        services = std::make_unique<platform::Services>(home, std::move(parts));
        scope = std::make_unique<platform::Services::Scope>(*services);
        CInstaller(home).Install();
        config = std::make_unique<CConfigurationZentrova>();
        CMgr::SetMgrConfig("2222222222");
        setRadio(true);
    }
    ~MobilePhoneMgrTest() override {
        scope.reset();
        services.reset();
        std::filesystem::remove_all(root);
    }
    void setRadio(bool on) {
        services->registry().setDword(RegRoot::LocalMachine, CMobilePhoneMgr::kPhoneStateKey, "Status",
                                      on ? 0 : CMobilePhoneMgr::kRadioOffBit);
    }
    static std::vector<std::string> logged(int source) {
        std::vector<std::string> out;
        for (const CLogEvent& e : CLogMgr::GetInstance()->GetQueue()) {
            if (e.GetSource() == source) {
                out.push_back(e.GetResume());
            }
        }
        return out;
    }

    std::filesystem::path root;
    CountingClock* clock = nullptr;
    ScriptedLine* line = nullptr;
    ScriptedSim* sim = nullptr;
    ScriptedPower* power = nullptr;
    ScriptedInfo* info = nullptr;
    std::unique_ptr<platform::Services> services;
    std::unique_ptr<platform::Services::Scope> scope;
    std::unique_ptr<CConfigurationZentrova> config;
};

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

}  // namespace
