#pragma once

#include "platform/ErrorCodes.h"
#include "platform/ISim.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the Sim part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredSim : public ISim {
  public:
    Result open(SimHandle&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result close(SimHandle) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result getLockedState(SimHandle, uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result unlock(SimHandle, const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    bool isPinPromptShown() override { return false; }
    void closePinPrompt() override {}
};

}  // namespace platform::lnx
