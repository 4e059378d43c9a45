#pragma once

#include <memory>

#include "platform/CBtStackEvents.h"
#include "platform/IBluetoothStack.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The Bluetooth stack of the simulated phone. Its radio mode is the phone's Bluetooth state; while
// the phone says the stack is down (zentrova-device bt stack down) the mode can be neither read nor
// set (ERROR_NOT_READY). Every change of the mode or of the stack made in this process, also one
// made from outside the program (zentrova-device bt ...), is written as a stack event into the
// queues that asked for BTE_CLASS_STACK: BTE_STACK_UP when the radio comes on or the stack comes
// up, BTE_STACK_DOWN when it goes off or down, BTE_STACK_MODE between connectable and
// discoverable. A full queue loses the event.
class CSimBluetoothStack : public IBluetoothStack {
  public:
    explicit CSimBluetoothStack(std::shared_ptr<CSimPhone> phone);

    Result getRadioMode(uint32_t& mode) override;
    Result setRadioMode(uint32_t mode) override;
    Result requestNotifications(uint32_t classes, std::shared_ptr<IMsgQueue> queue,
                                BtNotificationHandle& handle) override;
    // ERROR_INVALID_HANDLE for a registration that does not exist.
    Result stopNotifications(BtNotificationHandle handle) override;

  private:
    void changed(const CSimPhone::State& before, const CSimPhone::State& after);

    std::shared_ptr<CSimPhone> _phone;
    CBtStackEvents _events;
    // Last: ends first, so that no change of the phone reaches a half-destroyed stack.
    CSimPhone::Subscription _subscription;
};

}  // namespace platform::sim
