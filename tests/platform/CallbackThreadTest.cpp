// The callback thread without a clock, as the Linux backend's worker uses it.
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/CCallbackThread.h"

namespace {

// Calls of two owners run strictly in the order they were posted, and a removed owner's pending
// calls are dropped while the other owner's still run.
TEST(CallbackThreadTest, WithoutAClockCallsRunInPostingOrder) {
    platform::CCallbackThread calls;
    auto a = calls.addOwner();
    auto b = calls.addOwner();
    std::mutex lock;
    std::vector<int> ran;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    // Holds the thread, so that everything below is still pending when b goes.
    ASSERT_TRUE(calls.post(a, [released] { released.wait(); }));
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(calls.post(i % 3 == 0 ? b : a, [&, i] {
            std::lock_guard g(lock);
            ran.push_back(i);
        }));
    }
    std::promise<void> done;
    ASSERT_TRUE(calls.post(a, [&] { done.set_value(); }));
    calls.removeOwner(b);  // b has no running call: it returns at once
    release.set_value();
    done.get_future().wait();
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i) {
        if (i % 3 != 0) {
            expected.push_back(i);
        }
    }
    EXPECT_EQ(ran, expected);
    EXPECT_FALSE(calls.post(b, [] {}));
}

// shutdown drops what is pending, refuses later posts, and may be called from a running call.
TEST(CallbackThreadTest, ShutdownDropsPendingCallsAndRefusesLaterOnes) {
    struct Row {
        const char* what;
        bool fromInside;
    };
    for (const Row& row : {Row{"from outside", false}, Row{"from a call", true}}) {
        platform::CCallbackThread calls;
        auto owner = calls.addOwner();
        std::promise<void> started, release;
        std::shared_future<void> released = release.get_future().share();
        bool lateRan = false;
        ASSERT_TRUE(calls.post(owner, [&, released] {
            started.set_value();
            released.wait();
            if (row.fromInside) {
                calls.shutdown();
            }
        })) << row.what;
        ASSERT_TRUE(calls.post(owner, [&] { lateRan = true; })) << row.what;
        started.get_future().wait();
        std::thread stopper;
        if (row.fromInside) {
            release.set_value();
        } else {
            stopper = std::thread([&] { calls.shutdown(); });
        }
        // A refused post tells that the shutdown has dropped what was pending.
        while (calls.post(owner, [] {})) {
            std::this_thread::yield();
        }
        if (stopper.joinable()) {
            release.set_value();
            stopper.join();
        }
        calls.shutdown();  // joins in both cases; a second shutdown does nothing more
        EXPECT_FALSE(lateRan) << row.what;
        EXPECT_FALSE(calls.post(owner, [] {})) << row.what;
    }
}

}  // namespace
