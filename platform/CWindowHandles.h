#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "platform/WindowMessages.h"

namespace platform {

// The registry of window handles. A window registers a receiver and gets a handle; any thread
// may then post (queue and return) or send (wait for the result) messages to that handle. The
// window decides how its receiver reaches its own thread; receivers are never called with the
// registry's lock held.
class CWindowHandles {
  public:
    struct Receiver {
        // Queues the message for the window's thread; must be callable from any thread.
        std::function<void(UINT, WPARAM, LPARAM)> post;
        // Handles the message and returns its result, waiting when called from another thread.
        std::function<LRESULT(UINT, WPARAM, LPARAM)> send;
    };

    static HWND Register(Receiver receiver);
    static void Unregister(HWND window);
    static bool IsWindow(HWND window);
    // False when the handle is unknown (the message is dropped).
    static bool PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // 0 when the handle is unknown.
    static LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The message number registered for `name` in this process (0xC000 to 0xFFFF): the same name,
    // in any case, gives the same number; 0 when every number is taken or the name is empty.
    static UINT RegisterWindowMessageW(const std::string& name);

  private:
    static std::mutex _lock;
    static std::map<HWND, Receiver> _windows;
    static HWND _next;
    static std::map<std::string, UINT> _registeredMessages;
};

}  // namespace platform
