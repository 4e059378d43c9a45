#include "platform/CHandleSet.h"

namespace platform {

uint32_t CHandleSet::open() {
    std::lock_guard lock(_lock);
    const uint32_t handle = _next++;
    _open.insert(handle);
    return handle;
}

Result CHandleSet::close(uint32_t handle) {
    std::lock_guard lock(_lock);
    return _open.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

bool CHandleSet::isOpen(uint32_t handle) {
    std::lock_guard lock(_lock);
    return _open.count(handle) != 0;
}

}  // namespace platform
