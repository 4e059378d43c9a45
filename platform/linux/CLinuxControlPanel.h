#pragma once

#include "platform/IControlPanel.h"

namespace platform::lnx {

// The control panel on a Linux desktop: the phone's applet program and its applets do not exist
// here (the backlight is set through the system's own service instead), so no applet starts and
// no window of another program can be reached, as on a phone without the applet.
class CLinuxControlPanel : public IControlPanel {
  public:
    // ERROR_FILE_NOT_FOUND for every program and applet.
    Result startApplet(const std::string& program, const std::string& arguments) override;
    // No window: 0, empty names, ERROR_INVALID_HANDLE.
    ForeignWindow foregroundWindow() override;
    ForeignWindow firstChild(ForeignWindow window) override;
    ForeignWindow nextSibling(ForeignWindow window) override;
    std::string className(ForeignWindow window) override;
    Result clientSize(ForeignWindow window, int& width, int& height) override;
    Result postMouse(ForeignWindow window, MouseAction action, int x, int y) override;
    Result closeWindow(ForeignWindow window) override;
};

}  // namespace platform::lnx
