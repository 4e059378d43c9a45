#include "platform/CBtStackEvents.h"

namespace platform {

namespace {

void putWord(std::vector<uint8_t>& data, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

Result CBtStackEvents::add(uint32_t classes, std::shared_ptr<IMsgQueue> queue, BtNotificationHandle& handle) {
    handle = 0;
    if (!queue || (classes & BTE_CLASS_STACK) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(_lock);
    handle = _next++;
    _registrations.emplace(handle, std::move(queue));
    return ERROR_SUCCESS;
}

Result CBtStackEvents::remove(BtNotificationHandle handle) {
    std::lock_guard lock(_lock);
    return _registrations.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void CBtStackEvents::deliver(uint32_t event, uint32_t mode) {
    if (event == 0) {
        return;
    }
    std::vector<uint8_t> record = eventRecord(event, mode);
    std::lock_guard lock(_lock);
    for (const auto& [handle, queue] : _registrations) {
        queue->write(record.data(), record.size(), 0);
    }
}

std::vector<uint8_t> CBtStackEvents::eventRecord(uint32_t event, uint32_t mode) {
    std::vector<uint8_t> data(BTEVENT_SIZE, 0);
    putWord(data, 0, event);
    putWord(data, 8, mode);
    return data;
}

uint32_t CBtStackEvents::eventFor(uint32_t before, uint32_t after) {
    if (before == after) {
        return 0;
    }
    if (before == BTH_POWER_OFF) {
        return BTE_STACK_UP;
    }
    return after == BTH_POWER_OFF ? BTE_STACK_DOWN : BTE_STACK_MODE;
}

}  // namespace platform
