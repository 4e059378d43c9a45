// The manager base's bounded lock waits: measured in real time whatever the phone's clock does,
// and given up (change skipped, restart asked for) when the lock stays taken.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/IApplication.h"
#include "managers/CMgr.h"
#include "platform/CControlServer.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CSqliteRegistry.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"

namespace {

using namespace std::chrono_literals;

// The phone's notification database, whose listing of handles can be held up by the test: the
// manager that lists them holds the lock of the scan meanwhile.
class HeldNotifications : public platform::IUserNotifications {
  public:
    HeldNotifications(const platform::CHome& home, platform::IClock& clock) : _inner(home, clock, false) {}
    uint32_t setUserNotification(const platform::UserNotificationTrigger& t) override {
        return _inner.setUserNotification(t);
    }
    bool clearUserNotification(uint32_t handle) override { return _inner.clearUserNotification(handle); }
    std::vector<uint32_t> getUserNotificationHandles() override {
        {
            std::unique_lock lock(m);
            if (holdNext) {
                holdNext = false;
                inside = true;
                changed.notify_all();
                changed.wait(lock, [this] { return released; });
            }
        }
        return _inner.getUserNotificationHandles();
    }
    bool getUserNotification(uint32_t handle, platform::UserNotificationTrigger& out) override {
        return _inner.getUserNotification(handle, out);
    }
    void release() {
        std::lock_guard lock(m);
        released = true;
        changed.notify_all();
    }
    bool waitInside() {
        std::unique_lock lock(m);
        return changed.wait_for(lock, 10s, [this] { return inside; });
    }

    std::mutex m;
    std::condition_variable changed;
    bool holdNext = false;
    bool inside = false;
    bool released = false;

  private:
    platform::sim::CSimUserNotifications _inner;
};

// Counts the restarts asked for.
class CountingApplication : public IApplication {
  public:
    explicit CountingApplication(const platform::CHome& home) : _control(home) { Install(this); }
    ~CountingApplication() override { Uninstall(this); }
    void RequestRestart() override { ++restarts; }
    int GetRestart() const override { return restarts.load(); }
    void ClearOwnNotifications() override {}
    void SetMainWindow(CBaseWindow*) override {}
    platform::CControlServer& GetControlServer() override { return _control; }
    std::atomic<int> restarts{0};

  private:
    platform::CControlServer _control;
};

class PlainMgr : public CMgr {
  public:
    PlainMgr() : CMgr(MGR_WIFI) {}
    ~PlainMgr() override { Stop(); }
    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_WIFI; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int, int) override {}
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
};

class MgrLockTest : public ::testing::Test {
  protected:
    MgrLockTest() {
        char tmpl[] = "/tmp/zentrova-test-XXXXXX";
        root = ::mkdtemp(tmpl);
        platform::CHome home(root);
        home.create();
        platform::Services::Parts parts;
        auto clock = std::make_unique<platform::sim::CSimClock>(home.clockFile());
        // 2000 phone milliseconds pass in 2 real ones.
        clock->setSpeed(1000);
        parts.queues = std::make_unique<platform::CMessageQueues>(*clock);
        parts.registry = std::make_unique<platform::CSqliteRegistry>(home.registryFile(), *parts.queues);
        auto held = std::make_unique<HeldNotifications>(home, *clock);
        notifications = held.get();
        parts.notifications = std::move(held);
        parts.clock = std::move(clock);
        parts.boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        services = std::make_unique<platform::Services>(home, std::move(parts));
        scope = std::make_unique<platform::Services::Scope>(*services);
        CInstaller(home).Install();
        config = std::make_unique<CConfigurationZentrova>();
        CMgr::SetMgrConfig("2222222222");
        application = std::make_unique<CountingApplication>(home);
    }
    ~MgrLockTest() override {
        notifications->release();
        application.reset();
        config.reset();
        scope.reset();
        services.reset();
        std::filesystem::remove_all(root);
    }
    size_t triggers() { return services->notifications().getUserNotificationHandles().size(); }

    std::filesystem::path root;
    HeldNotifications* notifications = nullptr;
    std::unique_ptr<platform::Services> services;
    std::unique_ptr<platform::Services::Scope> scope;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CountingApplication> application;
};

// One manager scans the phone's triggers (holding the scan's lock) while a second one wants to;
// the first is held up for `hold`.
TEST_F(MgrLockTest, TheScanLockIsWaitedForInRealTimeAndGivenUpAfterTwoSeconds) {
    struct Row {
        const char* what;
        std::chrono::milliseconds hold;
        bool givesUp;
    };
    const Row rows[] = {
        // Many phone seconds, but far below two real ones: no time-out.
        {"a short hold on a fast phone clock", 300ms, false},
        // Held on: the second caller returns without its change instead of waiting for ever.
        {"a hold past the limit", 4000ms, true},
    };
    PlainMgr first;
    PlainMgr second;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        application->restarts = 0;
        for (uint32_t h : services->notifications().getUserNotificationHandles()) {
            services->notifications().clearUserNotification(h);
        }
        {
            std::lock_guard lock(notifications->m);
            notifications->holdNext = true;
            notifications->inside = false;
            notifications->released = false;
        }
        // The first one holds the lock; its value differs so that it registers its own trigger.
        auto scanning = std::async(std::launch::async, [&] { first.EnsureTimeLimitNotification(0, 30, 7); });
        ASSERT_TRUE(notifications->waitInside());
        auto releaser = std::async(std::launch::async, [&, hold = row.hold] {
            std::this_thread::sleep_for(hold);
            notifications->release();
        });
        auto started = std::chrono::steady_clock::now();
        second.EnsureTimeLimitNotification(1, 30, 1);
        auto waited = std::chrono::steady_clock::now() - started;
        bool stillHeld;
        {
            std::lock_guard lock(notifications->m);
            stillHeld = !notifications->released;
        }
        releaser.get();
        scanning.get();
        if (row.givesUp) {
            EXPECT_TRUE(stillHeld) << "the second caller waited for the lock";
            EXPECT_GE(waited, 1900ms);
            EXPECT_EQ(application->restarts.load(), 1);
            EXPECT_EQ(triggers(), 1u) << "only the first caller registered";
        } else {
            EXPECT_GE(waited, 250ms);
            EXPECT_EQ(application->restarts.load(), 0);
            EXPECT_EQ(triggers(), 2u);
        }
    }
}

}  // namespace
