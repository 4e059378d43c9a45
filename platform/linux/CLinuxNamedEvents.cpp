#include "platform/linux/CLinuxNamedEvents.h"

#include <exception>

namespace platform::lnx {

CLinuxNamedEvents::CLinuxNamedEvents(std::map<std::string, Waiter> waiters) : _waiters(std::move(waiters)) {}

Result CLinuxNamedEvents::signal(const std::string& name) {
    if (name.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    auto it = _waiters.find(name);
    if (it == _waiters.end() || !it->second) {
        return ERROR_SUCCESS;
    }
    try {
        return it->second();
    } catch (const std::exception&) {
        return ERROR_GEN_FAILURE;  // the waiting side failed; the caller sees a failed signal
    }
}

}  // namespace platform::lnx
