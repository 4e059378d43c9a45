#include "platform/sim/CSimNamedEvents.h"

#include "platform/PlatformError.h"

namespace platform::sim {

CSimNamedEvents::CSimNamedEvents(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

Result CSimNamedEvents::signal(const std::string& name) {
    if (name.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    if (name != kBacklightChanged) {
        return ERROR_SUCCESS;
    }
    try {
        return _phone->loadBacklightSettings();
    } catch (const PlatformError&) {
        return ERROR_GEN_FAILURE;
    }
}

}  // namespace platform::sim
