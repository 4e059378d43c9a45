#pragma once

#include <cstdint>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

// A window of another program, as the window system numbers it; 0 is none.
using ForeignWindow = uint32_t;

// Mouse messages posted to a window: the left button pressed (with the left-button flag) and
// released, at a point of the window's client area.
enum class MouseAction { LeftDown, LeftUp };

// The phone's control-panel applets, started by program and arguments as the shell starts them,
// and their windows, driven from outside as a user would: the foreground window, its child
// windows (first child, next sibling), their class names and sizes, mouse clicks, and closing.
class IControlPanel {
  public:
    virtual ~IControlPanel() = default;
    // Starts `program` ("ctlpnl.exe") with `arguments` (an applet such as "cplmain.cpl,6"); the
    // applet's window shows a moment later. ERROR_FILE_NOT_FOUND for a program or applet the phone
    // does not have.
    virtual Result startApplet(const std::string& program, const std::string& arguments) = 0;
    // The window in the foreground now; 0 when none.
    virtual ForeignWindow foregroundWindow() = 0;
    // The first child window, the next window with the same parent; 0 when none.
    virtual ForeignWindow firstChild(ForeignWindow window) = 0;
    virtual ForeignWindow nextSibling(ForeignWindow window) = 0;
    // Empty for a window that does not exist.
    virtual std::string className(ForeignWindow window) = 0;
    // ERROR_INVALID_HANDLE for a window that does not exist.
    virtual Result clientSize(ForeignWindow window, int& width, int& height) = 0;
    virtual Result postMouse(ForeignWindow window, MouseAction action, int x, int y) = 0;
    // The window's close message; the applet then goes away.
    virtual Result closeWindow(ForeignWindow window) = 0;
};

}  // namespace platform
