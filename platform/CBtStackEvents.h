#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/IBluetoothStack.h"

namespace platform {

// The queues that asked a Bluetooth stack for its stack events, and the writing of those events:
// BTE_STACK_UP when the radio comes on, BTE_STACK_DOWN when it goes off, BTE_STACK_MODE between
// connectable and discoverable. Events are written without waiting (a full queue loses the event),
// to the queues in the order they asked.
class CBtStackEvents {
  public:
    // ERROR_INVALID_PARAMETER without a queue or without BTE_CLASS_STACK in `classes`.
    Result add(uint32_t classes, std::shared_ptr<IMsgQueue> queue, BtNotificationHandle& handle);
    // ERROR_INVALID_HANDLE for a registration that does not exist.
    Result remove(BtNotificationHandle handle);
    // Writes the event, with the radio mode it left, to every queue; nothing for event 0.
    void deliver(uint32_t event, uint32_t mode);

    // The event record of a stack event with the new radio mode.
    static std::vector<uint8_t> eventRecord(uint32_t event, uint32_t mode);
    // The stack event for a change of the radio mode (0 when there is none).
    static uint32_t eventFor(uint32_t before, uint32_t after);

  private:
    std::mutex _lock;  // the registrations; held while events are written
    std::map<BtNotificationHandle, std::shared_ptr<IMsgQueue>> _registrations;
    BtNotificationHandle _next = 1;
};

}  // namespace platform
