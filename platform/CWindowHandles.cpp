#include "platform/CWindowHandles.h"

#include <cctype>

namespace platform {

std::mutex CWindowHandles::_lock;
std::map<HWND, CWindowHandles::Receiver> CWindowHandles::_windows;
HWND CWindowHandles::_next = 0x10000;
std::map<std::string, UINT> CWindowHandles::_registeredMessages;

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

UINT CWindowHandles::RegisterWindowMessageW(const std::string& name) {
    constexpr UINT kFirst = 0xC000;
    constexpr UINT kLast = 0xFFFF;
    if (name.empty()) {
        return 0;
    }
    std::string key;
    for (char c : name) {
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::lock_guard lock(_lock);
    if (auto it = _registeredMessages.find(key); it != _registeredMessages.end()) {
        return it->second;
    }
    UINT next = kFirst + static_cast<UINT>(_registeredMessages.size());
    if (next > kLast) {
        return 0;
    }
    _registeredMessages.emplace(key, next);
    return next;
}

}  // namespace platform
