#include "platform/sim/CSimBluetoothStack.h"

#include "platform/PlatformError.h"

namespace platform::sim {

CSimBluetoothStack::CSimBluetoothStack(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {
    _subscription = _phone->subscribe(
        [this](const CSimPhone::State& before, const CSimPhone::State& after) { changed(before, after); });
}

Result CSimBluetoothStack::getRadioMode(uint32_t& mode) {
    mode = 0;
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    if (!s.btStack) {
        return ERROR_NOT_READY;
    }
    mode = static_cast<uint32_t>(s.bluetooth);
    return ERROR_SUCCESS;
}

Result CSimBluetoothStack::setRadioMode(uint32_t mode) {
    if (mode > BTH_DISCOVERABLE) {
        return ERROR_INVALID_PARAMETER;
    }
    try {
        if (!_phone->state().btStack) {
            return ERROR_NOT_READY;
        }
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return _phone->setBluetooth(static_cast<CSimPhone::Bluetooth>(mode));
}

Result CSimBluetoothStack::requestNotifications(uint32_t classes, std::shared_ptr<IMsgQueue> queue,
                                                BtNotificationHandle& handle) {
    return _events.add(classes, std::move(queue), handle);
}

Result CSimBluetoothStack::stopNotifications(BtNotificationHandle handle) {
    return _events.remove(handle);
}

void CSimBluetoothStack::changed(const CSimPhone::State& before, const CSimPhone::State& after) {
    const auto mode = static_cast<uint32_t>(after.bluetooth);
    if (before.btStack != after.btStack) {
        // The stack itself came up or went down.
        _events.deliver(after.btStack ? BTE_STACK_UP : BTE_STACK_DOWN, mode);
    } else {
        _events.deliver(CBtStackEvents::eventFor(static_cast<uint32_t>(before.bluetooth), mode), mode);
    }
}

}  // namespace platform::sim
