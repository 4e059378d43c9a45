#pragma once

#include "platform/ErrorCodes.h"
#include "platform/ITelephony.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the Telephony part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredTelephony : public ITelephony {
  public:
    Result openLine(uint32_t, uint32_t, uintptr_t, uint32_t, LineCallback, LineHandle&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result closeLine(LineHandle) override { return ERROR_SERVICE_NOT_ACTIVE; }
    long setEquipmentState(LineHandle, uint32_t) override { return LINEERR_OPERATIONFAILED; }
    long registerOnNetwork(LineHandle) override { return LINEERR_OPERATIONFAILED; }
    long unregisterFromNetwork(LineHandle) override { return LINEERR_OPERATIONFAILED; }
};

}  // namespace platform::lnx
