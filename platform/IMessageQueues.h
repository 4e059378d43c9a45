#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

struct MsgQueueOptions {
    uint32_t flags = 0;              // MSGQUEUE_NOPRECOMMIT 1, MSGQUEUE_ALLOW_BROKEN 2
    uint32_t maxMessages = 0;        // 0 = no limit
    uint32_t maxMessageSize = 4096;  // bytes
    bool readAccess = true;
};

inline constexpr uint32_t MSGQUEUE_NOPRECOMMIT = 1;
inline constexpr uint32_t MSGQUEUE_ALLOW_BROKEN = 2;
inline constexpr uint32_t INFINITE_WAIT = 0xFFFFFFFF;

// One end of a named point-to-point message queue. Messages are byte strings read whole, in
// the order they were written.
class IMsgQueue {
  public:
    virtual ~IMsgQueue() = default;
    // ERROR_INSUFFICIENT_BUFFER when the message is larger than the queue's maximum size;
    // ERROR_TIMEOUT when the queue is full for longer than the time-out.
    virtual Result write(const void* data, size_t size, uint32_t timeoutMs) = 0;
    // Reads the oldest message. ERROR_TIMEOUT when none arrives in time (simulated milliseconds).
    // ERROR_INSUFFICIENT_BUFFER when the oldest message is larger than `capacity`: the message
    // stays in the queue and `size` tells its length, so the caller can read it whole.
    virtual Result read(void* buffer, size_t capacity, size_t& size, uint32_t timeoutMs) = 0;
    virtual size_t pending() const = 0;
};

// Named queues of this process. Opening a name that exists gives another end of the same queue.
class IMessageQueues {
  public:
    virtual ~IMessageQueues() = default;
    virtual std::shared_ptr<IMsgQueue> open(const std::string& name, const MsgQueueOptions& options) = 0;
    // The queue of that name if any end of it is open, else null.
    virtual std::shared_ptr<IMsgQueue> find(const std::string& name) = 0;
};

}  // namespace platform
