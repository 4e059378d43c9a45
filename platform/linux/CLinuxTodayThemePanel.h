#pragma once

#include "platform/ITodayThemePanel.h"

namespace platform::lnx {

// The Today settings panel on a Linux desktop: the desktop has no Today screen and no panel
// program for its themes, so the panel never opens and no theme is installed, as on a phone
// without the panel.
class CLinuxTodayThemePanel : public ITodayThemePanel {
  public:
    // ERROR_FILE_NOT_FOUND: the panel program is not there.
    Result start(const std::string& program, const std::string& arguments) override;
    // ERROR_FILE_NOT_FOUND with no themes.
    Result listThemes(std::vector<std::string>& themes) override;
    // ERROR_NOT_FOUND: the panel is never showing.
    Result findThemeList(std::vector<std::string>& items) override;
    Result pressItem(size_t index) override;
    Result releaseItem(size_t index) override;
    Result pressOk() override;
    void close() override;
};

}  // namespace platform::lnx
