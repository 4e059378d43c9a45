#pragma once

#include <cstdint>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

inline constexpr uint32_t MB_ICONEXCLAMATION = 48;

// What the phone says about itself, and its alert sounds.
class ISystemInfo {
  public:
    virtual ~ISystemInfo() = default;
    // The maker's model text.
    virtual Result oemInfo(std::string& text) = 0;
    virtual Result osVersion(uint32_t& major, uint32_t& minor) = 0;
    virtual void messageBeep(uint32_t type) = 0;
};

}  // namespace platform
