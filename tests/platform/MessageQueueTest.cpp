#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/CMessageQueues.h"
#include "platform/IClock.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

// A phone clock whose every wait lasts a few real milliseconds, however long it is in phone time.
class FastClock : public IClock {
  public:
    SYSTEMTIME localTime() override { return {}; }
    int64_t localMillis() override { return 0; }
    uint32_t tickCount() override { return 0; }
    void sleep(uint32_t) override {}
    std::chrono::nanoseconds realDuration(uint32_t ms) override {
        lastAsked = ms;
        ++calls;
        return 20ms;
    }
    double speed() override { return 1000.0; }

    std::atomic<uint32_t> lastAsked{0};
    std::atomic<int> calls{0};
};

std::string readString(IMsgQueue& q, uint32_t timeoutMs, Result* result = nullptr) {
    char buf[256];
    size_t size = 0;
    Result r = q.read(buf, sizeof buf, size, timeoutMs);
    if (result) {
        *result = r;
    }
    return r == ERROR_SUCCESS ? std::string(buf, size) : std::string();
}

Result writeString(IMsgQueue& q, const std::string& s, uint32_t timeoutMs = 0) {
    return q.write(s.data(), s.size(), timeoutMs);
}

class MessageQueueTest : public ::testing::Test {
  protected:
    FastClock clock;
    platform::CMessageQueues queues{clock};
};

}  // namespace

TEST_F(MessageQueueTest, MessagesAreReadWholeInOrder) {
    auto q = queues.open("fifo", {});
    ASSERT_TRUE(q);
    EXPECT_EQ(writeString(*q, "one"), ERROR_SUCCESS);
    EXPECT_EQ(writeString(*q, "two two"), ERROR_SUCCESS);
    EXPECT_EQ(writeString(*q, ""), ERROR_SUCCESS);
    EXPECT_EQ(writeString(*q, "three"), ERROR_SUCCESS);
    EXPECT_EQ(q->pending(), 4u);
    EXPECT_EQ(readString(*q, 0), "one");
    EXPECT_EQ(readString(*q, 0), "two two");
    Result r = ERROR_TIMEOUT;
    EXPECT_EQ(readString(*q, 0, &r), "");
    EXPECT_EQ(r, ERROR_SUCCESS);
    EXPECT_EQ(readString(*q, 0), "three");
    EXPECT_EQ(q->pending(), 0u);
}

TEST_F(MessageQueueTest, OpeningTheSameNameGivesTheSameQueue) {
    EXPECT_EQ(queues.find("shared"), nullptr);
    auto reader = queues.open("shared", {});
    MsgQueueOptions writeOptions;
    writeOptions.readAccess = false;
    auto writer = queues.open("shared", writeOptions);
    ASSERT_TRUE(reader && writer);
    EXPECT_EQ(writeString(*writer, "hello"), ERROR_SUCCESS);
    EXPECT_EQ(reader->pending(), 1u);
    EXPECT_EQ(readString(*reader, 0), "hello");

    auto found = queues.find("shared");
    ASSERT_TRUE(found);
    EXPECT_EQ(writeString(*found, "via find"), ERROR_SUCCESS);
    EXPECT_EQ(readString(*reader, 0), "via find");

    auto other = queues.open("other", {});
    EXPECT_EQ(writeString(*other, "x"), ERROR_SUCCESS);
    EXPECT_EQ(reader->pending(), 0u);
}

TEST_F(MessageQueueTest, FindReturnsNullOnceEveryEndIsClosed) {
    auto a = queues.open("gone", {});
    auto b = queues.open("gone", {});
    a.reset();
    EXPECT_NE(queues.find("gone"), nullptr);
    b.reset();
    EXPECT_EQ(queues.find("gone"), nullptr);
    // A new queue of that name starts empty.
    auto c = queues.open("gone", {});
    EXPECT_EQ(c->pending(), 0u);
}

TEST_F(MessageQueueTest, TooSmallBufferKeepsTheMessage) {
    auto q = queues.open("small", {});
    const std::string msg = "a message of some length";
    ASSERT_EQ(writeString(*q, msg), ERROR_SUCCESS);
    char tiny[4];
    size_t size = 0;
    EXPECT_EQ(q->read(tiny, sizeof tiny, size, 0), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, msg.size());
    EXPECT_EQ(q->pending(), 1u);
    size = 0;
    EXPECT_EQ(q->read(nullptr, 0, size, 0), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, msg.size());
    std::vector<char> buf(size);
    EXPECT_EQ(q->read(buf.data(), buf.size(), size, 0), ERROR_SUCCESS);
    EXPECT_EQ(std::string(buf.data(), size), msg);
    EXPECT_EQ(q->pending(), 0u);
}

TEST_F(MessageQueueTest, MessageLargerThanTheMaximumIsRefused) {
    MsgQueueOptions options;
    options.maxMessageSize = 8;
    auto q = queues.open("limited", options);
    EXPECT_EQ(writeString(*q, "12345678"), ERROR_SUCCESS);
    EXPECT_EQ(writeString(*q, "123456789"), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(q->pending(), 1u);
}

TEST_F(MessageQueueTest, ReadTimesOutInPhoneTime) {
    auto q = queues.open("empty", {});
    auto start = std::chrono::steady_clock::now();
    Result r = ERROR_SUCCESS;
    readString(*q, 60000, &r);  // a phone minute, 20 ms of real time with this clock
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r, ERROR_TIMEOUT);
    EXPECT_EQ(clock.lastAsked.load(), 60000u);
    EXPECT_GE(elapsed, 15ms);
    EXPECT_LT(elapsed, 5s);

    // No wait at all with a zero time-out.
    int before = clock.calls;
    readString(*q, 0, &r);
    EXPECT_EQ(r, ERROR_TIMEOUT);
    EXPECT_EQ(clock.calls, before);
}

TEST_F(MessageQueueTest, WriteToFullQueueTimesOut) {
    MsgQueueOptions options;
    options.maxMessages = 2;
    auto q = queues.open("full", options);
    EXPECT_EQ(writeString(*q, "1"), ERROR_SUCCESS);
    EXPECT_EQ(writeString(*q, "2"), ERROR_SUCCESS);
    EXPECT_EQ(writeString(*q, "3", 0), ERROR_TIMEOUT);
    EXPECT_EQ(writeString(*q, "3", 5000), ERROR_TIMEOUT);
    EXPECT_EQ(q->pending(), 2u);
    EXPECT_EQ(readString(*q, 0), "1");
    EXPECT_EQ(writeString(*q, "3", 0), ERROR_SUCCESS);
}

TEST_F(MessageQueueTest, WriterWaitingOnFullQueueWakesWhenReaderTakesOne) {
    MsgQueueOptions options;
    options.maxMessages = 1;
    auto q = queues.open("full-wait", options);
    ASSERT_EQ(writeString(*q, "first"), ERROR_SUCCESS);
    std::atomic<Result> writeResult{-1};
    std::thread writer([&] { writeResult = writeString(*q, "second", INFINITE_WAIT); });
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(writeResult.load(), -1);
    EXPECT_EQ(readString(*q, 0), "first");
    writer.join();
    EXPECT_EQ(writeResult.load(), ERROR_SUCCESS);
    EXPECT_EQ(readString(*q, 0), "second");
}

TEST_F(MessageQueueTest, ReaderOnAnotherThreadWakesOnWrite) {
    auto q = queues.open("wake", {});
    std::atomic<Result> result{-1};
    std::string got;
    std::thread reader([&] {
        Result r;
        got = readString(*q, INFINITE_WAIT, &r);
        result = r;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(result.load(), -1);
    ASSERT_EQ(writeString(*queues.find("wake"), "ping"), ERROR_SUCCESS);
    reader.join();
    EXPECT_EQ(result.load(), ERROR_SUCCESS);
    EXPECT_EQ(got, "ping");
}

TEST_F(MessageQueueTest, ManyWritersAndReadersLoseNothing) {
    auto q = queues.open("busy", MsgQueueOptions{0, 16, 64, true});
    constexpr int kWriters = 4;
    constexpr int kPerWriter = 2000;
    std::vector<std::thread> threads;
    std::vector<std::vector<int>> seen(kWriters);
    std::mutex seenLock;
    std::atomic<int> received{0};
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; i < kPerWriter; ++i) {
                int msg[2] = {w, i};
                ASSERT_EQ(q->write(msg, sizeof msg, INFINITE_WAIT), ERROR_SUCCESS);
            }
        });
    }
    {
        // One reader, so that the order it sees is the order of the queue.
        threads.emplace_back([&] {
            auto giveUp = std::chrono::steady_clock::now() + 30s;
            while (received < kWriters * kPerWriter && std::chrono::steady_clock::now() < giveUp) {
                int msg[2];
                size_t size = 0;
                if (q->read(msg, sizeof msg, size, 100) == ERROR_SUCCESS) {
                    ASSERT_EQ(size, sizeof msg);
                    std::lock_guard lock(seenLock);
                    seen[msg[0]].push_back(msg[1]);
                    ++received;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int w = 0; w < kWriters; ++w) {
        ASSERT_EQ(seen[w].size(), static_cast<size_t>(kPerWriter));
        for (int i = 0; i < kPerWriter; ++i) {
            ASSERT_EQ(seen[w][i], i) << "writer " << w;
        }
    }
}

TEST(MessageQueueLifetime, DestroyingTheQueuesWakesWaitingReaders) {
    FastClock clock;
    auto queues = std::make_unique<platform::CMessageQueues>(clock);
    auto q = queues->open("orphan", {});
    std::atomic<Result> result{-1};
    std::thread reader([&] {
        char buf[8];
        size_t size = 0;
        result = q->read(buf, sizeof buf, size, INFINITE_WAIT);
    });
    std::this_thread::sleep_for(30ms);
    queues.reset();
    reader.join();
    EXPECT_TRUE(result == ERROR_INVALID_HANDLE || result == ERROR_TIMEOUT) << result;
    // The end outlives its queues object without touching the clock.
    char buf[8];
    size_t size = 0;
    EXPECT_EQ(q->read(buf, sizeof buf, size, 1000), ERROR_INVALID_HANDLE);
    EXPECT_EQ(q->write("x", 1, 1000), ERROR_INVALID_HANDLE);
}
