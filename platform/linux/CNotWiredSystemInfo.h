#pragma once

#include "platform/ErrorCodes.h"
#include "platform/ISystemInfo.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the SystemInfo part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredSystemInfo : public ISystemInfo {
  public:
    Result oemInfo(std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result osVersion(uint32_t&, uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    void messageBeep(uint32_t) override {}
};

}  // namespace platform::lnx
