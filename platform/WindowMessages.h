#pragma once

#include <cstdint>

// The message vocabulary of the system's windows: numbered messages with two parameters, sent to
// a window handle. Handles are opaque ids of the window-handle registry (CWindowHandles).
using HWND = uintptr_t;
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// The record carried by WM_COPYDATA (lParam points to it while the message is handled).
struct COPYDATASTRUCT {
    uintptr_t dwData = 0;
    uint32_t cbData = 0;  // bytes
    const void* lpData = nullptr;
};
