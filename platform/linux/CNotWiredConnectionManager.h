#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IConnectionManager.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the ConnectionManager part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredConnectionManager : public IConnectionManager {
  public:
    Result enumEntries(std::vector<std::string>&, size_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result enumConnections(std::vector<RasConnection>&, size_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result getConnectStatus(uint32_t, uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result getLinkStatistics(uint32_t, RasLinkStatistics&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result hangUp(uint32_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result establishConnection(const ConnectionInfo&, uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result establishConnectionSync(const ConnectionInfo&, uint32_t&, uint32_t, uint32_t&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result mapUrl(const std::string&, std::string&, uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result registerForStatusChangeNotification(bool, HWND) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
