#include "platform/CDeviceHandleTable.h"

namespace platform {

DeviceHandle CDeviceHandleTable::open(const std::string& device) {
    std::lock_guard lock(_lock);
    DeviceHandle handle = _next++;
    _open.emplace(handle, device);
    return handle;
}

Result CDeviceHandleTable::close(DeviceHandle handle) {
    std::lock_guard lock(_lock);
    return _open.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

std::optional<std::string> CDeviceHandleTable::device(DeviceHandle handle) {
    std::lock_guard lock(_lock);
    auto it = _open.find(handle);
    if (it == _open.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace platform
