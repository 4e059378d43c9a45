#pragma once

#include <cstdint>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

using SimHandle = uint32_t;

// Locked states of the SIM.
inline constexpr uint32_t SIM_LOCKEDSTATE_READY = 0;
inline constexpr uint32_t SIM_LOCKEDSTATE_SIM_PIN = 2;  // waiting for the PIN
// Unlocking with a wrong PIN.
inline constexpr Result SIM_E_INCORRECTPASSWORD = static_cast<Result>(0x88000125L);

// The SIM card, and the platform's PIN prompt that is on screen while the SIM waits for its PIN.
class ISim {
  public:
    virtual ~ISim() = default;
    virtual Result open(SimHandle& sim) = 0;
    virtual Result close(SimHandle sim) = 0;
    virtual Result getLockedState(SimHandle sim, uint32_t& state) = 0;
    // SIM_E_INCORRECTPASSWORD for a wrong PIN.
    virtual Result unlock(SimHandle sim, const std::string& pin) = 0;
    // Whether the platform's PIN prompt window is shown, and closing it.
    virtual bool isPinPromptShown() = 0;
    virtual void closePinPrompt() = 0;
};

}  // namespace platform
