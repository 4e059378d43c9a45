#pragma once

// A phone whose cellular parts are scripted by the test: the telephony line, the SIM, the radio
// interface, power and device information record what the code asks and answer when the test
// says so. The registry, queues, clock (sped up) and notifications are the simulated phone's.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "managers/CMgr.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CSqliteDatabaseVolume.h"
#include "platform/CSqliteRegistry.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"

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
        status.batteryLifePercent = percent;
        status.batteryCurrent = current;
        return platform::ERROR_SUCCESS;
    }
    platform::Result GetSystemPowerState(uint32_t& flags) override {
        flags = state;
        return platform::ERROR_SUCCESS;
    }
    platform::Result SetSystemPowerState(uint32_t flags) override {
        state = flags;
        return platform::ERROR_SUCCESS;
    }
    platform::Result SetLed(uint32_t led, bool on) override {
        if (led == 1 && on) {
            ++vibrations;
        }
        return platform::ERROR_SUCCESS;
    }
    std::atomic<uint8_t> ac{0};
    std::atomic<uint8_t> percent{80};
    std::atomic<int32_t> current{-100};
    std::atomic<uint32_t> state{platform::POWER_STATE_ON};
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

class ScriptedRil : public platform::IRadioInterface {
  public:
    platform::Result open(uint32_t, platform::RilResultCallback r, platform::RilNotifyCallback n,
                          uint32_t classes, platform::RilHandle& handle) override {
        std::lock_guard lock(m);
        result = std::move(r);
        notify = std::move(n);
        notifyClasses = classes;
        handle = 5;
        ++opens;
        return platform::ERROR_SUCCESS;
    }
    platform::Result close(platform::RilHandle) override { return platform::ERROR_SUCCESS; }
    long getCellTowerInfo(platform::RilHandle) override { return add("tower"); }
    long getSignalQuality(platform::RilHandle) override { return add("signal"); }
    long getEquipmentState(platform::RilHandle) override { return add("equipment"); }
    long add(const std::string& what) {
        std::lock_guard lock(m);
        requests.emplace_back(++next, what);
        return next;
    }
    // The id of the latest request of a kind; 0 when none.
    long last(const std::string& what) {
        std::lock_guard lock(m);
        for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
            if (it->second == what) {
                return it->first;
            }
        }
        return 0;
    }
    static std::vector<uint8_t> words(std::initializer_list<int32_t> values, size_t size) {
        std::vector<uint8_t> data(size);
        size_t at = 0;
        for (int32_t v : values) {
            for (int b = 0; b < 4; ++b) {
                data[at + b] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b));
            }
            at += 4;
        }
        return data;
    }
    // Answers the latest cell-tower request with a cell.
    void replyTower(int cell, int lac) {
        std::vector<uint8_t> data(platform::RIL_CELLTOWER_SIZE);
        auto put = [&](size_t at, int32_t v) {
            for (int b = 0; b < 4; ++b) {
                data[at + b] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b));
            }
        };
        put(platform::RIL_CELLTOWER_LAC_OFFSET, lac);
        put(platform::RIL_CELLTOWER_CELLID_OFFSET, cell);
        result(platform::RIL_RESULT_OK, last("tower"), data);
    }
    void notifyLocation(int cell, int lac) {
        notify(platform::RIL_NOTIFY_LOCATIONUPDATE, words({0, lac, cell}, platform::RIL_LOCATION_SIZE));
    }
    std::mutex m;
    platform::RilResultCallback result;
    platform::RilNotifyCallback notify;
    uint32_t notifyClasses = 0;
    int opens = 0;
    std::vector<std::pair<long, std::string>> requests;
    long next = 500;
};

class ScriptedPhoneTest : public ::testing::Test {
  protected:
    ScriptedPhoneTest() {
        char tmpl[] = "/tmp/zentrova-test-XXXXXX";
        root = ::mkdtemp(tmpl);
        platform::CHome home(root);
        home.create();
        platform::Services::Parts parts;
        auto c = std::make_unique<CountingClock>(home.clockFile());
        c->setSpeed(20000);  // the 20-second waits take a millisecond
        clock = c.get();
        parts.queues = std::make_unique<platform::CMessageQueues>(*c);
        parts.registry = std::make_unique<platform::CSqliteRegistry>(home.registryFile(), *parts.queues);
        parts.notifications = std::make_unique<platform::sim::CSimUserNotifications>(home, *c, false);
        parts.clock = std::move(c);
        boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        parts.boxes = boxes;
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
        parts.databaseVolume = std::make_unique<platform::CSqliteDatabaseVolume>();
        auto r = std::make_unique<ScriptedRil>();
        ril = r.get();
        parts.radioInterface = std::move(r);
        services = std::make_unique<platform::Services>(home, std::move(parts));
        scope = std::make_unique<platform::Services::Scope>(*services);
        CInstaller(home).Install();
        config = std::make_unique<CConfigurationZentrova>();
        CMgr::SetMgrConfig("2222222222");
        setRadio(true);
    }
    ~ScriptedPhoneTest() override {
        scope.reset();
        services.reset();
        std::filesystem::remove_all(root);
    }
    void setRadio(bool on) {
        services->registry().setDword(platform::RegRoot::LocalMachine, "System\\State\\Phone", "Status",
                                      on ? 0 : 16);
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
    std::shared_ptr<platform::CPolicyMessageBoxes> boxes;
    ScriptedLine* line = nullptr;
    ScriptedSim* sim = nullptr;
    ScriptedPower* power = nullptr;
    ScriptedInfo* info = nullptr;
    ScriptedRil* ril = nullptr;
    std::unique_ptr<platform::Services> services;
    std::unique_ptr<platform::Services::Scope> scope;
    std::unique_ptr<CConfigurationZentrova> config;
};
