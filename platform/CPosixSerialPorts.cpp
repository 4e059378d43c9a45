#include "platform/CPosixSerialPorts.h"

#include <strings.h>

#include "platform/CPosixSerialPort.h"

namespace platform {

bool CPosixSerialPorts::isPortName(const std::string& name) {
    return name.size() == 5 && strncasecmp(name.c_str(), "COM", 3) == 0 && name[3] >= '1' && name[3] <= '9' &&
           name[4] == ':';
}

Result CPosixSerialPorts::open(const std::string& name, std::unique_ptr<ISerialPort>& port) {
    if (!isPortName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string device;
    if (_registry.getString(RegRoot::LocalMachine, kPortsKey, name, device) != ERROR_SUCCESS ||
        device.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    return CPosixSerialPort::open(device, port);
}

}  // namespace platform
