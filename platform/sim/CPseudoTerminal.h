#pragma once

#include <string>

#include "platform/CUniqueFd.h"

namespace platform::sim {

// A pseudo-terminal whose master side this object holds: what is written to it comes out of the
// slave device (devicePath), as from a serial line. Closing the master (destroying the object)
// hangs the line up: a reader of the slave sees the end of the data.
class CPseudoTerminal {
  public:
    // Throws PlatformError when the system has no pseudo-terminal to give.
    CPseudoTerminal();

    const std::string& devicePath() const { return _path; }
    // Writes without waiting: bytes the line cannot take now (nobody reads the slave) are lost,
    // as on a serial line. Returns the number of bytes written.
    size_t write(const std::string& bytes);
    // The speed the slave side was set to, in baud (0 when unknown).
    uint32_t baudRate() const;

  private:
    CUniqueFd _master;
    std::string _path;
};

}  // namespace platform::sim
