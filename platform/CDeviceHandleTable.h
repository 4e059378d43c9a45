#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/IDeviceDrivers.h"

namespace platform {

// The open handles of a set of device drivers, each naming the device it was opened on. Handles
// count up from 1 and are never reused; the table is safe to use from several threads.
class CDeviceHandleTable {
  public:
    // A new handle on `device`.
    DeviceHandle open(const std::string& device);
    // ERROR_INVALID_HANDLE for a handle that is not open.
    Result close(DeviceHandle handle);
    // The device the handle is open on; nullopt for a handle that is not open.
    std::optional<std::string> device(DeviceHandle handle);

  private:
    std::mutex _lock;
    std::map<DeviceHandle, std::string> _open;
    DeviceHandle _next = 1;
};

}  // namespace platform
