#pragma once

#include "platform/ErrorCodes.h"
#include "platform/ITodayThemePanel.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the TodayThemePanel part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredTodayThemePanel : public ITodayThemePanel {
  public:
    Result start(const std::string&, const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result listThemes(std::vector<std::string>&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result findThemeList(std::vector<std::string>&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result pressItem(size_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result releaseItem(size_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result pressOk() override { return ERROR_SERVICE_NOT_ACTIVE; }
    void close() override {}
};

}  // namespace platform::lnx
