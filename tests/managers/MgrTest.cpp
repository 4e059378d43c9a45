// The manager base: forced changes on the worker thread, the refresh and its log lines, the
// per-manager switches, the registry of managers and the time-limited changes.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "managers/CMgr.h"
#include "platform/CProcessLauncher.h"
#include "platform/sim/CSimClock.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"

namespace {

// A device that is a plain number; names as the test wants them.
class FakeMgr : public CMgr {
  public:
    explicit FakeMgr(int id) : CMgr(id), _id(id) {}
    ~FakeMgr() override { Stop(); }
    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return _id; }
    void RefreshStatusChild(int) override { SetStatus(device.load()); }
    void ForceStatusChild(int status, int) override {
        device = status;
        ++changes;
    }
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    void ProcessTimerNotification(int value) override { restored = value; }
    std::string& GetNameMgr(std::string& name) override { return name = "Fake"; }
    std::string& GetNameStatus(int status, std::string& name) override {
        return name = status == 1 ? "ON" : status == 0 ? "OFF" : "";
    }
    std::atomic<int> device{0};
    std::atomic<int> changes{0};
    std::atomic<int> restored{-1};

  private:
    int _id;
};

class Listener : public IStatusListener {
  public:
    void StatusChanged(int status, int mgrId, int code) override {
        std::lock_guard lock(m);
        calls.push_back({status, mgrId, code});
    }
    std::string& GetName() override { return name; }
    std::vector<std::array<int, 3>> snapshot() {
        std::lock_guard lock(m);
        return calls;
    }
    std::mutex m;
    std::vector<std::array<int, 3>> calls;
    std::string name = "listener";
};

class MgrTest : public ::testing::Test {
  protected:
    MgrTest() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        clock().setLocalMillis(platform::sim::CSimClock::toMillis(SYSTEMTIME{2008, 2, 4, 14, 23, 50, 10, 0}));
        clock().setSpeed(200);  // the worker's pauses and the delays pass quickly
        CMgr::SetMgrConfig("21222222222");
        CLogMgr::GetInstance()->vaciar();  // the log outlives a test when the tests share a process
    }
    platform::sim::CSimClock& clock() {
        return dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    }
    std::vector<std::string> logResumes() {
        std::vector<std::string> out;
        for (const CLogEvent& e : CLogMgr::GetInstance()->GetQueue()) {
            out.push_back(e.GetResume());
        }
        return out;
    }
    // How many resumes of the log read as `key` formatted with the manager and status names.
    size_t countLines(const std::string& key, const std::string& status) {
        std::string expected =
            SafeSprintf(CTextsMgr::GetInstance()->GetText(key), std::string("Fake"), status);
        size_t n = 0;
        for (const std::string& r : logResumes()) {
            n += r == expected;
        }
        return n;
    }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
};

TEST_F(MgrTest, ForcedChangeLogsRunsLaterAndSetsItsTimeLimit) {
    FakeMgr wifi(0);
    Listener listener;
    wifi.AddStatusListener(&listener);
    wifi.RefreshStatus(1);
    size_t before = logResumes().size();

    wifi.ForceStatus(10, 0, 0, 0);
    EXPECT_EQ(logResumes().size(), before);  // 10 means no change: nothing logged or posted

    wifi.ForceStatus(1, 30, 0, 5);
    EXPECT_EQ(countLines("EVENT_LOG_MGR_CHANGING_STATUS_RESUME", "ON"), 1u);  // at once, before the delay
    EXPECT_EQ(wifi.device.load(), 0);
    ASSERT_TRUE(wifi.GetHandleFinishOperation().Wait(60'000));
    EXPECT_EQ(wifi.device.load(), 1);
    EXPECT_EQ(wifi.GetStatus(), 1);
    EXPECT_EQ(countLines("EVENT_LOG_MGR_CHANGED_STATUS_RESUME", "ON"), 1u);
    auto calls = listener.snapshot();
    ASSERT_EQ(calls.size(), 2u);  // the first refresh, then the change
    EXPECT_EQ(calls[1], (std::array<int, 3>{1, 0, CMgr::kCodeRefresh}));

    // The trigger: 30 phone minutes after the change, restoring status 0.
    auto& n = home.services().notifications();
    auto handles = n.getUserNotificationHandles();
    ASSERT_EQ(handles.size(), 1u);
    platform::UserNotificationTrigger t;
    ASSERT_TRUE(n.getUserNotification(handles[0], t));
    EXPECT_EQ(t.arguments.substr(0, 31), "timer_notification_00_00_2008_0");
    EXPECT_EQ(t.application, platform::CProcessLauncher::selfExecutable().string());
    EXPECT_EQ(CMgr::GetMapMgrNotifi()[0], handles[0]);

    // The notification with this manager's id hands the value back.
    wifi.TimeNotification(0, 0, t.start);
    wifi.TimeNotification(1, 1, t.start);
    EXPECT_EQ(wifi.restored.load(), 0);
    n.clearUserNotification(handles[0]);
}

TEST_F(MgrTest, SwitchesRefuseOrSilenceManagers) {
    FakeMgr bt(1);  // '1': read only
    bt.device = 1;
    bt.ForceStatus(0, 0, 0, 0);
    EXPECT_TRUE(bt.GetHandleFinishOperation().IsSet());
    EXPECT_EQ(bt.GetLastExecution(), 0);
    EXPECT_EQ(countLines("EVENT_LOG_MGR_CHANGING_STATUS_RESUME", "OFF"), 0u);
    bt.RefreshStatus(0);
    EXPECT_EQ(bt.GetStatus(), 1);  // still read and reported

    CMgr::SetMgrConfig("20");
    FakeMgr off(1);  // '0': never read
    off.device = 1;
    off.RefreshStatus(1);
    EXPECT_EQ(off.GetStatus(), CMgr::kStatusNeverRead);
    FakeMgr beam(50);  // ids of 50 and more have no switch
    beam.ForceStatus(1, 0, 0, 0);
    EXPECT_TRUE(beam.GetHandleFinishOperation().Wait(60'000));
    EXPECT_EQ(beam.device.load(), 1);
}

TEST_F(MgrTest, RefreshLogsOnlyChangesAndNamesUnknownStates) {
    FakeMgr wifi(0);
    Listener listener;
    wifi.AddStatusListener(&listener);
    wifi.device = 1;
    wifi.RefreshStatus(0);
    wifi.RefreshStatus(1);  // unchanged, forced: listeners told, nothing logged
    // The first reading is no change: the status was never read before.
    EXPECT_EQ(countLines("EVENT_LOG_MGR_CHANGED_STATUS_RESUME", "ON"), 0u);
    EXPECT_EQ(listener.snapshot().size(), 2u);
    wifi.RefreshStatus(0);  // unchanged, not forced: nobody told
    EXPECT_EQ(listener.snapshot().size(), 2u);

    wifi.device = 7;  // a state without a name
    wifi.RefreshStatus(0);
    std::string unknown = CTextsMgr::GetInstance()->GetText("EVENT_LOG_MGR_UNKNOWN_STATUS");
    auto events = CLogMgr::GetInstance()->GetQueue();
    EXPECT_NE(events.back().GetDescription().find(unknown), std::string::npos)
        << events.back().GetDescription();
    wifi.RemoveStatusListener(&listener);
    wifi.device = 0;
    wifi.RefreshStatus(1);
    EXPECT_EQ(listener.snapshot().size(), 3u);
}

// A start reads every status for the first time; "changed from off to off" is not news.
TEST_F(MgrTest, TheFirstReadingIsToldToListenersButNotLoggedAsAChange) {
    struct Row {
        int first;
        int second;
    };
    for (Row row : {Row{0, 1}, Row{1, 0}, Row{0, 0}}) {
        CLogMgr::GetInstance()->vaciar();
        FakeMgr wifi(0);
        Listener listener;
        wifi.AddStatusListener(&listener);
        wifi.device = row.first;
        wifi.RefreshStatus(0);
        EXPECT_EQ(listener.snapshot().size(), 1u);
        EXPECT_TRUE(logResumes().empty()) << logResumes().front();
        wifi.device = row.second;
        wifi.RefreshStatus(0);
        const char* name = row.second == 1 ? "ON" : "OFF";
        EXPECT_EQ(countLines("EVENT_LOG_MGR_CHANGED_STATUS_RESUME", name), row.first != row.second ? 1u : 0u);
        wifi.RemoveStatusListener(&listener);
    }
}

TEST_F(MgrTest, RegistryFindsManagersByIdAndForwardsTimers) {
    FakeMgr wifi(0);
    FakeMgr bt(1);
    EXPECT_EQ(CMgr::GetMgr(1), &bt);
    EXPECT_EQ(CMgr::GetMgr(7), nullptr);
    CMgr::ProcessTimerNotification(1, 2);
    CMgr::ProcessTimerNotification(8, 2);
    EXPECT_EQ(bt.restored.load(), 2);
    EXPECT_EQ(wifi.restored.load(), -1);
}

TEST_F(MgrTest, TimeLimitNotificationsReplaceEnsureAndClearById) {
    clock().setSpeed(1);
    clock().setLocalMillis(platform::sim::CSimClock::toMillis(SYSTEMTIME{2008, 2, 4, 14, 23, 50, 10, 0}));
    FakeMgr wifi(0);
    FakeMgr bt(1);
    auto& n = home.services().notifications();
    wifi.SetTimeLimitNotification(0, 30, 0);
    auto handles = n.getUserNotificationHandles();
    ASSERT_EQ(handles.size(), 1u);
    platform::UserNotificationTrigger t;
    ASSERT_TRUE(n.getUserNotification(handles[0], t));
    EXPECT_EQ(t.arguments, "timer_notification_00_00_2008_02_15_00_20_10");
    EXPECT_EQ(t.start, (SYSTEMTIME{2008, 2, 5, 15, 0, 20, 10, 0}));

    wifi.SetTimeLimitNotification(0, 45, 0);  // replaces the first
    handles = n.getUserNotificationHandles();
    ASSERT_EQ(handles.size(), 1u);
    n.getUserNotification(handles[0], t);
    EXPECT_EQ(t.start.wMinute, 35);

    wifi.EnsureTimeLimitNotification(0, 10, 0);  // same id and value exist: nothing new
    EXPECT_EQ(n.getUserNotificationHandles().size(), 1u);
    wifi.EnsureTimeLimitNotification(0, 10, 1);
    EXPECT_EQ(n.getUserNotificationHandles().size(), 1u);  // the new value replaced the old trigger

    bt.SetTimeLimitNotification(1, 5, 0);
    EXPECT_EQ(n.getUserNotificationHandles().size(), 2u);
    bt.ClearTimeLimitNotification(-1);
    handles = n.getUserNotificationHandles();
    ASSERT_EQ(handles.size(), 1u);
    n.getUserNotification(handles[0], t);
    EXPECT_EQ(t.arguments.substr(0, 24), "timer_notification_00_01");
    wifi.SetTimeLimitNotification(0, 0, 0);  // no minutes: nothing
    EXPECT_EQ(n.getUserNotificationHandles().size(), 1u);
    n.clearUserNotification(handles[0]);
}

}  // namespace

namespace {

// A listener may be destroyed as soon as it has been removed: the removal waits for a change
// being told to it on another thread, and a listener may remove itself from within its call.
TEST_F(MgrTest, RemovingAListenerWaitsForTheChangeBeingToldToIt) {
    FakeMgr mgr(0);
    struct Blocking : Listener {
        void StatusChanged(int status, int mgrId, int code) override {
            std::unique_lock lock(m);
            inside = true;
            changed.notify_all();
            changed.wait(lock, [this] { return release; });
            calls.push_back({status, mgrId, code});
        }
        std::condition_variable changed;
        bool inside = false;
        bool release = false;
    } listener;
    mgr.AddStatusListener(&listener);
    std::thread teller([&] { mgr.FireStatusChanged(7); });
    {
        std::unique_lock lock(listener.m);
        ASSERT_TRUE(
            listener.changed.wait_for(lock, std::chrono::seconds(5), [&] { return listener.inside; }));
    }
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        mgr.RemoveStatusListener(&listener);
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(removed.load());
    {
        std::lock_guard lock(listener.m);
        listener.release = true;
        listener.changed.notify_all();
    }
    remover.join();
    teller.join();
    EXPECT_TRUE(removed.load());
    EXPECT_EQ(listener.snapshot().size(), 1u);

    struct SelfRemoving : Listener {
        CMgr* mgr = nullptr;
        void StatusChanged(int status, int mgrId, int code) override {
            Listener::StatusChanged(status, mgrId, code);
            mgr->RemoveStatusListener(this);  // returns: the only delivery is its own
        }
    } self;
    self.mgr = &mgr;
    mgr.AddStatusListener(&self);
    mgr.FireStatusChanged(8);
    mgr.FireStatusChanged(9);
    EXPECT_EQ(self.snapshot().size(), 1u);
}

}  // namespace
