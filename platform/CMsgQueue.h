#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/IClock.h"
#include "platform/IMessageQueues.h"

namespace platform {

// One named queue of this process. Every end opened under the same name shares this object:
// messages written through any end are read, whole and in order, through any end. The limits are
// those of the first open; `readAccess` and the flags are not enforced (the registry writes change
// messages into a queue that its owner opened for reading).
// Waits are phone milliseconds, turned into real time by the clock when the wait starts.
class CMsgQueue : public IMsgQueue {
  public:
    CMsgQueue(std::string name, const MsgQueueOptions& options, IClock& clock);
    ~CMsgQueue() override;
    CMsgQueue(const CMsgQueue&) = delete;
    CMsgQueue& operator=(const CMsgQueue&) = delete;

    Result write(const void* data, size_t size, uint32_t timeoutMs) override;
    Result read(void* buffer, size_t capacity, size_t& size, uint32_t timeoutMs) override;
    size_t pending() const override;

    const std::string& name() const { return _name; }
    const MsgQueueOptions& options() const { return _options; }

    // The queues object that made this queue goes away: every waiting reader and writer wakes and
    // returns ERROR_INVALID_HANDLE, and so do all later reads and writes. The clock is not used
    // any more after this returns.
    void close();
    bool isClosed() const;

  private:
    // Real-time deadline of a wait of `timeoutMs` phone milliseconds; called with _lock held.
    std::chrono::steady_clock::time_point deadlineFor(uint32_t timeoutMs);
    // Waits until `ready` holds, the queue closes or the time-out passes. Called with `lock` held.
    // Returns ERROR_SUCCESS when ready, else ERROR_INVALID_HANDLE or ERROR_TIMEOUT.
    template <typename Pred>
    Result waitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
                   Pred ready);

    const std::string _name;
    const MsgQueueOptions _options;
    mutable std::mutex _lock;
    std::condition_variable _readable;  // a message arrived (or the queue closed)
    std::condition_variable _writable;  // a message was taken (or the queue closed)
    std::deque<std::vector<uint8_t>> _messages;
    IClock* _clock;  // null once closed
    bool _closed = false;
};

}  // namespace platform
