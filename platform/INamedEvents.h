#pragma once

#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

// Named events that programs and drivers of the phone share: a program signals one to tell
// whoever waits on it that something changed.
class INamedEvents {
  public:
    virtual ~INamedEvents() = default;
    // Creates the event `name` (or opens it when it exists), sets it and closes the handle again.
    virtual Result signal(const std::string& name) = 0;
};

}  // namespace platform
