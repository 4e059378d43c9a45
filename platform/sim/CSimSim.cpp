#include "platform/sim/CSimSim.h"

#include "platform/PlatformError.h"

namespace platform::sim {

CSimSim::CSimSim(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

Result CSimSim::open(SimHandle& sim) {
    sim = _handles.open();
    return ERROR_SUCCESS;
}

Result CSimSim::close(SimHandle sim) {
    return _handles.close(sim);
}

bool CSimSim::isOpen(SimHandle sim) {
    return _handles.isOpen(sim);
}

Result CSimSim::getLockedState(SimHandle sim, uint32_t& state) {
    state = SIM_LOCKEDSTATE_READY;
    if (!isOpen(sim)) {
        return ERROR_INVALID_HANDLE;
    }
    try {
        state = _phone->state().simLocked ? SIM_LOCKEDSTATE_SIM_PIN : SIM_LOCKEDSTATE_READY;
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

Result CSimSim::unlock(SimHandle sim, const std::string& pin) {
    if (!isOpen(sim)) {
        return ERROR_INVALID_HANDLE;
    }
    return _phone->unlockSim(pin);
}

bool CSimSim::isPinPromptShown() {
    try {
        return _phone->state().pinPrompt;
    } catch (const PlatformError&) {
        return false;
    }
}

void CSimSim::closePinPrompt() {
    _phone->closePinPrompt();
}

}  // namespace platform::sim
