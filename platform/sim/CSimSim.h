#pragma once

#include <memory>

#include "platform/CHandleSet.h"
#include "platform/ISim.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The SIM of the simulated phone and the platform's PIN prompt. Locking the SIM (from outside, for
// instance with zentrova-device) shows the prompt; the SIM opens with the PIN stored in the
// phone's state.
class CSimSim : public ISim {
  public:
    explicit CSimSim(std::shared_ptr<CSimPhone> phone);

    Result open(SimHandle& sim) override;
    // ERROR_INVALID_HANDLE for a handle that is not open (so for the others below).
    Result close(SimHandle sim) override;
    // ERROR_READ_FAULT when the phone's state cannot be read.
    Result getLockedState(SimHandle sim, uint32_t& state) override;
    Result unlock(SimHandle sim, const std::string& pin) override;
    // An unreadable state counts as no prompt.
    bool isPinPromptShown() override;
    void closePinPrompt() override;

  private:
    bool isOpen(SimHandle sim);

    std::shared_ptr<CSimPhone> _phone;
    CHandleSet _handles;
};

}  // namespace platform::sim
