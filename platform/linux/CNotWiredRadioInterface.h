#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IRadioInterface.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the RadioInterface part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredRadioInterface : public IRadioInterface {
  public:
    Result open(uint32_t, RilResultCallback, RilNotifyCallback, uint32_t, RilHandle&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result close(RilHandle) override { return ERROR_SERVICE_NOT_ACTIVE; }
    long getCellTowerInfo(RilHandle) override { return static_cast<long>(E_FAIL); }
    long getSignalQuality(RilHandle) override { return static_cast<long>(E_FAIL); }
    long getEquipmentState(RilHandle) override { return static_cast<long>(E_FAIL); }
};

}  // namespace platform::lnx
