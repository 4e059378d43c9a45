#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IBluetoothStack.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the BluetoothStack part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredBluetoothStack : public IBluetoothStack {
  public:
    Result getRadioMode(uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result setRadioMode(uint32_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result requestNotifications(uint32_t, std::shared_ptr<IMsgQueue>, BtNotificationHandle&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result stopNotifications(BtNotificationHandle) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
