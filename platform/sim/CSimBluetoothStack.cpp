#include "platform/sim/CSimBluetoothStack.h"

#include "platform/PlatformError.h"

namespace platform::sim {

namespace {

void putWord(std::vector<uint8_t>& data, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

CSimBluetoothStack::CSimBluetoothStack(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {
    _subscription = _phone->subscribe(
        [this](const CSimPhone::State& before, const CSimPhone::State& after) { changed(before, after); });
}

std::vector<uint8_t> CSimBluetoothStack::eventRecord(uint32_t event, uint32_t mode) {
    std::vector<uint8_t> data(BTEVENT_SIZE, 0);
    putWord(data, 0, event);
    putWord(data, 8, mode);
    return data;
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
    handle = 0;
    if (!queue || (classes & BTE_CLASS_STACK) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(_lock);
    handle = _next++;
    _registrations.emplace(handle, std::move(queue));
    return ERROR_SUCCESS;
}

Result CSimBluetoothStack::stopNotifications(BtNotificationHandle handle) {
    std::lock_guard lock(_lock);
    return _registrations.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void CSimBluetoothStack::changed(const CSimPhone::State& before, const CSimPhone::State& after) {
    uint32_t event = 0;
    if (before.btStack != after.btStack) {
        event = after.btStack ? BTE_STACK_UP : BTE_STACK_DOWN;
    } else if (before.bluetooth != after.bluetooth) {
        if (before.bluetooth == CSimPhone::Bluetooth::Off) {
            event = BTE_STACK_UP;
        } else if (after.bluetooth == CSimPhone::Bluetooth::Off) {
            event = BTE_STACK_DOWN;
        } else {
            event = BTE_STACK_MODE;
        }
    } else {
        return;
    }
    std::vector<uint8_t> record = eventRecord(event, static_cast<uint32_t>(after.bluetooth));
    std::lock_guard lock(_lock);
    for (const auto& [handle, queue] : _registrations) {
        queue->write(record.data(), record.size(), 0);
    }
}

}  // namespace platform::sim
