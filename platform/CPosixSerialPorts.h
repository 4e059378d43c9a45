#pragma once

#include <string>

#include "platform/IRegistry.h"
#include "platform/ISerialPorts.h"

namespace platform {

// The serial ports of the machine. A port name ("COM1:" to "COM9:") leads to a device through
// the registry: HKEY_LOCAL_MACHINE kPortsKey holds one string value per port, named as the port,
// whose text is the device's path, for example "COM1:" = "/dev/ttyUSB0". A port without a value
// does not exist.
class CPosixSerialPorts : public ISerialPorts {
  public:
    static constexpr const char* kPortsKey = "\\Drivers\\SerialPorts";

    explicit CPosixSerialPorts(IRegistry& registry) : _registry(registry) {}

    // Whether `name` is a port name: "COM", one digit 1 to 9, ":" (any case).
    static bool isPortName(const std::string& name);

    Result open(const std::string& name, std::unique_ptr<ISerialPort>& port) override;

  private:
    IRegistry& _registry;
};

}  // namespace platform
