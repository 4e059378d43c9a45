#pragma once

#include <filesystem>
#include <memory>

#include "platform/Services.h"

namespace platform::sim {

// Builds the services of the simulated phone: every platform interface over the state kept in a
// home folder. This is the default backend; another backend would be a sibling folder with its
// own factory.
class CSimServices {
  public:
    // The simulated phone of `home`. Creates the home's folders. Throws PlatformError when a file
    // of the home cannot be used, or when ZENTROVA_CLOCK_SPEED (read by the program only) is not
    // a positive number.
    // The phone's GPS receiver (a pseudo-terminal on a serial port) is plugged in for the program;
    // a tool has none unless `gpsReceiver` asks for it (tests that read it).
    static std::unique_ptr<Services> Create(const std::filesystem::path& home, Services::Role role);
    static std::unique_ptr<Services> Create(const std::filesystem::path& home, Services::Role role,
                                            bool gpsReceiver);
};

}  // namespace platform::sim
