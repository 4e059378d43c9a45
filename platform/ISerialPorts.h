#pragma once

#include <memory>
#include <string>

#include "platform/ErrorCodes.h"
#include "platform/ISerialPort.h"

namespace platform {

// The phone's serial ports, named "COM1:" to "COM9:".
class ISerialPorts {
  public:
    virtual ~ISerialPorts() = default;
    // Opens a port for reading, in raw mode, with its pending input discarded.
    // ERROR_INVALID_PARAMETER for a name that is not a port name, ERROR_FILE_NOT_FOUND for a port
    // the phone does not have, ERROR_ACCESS_DENIED when the device may not be opened,
    // ERROR_NOT_SUPPORTED when the device is not a serial line.
    virtual Result open(const std::string& name, std::unique_ptr<ISerialPort>& port) = 0;
};

}  // namespace platform
