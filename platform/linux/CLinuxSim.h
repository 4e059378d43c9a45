#pragma once

#include <memory>

#include "platform/CHandleSet.h"
#include "platform/ISim.h"
#include "platform/linux/CLinuxModem.h"

namespace platform::lnx {

// The SIM of the modem ModemManager shows: locked while the modem waits for the SIM's PIN
// (UnlockRequired), unlocked with Sim.SendPin. The desktop's own PIN dialogs are not ours to
// close: there is no platform PIN prompt, isPinPromptShown is always false.
class CLinuxSim : public ISim {
  public:
    explicit CLinuxSim(std::shared_ptr<CLinuxModem> modem);

    Result open(SimHandle& sim) override;
    // ERROR_INVALID_HANDLE for a handle that is not open (so for the others below).
    Result close(SimHandle sim) override;
    // ERROR_READ_FAULT without a modem.
    Result getLockedState(SimHandle sim, uint32_t& state) override;
    // An unlocked SIM needs nothing. SIM_E_INCORRECTPASSWORD for a PIN the SIM refused,
    // ERROR_READ_FAULT without a modem, ERROR_GEN_FAILURE when the modem failed otherwise.
    Result unlock(SimHandle sim, const std::string& pin) override;
    bool isPinPromptShown() override { return false; }
    void closePinPrompt() override {}
    std::string unavailableReason() const { return _modem->unavailableReason(); }

    // The result of a refused PIN by the service's error name.
    static Result unlockError(const std::string& error);

  private:
    bool isOpen(SimHandle sim);

    std::shared_ptr<CLinuxModem> _modem;
    CHandleSet _handles;
};

}  // namespace platform::lnx
