#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/INamedEvents.h"

namespace platform::lnx {

// Named events on a Linux machine. The system has no shared named events; the events the
// program signals are those its own drivers wait on on the phone (the backlight driver's
// "BackLightChangeEvent": take the backlight settings of the registry). The backend hands in
// what stands for each such driver; an event nobody waits on is set and forgotten, as on the
// phone.
class CLinuxNamedEvents : public INamedEvents {
  public:
    using Waiter = std::function<Result()>;

    // `waiters`: for an event's name, what runs when it is signalled (its result is the signal's).
    explicit CLinuxNamedEvents(std::map<std::string, Waiter> waiters = {});

    // ERROR_INVALID_PARAMETER for an empty name.
    Result signal(const std::string& name) override;

  private:
    const std::map<std::string, Waiter> _waiters;
};

}  // namespace platform::lnx
