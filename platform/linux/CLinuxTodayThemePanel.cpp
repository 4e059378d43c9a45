#include "platform/linux/CLinuxTodayThemePanel.h"

namespace platform::lnx {

Result CLinuxTodayThemePanel::start(const std::string& /*program*/, const std::string& /*arguments*/) {
    return ERROR_FILE_NOT_FOUND;
}

Result CLinuxTodayThemePanel::listThemes(std::vector<std::string>& themes) {
    themes.clear();
    return ERROR_FILE_NOT_FOUND;
}

Result CLinuxTodayThemePanel::findThemeList(std::vector<std::string>& items) {
    items.clear();
    return ERROR_NOT_FOUND;
}

Result CLinuxTodayThemePanel::pressItem(size_t /*index*/) {
    return ERROR_NOT_FOUND;
}

Result CLinuxTodayThemePanel::releaseItem(size_t /*index*/) {
    return ERROR_NOT_FOUND;
}

Result CLinuxTodayThemePanel::pressOk() {
    return ERROR_NOT_FOUND;
}

void CLinuxTodayThemePanel::close() {}

}  // namespace platform::lnx
