#pragma once

#include "platform/ErrorCodes.h"
#include "platform/INamedEvents.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the NamedEvents part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredNamedEvents : public INamedEvents {
  public:
    Result signal(const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
