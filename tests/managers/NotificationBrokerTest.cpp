// The notification broker: delivery through its queue after the initial sleep, delivery through
// registry callbacks, long queue messages, and a prompt, clean shutdown.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "managers/CNotificationBroker.h"
#include "platform/sim/CSimClock.h"
#include "support/TempHome.h"

namespace {

using platform::HREGNOTIFY;
using platform::RegRoot;

constexpr const char* kKey = "System\\State\\Test";
constexpr uint32_t kAnyChange = 0xFFFFFFFF;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A listener as the managers write them: it counts the changes of its own watch and ignores the
// other handles. Every call is also noted in a log shared by all listeners of a test.
class Listener : public INotificationBrokerListener {
  public:
    struct Call {
        int listener;
        HREGNOTIFY handle;
        std::thread::id thread;
        bool brokerReading;
        uint32_t tick;
    };
    struct Log {
        std::mutex lock;
        std::vector<Call> calls;
        std::vector<Call> snapshot() {
            std::lock_guard g(lock);
            return calls;
        }
    };

    Listener(int id, Log& log, TempHome& home) : _id(id), _log(log), _home(home) {}

    void HandleNotification(HREGNOTIFY handle) override {
        CNotificationBroker* broker = CNotificationBroker::GetInstance();
        std::lock_guard g(_log.lock);
        _log.calls.push_back({_id, handle, std::this_thread::get_id(), broker && broker->IsReading(),
                              _home.services().clock().tickCount()});
        if (handle == mine) {
            ++changes;
        }
    }

    HREGNOTIFY mine = 0;
    int changes = 0;  // under the log's lock

  private:
    int _id;
    Log& _log;
    TempHome& _home;
};

class NotificationBrokerTest : public ::testing::Test {
  protected:
    NotificationBrokerTest() { setSpeed(100); }
    void setSpeed(double factor) {
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(factor);
    }
    platform::IRegistry& registry() { return home.services().registry(); }

    TempHome home;
    Listener::Log log;
};

TEST_F(NotificationBrokerTest, ChangeDuringTheInitialSleepWaitsInTheQueue) {
    setSpeed(5);  // the initial sleep takes 400 ms of real time
    registry().setDword(RegRoot::LocalMachine, kKey, "A", 1);
    const uint32_t start = home.services().clock().tickCount();
    CNotificationBroker broker;
    EXPECT_EQ(CNotificationBroker::GetInstance(), &broker);
    Listener listener(1, log, home);
    broker.AddNotificationBrokerListener(&listener);
    ASSERT_EQ(broker.RegisterNotification(RegRoot::LocalMachine, kKey, "A", kAnyChange, listener.mine, 0),
              platform::ERROR_SUCCESS);

    registry().setDword(RegRoot::LocalMachine, kKey, "A", 2);
    ASSERT_TRUE(waitFor([&] { return broker.GetHandleQueue()->pending() == 1; }));
    EXPECT_FALSE(broker.IsReading());
    EXPECT_TRUE(log.snapshot().empty());

    ASSERT_TRUE(waitFor([&] { return log.snapshot().size() == 1; }));
    Listener::Call call = log.snapshot()[0];
    EXPECT_EQ(call.handle, listener.mine);
    EXPECT_TRUE(call.brokerReading);
    EXPECT_GE(call.tick - start, CNotificationBroker::kInitialSleepMs);
}

TEST_F(NotificationBrokerTest, EveryListenerHearsEveryHandleAndCountsOnlyItsOwn) {
    CNotificationBroker broker;
    Listener first(1, log, home), second(2, log, home);
    broker.AddNotificationBrokerListener(&first);
    broker.AddNotificationBrokerListener(&second);
    broker.RegisterNotification(RegRoot::LocalMachine, kKey, "A", kAnyChange, first.mine, 0);
    broker.RegisterNotification(RegRoot::LocalMachine, kKey, "B", kAnyChange, second.mine, 0);
    ASSERT_NE(first.mine, second.mine);

    registry().setDword(RegRoot::LocalMachine, kKey, "A", 7);
    ASSERT_TRUE(waitFor([&] { return log.snapshot().size() == 2; }));
    registry().setDword(RegRoot::LocalMachine, kKey, "A", 8);
    ASSERT_TRUE(waitFor([&] { return log.snapshot().size() == 4; }));

    auto calls = log.snapshot();
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].listener, i % 2 == 0 ? 1 : 2)
            << "listeners are called in the order they were added";
        EXPECT_EQ(calls[i].handle, first.mine);
    }
    std::lock_guard g(log.lock);
    EXPECT_EQ(first.changes, 2);
    EXPECT_EQ(second.changes, 0);
}

TEST_F(NotificationBrokerTest, CallbackModeDispatchesAtOnceOnTheRegistryThread) {
    setSpeed(1);  // the reader stays in its initial sleep for the whole test
    auto before = std::chrono::steady_clock::now();
    {
        CNotificationBroker broker;
        Listener listener(1, log, home);
        broker.AddNotificationBrokerListener(&listener);
        ASSERT_EQ(broker.RegisterNotification(RegRoot::LocalMachine, kKey, "C", kAnyChange, listener.mine, 1),
                  platform::ERROR_SUCCESS);
        registry().setDword(RegRoot::LocalMachine, kKey, "C", 3);
        ASSERT_TRUE(waitFor([&] { return log.snapshot().size() == 1; }));
        Listener::Call call = log.snapshot()[0];
        EXPECT_EQ(call.handle, listener.mine);
        EXPECT_FALSE(call.brokerReading);
        EXPECT_NE(call.thread, std::this_thread::get_id());
        EXPECT_EQ(broker.GetHandleQueue()->pending(), 0u);
    }
    // Destroyed during the initial sleep: it does not wait the sleep out.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1500));
    EXPECT_EQ(CNotificationBroker::GetInstance(), nullptr);
}

TEST_F(NotificationBrokerTest, LongMessagesAreReadWhole) {
    CNotificationBroker broker;
    Listener listener(1, log, home);
    broker.AddNotificationBrokerListener(&listener);
    auto queue = broker.GetHandleQueue();

    // A message three times the size of one read, whose later bytes would look like handles.
    std::vector<uint8_t> longMessage(3000, 0x11);
    const HREGNOTIFY longHandle = 0xABCD1234;
    std::memcpy(longMessage.data(), &longHandle, sizeof longHandle);
    ASSERT_EQ(queue->write(longMessage.data(), longMessage.size(), 0), platform::ERROR_SUCCESS);
    const uint8_t tooShort[2] = {9, 9};
    ASSERT_EQ(queue->write(tooShort, sizeof tooShort, 0), platform::ERROR_SUCCESS);
    const HREGNOTIFY shortHandle = 7;
    ASSERT_EQ(queue->write(&shortHandle, sizeof shortHandle, 0), platform::ERROR_SUCCESS);

    ASSERT_TRUE(waitFor([&] { return log.snapshot().size() >= 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto calls = log.snapshot();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].handle, longHandle);
    EXPECT_EQ(calls[1].handle, shortHandle);
}

TEST_F(NotificationBrokerTest, DestructionClosesItsWatchesAndWakesAReadInProgress) {
    Listener listener(1, log, home);
    HREGNOTIFY queued = 0;
    auto broker = std::make_unique<CNotificationBroker>();
    broker->AddNotificationBrokerListener(&listener);
    broker->RegisterNotification(RegRoot::LocalMachine, kKey, "D", kAnyChange, listener.mine, 1);
    broker->RegisterNotification(RegRoot::LocalMachine, kKey, "E", kAnyChange, queued, 0);
    ASSERT_TRUE(waitFor([&] { return broker->IsReading(); }));
    // From now on a read waits 5 s of real time.
    setSpeed(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    auto before = std::chrono::steady_clock::now();
    broker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));
    EXPECT_EQ(registry().closeNotification(listener.mine), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry().closeNotification(queued), platform::ERROR_INVALID_HANDLE);
}

TEST_F(NotificationBrokerTest, ARemovedListenerIsNotCalledAnyMore) {
    CNotificationBroker broker;
    Listener kept(1, log, home), removed(2, log, home);
    broker.AddNotificationBrokerListener(&removed);
    broker.AddNotificationBrokerListener(&kept);
    broker.RemoveNotificationBrokerListener(&removed);
    broker.FireEvent(42);
    auto calls = log.snapshot();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].listener, 1);
}

}  // namespace
