#pragma once

#include <cstdint>
#include <memory>

#include "platform/ErrorCodes.h"
#include "platform/IMessageQueues.h"

namespace platform {

// Radio modes of the Bluetooth stack.
inline constexpr uint32_t BTH_POWER_OFF = 0;
inline constexpr uint32_t BTH_CONNECTABLE = 1;
inline constexpr uint32_t BTH_DISCOVERABLE = 2;

// Event classes that can be asked for; the stack's own events (stack up, down, mode changes).
inline constexpr uint32_t BTE_CLASS_STACK = 8;
// Stack events: the radio came on, went off, or changed between connectable and discoverable.
inline constexpr uint32_t BTE_STACK_UP = 300;
inline constexpr uint32_t BTE_STACK_DOWN = 301;
inline constexpr uint32_t BTE_STACK_MODE = 302;
// An event as written into the queue: 32-bit little-endian event id, 32-bit reserved word, then
// 64 bytes of event data (the new radio mode in the first word for the stack events).
inline constexpr size_t BTEVENT_SIZE = 72;

using BtNotificationHandle = uint32_t;

// The Bluetooth stack: its radio mode, and its events delivered into a message queue.
class IBluetoothStack {
  public:
    virtual ~IBluetoothStack() = default;
    // The radio mode (BTH_*). Fails (mode 0) while the stack does not answer.
    virtual Result getRadioMode(uint32_t& mode) = 0;
    // ERROR_INVALID_PARAMETER for a mode other than the three; fails while the stack does not answer.
    virtual Result setRadioMode(uint32_t mode) = 0;
    // From now on every event of `classes` is written into `queue` (BTEVENT_SIZE bytes each) until
    // stopNotifications. ERROR_INVALID_PARAMETER without a queue or classes.
    virtual Result requestNotifications(uint32_t classes, std::shared_ptr<IMsgQueue> queue,
                                        BtNotificationHandle& handle) = 0;
    // After it returns no event is written for that registration any more.
    virtual Result stopNotifications(BtNotificationHandle handle) = 0;
};

}  // namespace platform
