#include "platform/linux/CLinuxControlPanel.h"

namespace platform::lnx {

Result CLinuxControlPanel::startApplet(const std::string& /*program*/, const std::string& /*arguments*/) {
    return ERROR_FILE_NOT_FOUND;
}

ForeignWindow CLinuxControlPanel::foregroundWindow() {
    return 0;
}

ForeignWindow CLinuxControlPanel::firstChild(ForeignWindow /*window*/) {
    return 0;
}

ForeignWindow CLinuxControlPanel::nextSibling(ForeignWindow /*window*/) {
    return 0;
}

std::string CLinuxControlPanel::className(ForeignWindow /*window*/) {
    return {};
}

Result CLinuxControlPanel::clientSize(ForeignWindow /*window*/, int& width, int& height) {
    width = height = 0;
    return ERROR_INVALID_HANDLE;
}

Result CLinuxControlPanel::postMouse(ForeignWindow /*window*/, MouseAction /*action*/, int /*x*/, int /*y*/) {
    return ERROR_INVALID_HANDLE;
}

Result CLinuxControlPanel::closeWindow(ForeignWindow /*window*/) {
    return ERROR_INVALID_HANDLE;
}

}  // namespace platform::lnx
