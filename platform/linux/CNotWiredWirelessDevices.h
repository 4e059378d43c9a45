#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IWirelessDevices.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the WirelessDevices part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredWirelessDevices : public IWirelessDevices {
  public:
    uint32_t GetWirelessDevices(std::vector<WirelessDevice>&, uint32_t) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    uint32_t ChangeRadioState(const WirelessDevice&, uint32_t, uint32_t) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    void FreeDeviceList(std::vector<WirelessDevice>&) override {}
};

}  // namespace platform::lnx
