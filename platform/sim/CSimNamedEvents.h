#pragma once

#include <memory>

#include "platform/INamedEvents.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// Named events of the simulated phone. The backlight driver waits on kBacklightChanged: when it is
// signalled the driver takes the levels of the backlight settings in the registry
// (CSimPhone::kBacklightKey) as the phone's backlight. Other events have nobody waiting on them.
class CSimNamedEvents : public INamedEvents {
  public:
    static constexpr const char* kBacklightChanged = "BackLightChangeEvent";

    explicit CSimNamedEvents(std::shared_ptr<CSimPhone> phone);

    // ERROR_INVALID_PARAMETER for an empty name; the driver's result for the backlight's event.
    Result signal(const std::string& name) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
};

}  // namespace platform::sim
