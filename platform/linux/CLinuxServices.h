#pragma once

#include <filesystem>
#include <memory>

#include "platform/Services.h"

namespace platform::lnx {

// Builds the Linux backend's services: the program's settings in the SQLite registry of the home
// (as on the simulated phone), the system clock, and every device over the system's own services
// on the message bus (ModemManager, NetworkManager, BlueZ, UPower, logind, the systemd user
// instance, the sound server). A service that is absent or refuses does not stop the set-up: its
// part reports the device as unavailable and Services::unavailable() names it.
class CLinuxServices {
  public:
    // Needs a Qt core application object in the process (the bus connections). Throws
    // PlatformError when a file of the home cannot be used.
    static std::unique_ptr<Services> Create(const std::filesystem::path& home, Services::Role role);
};

}  // namespace platform::lnx
