#pragma once

#include <memory>

#include "platform/ISystemInfo.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// What the simulated phone says about itself (its model text and system version, from its state)
// and its alert sound, which it counts.
class CSimSystemInfo : public ISystemInfo {
  public:
    explicit CSimSystemInfo(std::shared_ptr<CSimPhone> phone);

    // ERROR_READ_FAULT when the phone's state cannot be read.
    Result oemInfo(std::string& text) override;
    Result osVersion(uint32_t& major, uint32_t& minor) override;
    void messageBeep(uint32_t type) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
};

}  // namespace platform::sim
