#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IControlPanel.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the ControlPanel part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredControlPanel : public IControlPanel {
  public:
    Result startApplet(const std::string&, const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    ForeignWindow foregroundWindow() override { return {}; }
    ForeignWindow firstChild(ForeignWindow) override { return {}; }
    ForeignWindow nextSibling(ForeignWindow) override { return {}; }
    std::string className(ForeignWindow) override { return {}; }
    Result clientSize(ForeignWindow, int&, int&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result postMouse(ForeignWindow, MouseAction, int, int) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result closeWindow(ForeignWindow) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
