#include "platform/CWindowHandles.h"

namespace platform {

std::mutex CWindowHandles::_lock;
std::map<HWND, CWindowHandles::Receiver> CWindowHandles::_windows;
HWND CWindowHandles::_next = 0x10000;

HWND CWindowHandles::Register(Receiver receiver) {
    std::lock_guard lock(_lock);
    HWND h = _next;
    _next += 4;
    _windows.emplace(h, std::move(receiver));
    return h;
}

void CWindowHandles::Unregister(HWND window) {
    std::lock_guard lock(_lock);
    _windows.erase(window);
}

bool CWindowHandles::IsWindow(HWND window) {
    std::lock_guard lock(_lock);
    return _windows.count(window) != 0;
}

bool CWindowHandles::PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::function<void(UINT, WPARAM, LPARAM)> post;
    {
        std::lock_guard lock(_lock);
        auto it = _windows.find(window);
        if (it == _windows.end() || !it->second.post) {
            return false;
        }
        post = it->second.post;
    }
    post(message, wParam, lParam);
    return true;
}

LRESULT CWindowHandles::SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::function<LRESULT(UINT, WPARAM, LPARAM)> send;
    {
        std::lock_guard lock(_lock);
        auto it = _windows.find(window);
        if (it == _windows.end() || !it->second.send) {
            return 0;
        }
        send = it->second.send;
    }
    return send(message, wParam, lParam);
}

}  // namespace platform
