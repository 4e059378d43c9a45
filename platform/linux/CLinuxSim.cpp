#include "platform/linux/CLinuxSim.h"

namespace platform::lnx {

CLinuxSim::CLinuxSim(std::shared_ptr<CLinuxModem> modem) : _modem(std::move(modem)) {}

Result CLinuxSim::open(SimHandle& sim) {
    sim = _handles.open();
    return ERROR_SUCCESS;
}

Result CLinuxSim::close(SimHandle sim) {
    return _handles.close(sim);
}

bool CLinuxSim::isOpen(SimHandle sim) {
    return _handles.isOpen(sim);
}

Result CLinuxSim::getLockedState(SimHandle sim, uint32_t& state) {
    state = SIM_LOCKEDSTATE_READY;
    if (!isOpen(sim)) {
        return ERROR_INVALID_HANDLE;
    }
    const CLinuxModem::State s = _modem->state();
    if (!s.present) {
        return ERROR_READ_FAULT;
    }
    state = s.simLocked() ? SIM_LOCKEDSTATE_SIM_PIN : SIM_LOCKEDSTATE_READY;
    return ERROR_SUCCESS;
}

Result CLinuxSim::unlockError(const std::string& error) {
    // The modem's answer to a wrong PIN (the equipment's "incorrect password").
    return error.find("IncorrectPassword") != std::string::npos ? SIM_E_INCORRECTPASSWORD : ERROR_GEN_FAILURE;
}

Result CLinuxSim::unlock(SimHandle sim, const std::string& pin) {
    if (!isOpen(sim)) {
        return ERROR_INVALID_HANDLE;
    }
    const CLinuxModem::State s = _modem->state();
    if (!s.present) {
        return ERROR_READ_FAULT;
    }
    if (!s.simLocked()) {
        return ERROR_SUCCESS;
    }
    std::string error = _modem->sendPin(pin);
    return error.empty() ? ERROR_SUCCESS : unlockError(error);
}

}  // namespace platform::lnx
