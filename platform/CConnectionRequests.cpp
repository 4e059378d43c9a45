#include "platform/CConnectionRequests.h"

#include "platform/CWindowHandles.h"
#include "platform/ConnectionEntries.h"

namespace platform {

bool CConnectionRequests::start(const ConnectionInfo& info, std::string& network, uint32_t& request) {
    if (!RequestDestination(info, network)) {
        request = 0;
        return false;
    }
    std::lock_guard lock(_lock);
    request = _nextRequest++;
    return true;
}

Result CConnectionRequests::registerWindow(bool enable, HWND window) {
    if (enable && !CWindowHandles::IsWindow(window)) {
        return ERROR_INVALID_HANDLE;
    }
    std::lock_guard lock(_lock);
    if (enable) {
        _windows.insert(window);
    } else {
        _windows.erase(window);
    }
    return ERROR_SUCCESS;
}

void CConnectionRequests::postStatusChange() {
    std::set<HWND> windows;
    {
        std::lock_guard lock(_lock);
        windows = _windows;
    }
    const UINT message = CWindowHandles::RegisterWindowMessageW(kConnMgrStatusChangeMessage);
    for (HWND window : windows) {
        if (!CWindowHandles::PostMessageW(window, message, 0, 0)) {
            std::lock_guard lock(_lock);
            _windows.erase(window);  // the window has gone
        }
    }
}

}  // namespace platform
