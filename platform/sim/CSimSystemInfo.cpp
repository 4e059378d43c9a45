#include "platform/sim/CSimSystemInfo.h"

#include "platform/PlatformError.h"

namespace platform::sim {

CSimSystemInfo::CSimSystemInfo(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

Result CSimSystemInfo::oemInfo(std::string& text) {
    text.clear();
    try {
        text = _phone->state().model;
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

Result CSimSystemInfo::osVersion(uint32_t& major, uint32_t& minor) {
    major = minor = 0;
    try {
        CSimPhone::State s = _phone->state();
        major = s.osMajor;
        minor = s.osMinor;
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

void CSimSystemInfo::messageBeep(uint32_t /*type*/) {
    // Every kind of alert sounds the same on this phone; it only counts them.
    _phone->beep();
}

}  // namespace platform::sim
