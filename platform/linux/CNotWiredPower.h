#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IPower.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the Power part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredPower : public IPower {
  public:
    Result SetDevicePower(const std::string&, uint32_t, DevicePowerState) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
};

}  // namespace platform::lnx
