#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IDeviceDrivers.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the DeviceDrivers part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredDeviceDrivers : public IDeviceDrivers {
  public:
    Result open(const std::string&, uint32_t, DeviceHandle&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result ioControl(DeviceHandle, uint32_t, const std::vector<uint8_t>&, std::vector<uint8_t>&,
                     uint32_t&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result close(DeviceHandle) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
