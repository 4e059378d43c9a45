#pragma once

#include "platform/ErrorCodes.h"
#include "platform/ISms.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the Sms part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredSms : public ISms {
  public:
    Result open(const std::string&, uint32_t, SmsHandle&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result close(SmsHandle) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result send(SmsHandle, const SmsAddress&, const std::vector<uint8_t>&, const std::vector<uint8_t>&,
                uint32_t, uint32_t, uint32_t&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
};

}  // namespace platform::lnx
