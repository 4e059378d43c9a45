#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Thrown when a platform service cannot be set up at all (for instance a database file that is
// not a database, or a home folder that cannot be written). The message names the file and the
// problem so that a tool can print it as it stands.
class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace platform
