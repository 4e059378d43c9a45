#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IShell.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the Shell part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredShell : public IShell {
  public:
    Result openFile(const std::string&, const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result setRingTone(const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
