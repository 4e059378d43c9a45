#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

using DeviceHandle = uint32_t;

inline constexpr uint32_t GENERIC_READ = 0x80000000u;
inline constexpr uint32_t GENERIC_WRITE = 0x40000000u;

// Device drivers reached by their device names ("BKL1:", "OBX0:"): opened, sent control codes
// with an input and an output buffer, and closed.
class IDeviceDrivers {
  public:
    virtual ~IDeviceDrivers() = default;
    // ERROR_FILE_NOT_FOUND for a device the phone does not have.
    virtual Result open(const std::string& device, uint32_t access, DeviceHandle& handle) = 0;
    // Sends `code` with `input`; the driver writes at most output.size() bytes into `output` and
    // tells how many in `returned`. ERROR_INVALID_HANDLE for a handle that is not open,
    // ERROR_INVALID_PARAMETER for a code the driver does not know or a buffer too small for it.
    virtual Result ioControl(DeviceHandle handle, uint32_t code, const std::vector<uint8_t>& input,
                             std::vector<uint8_t>& output, uint32_t& returned) = 0;
    virtual Result close(DeviceHandle handle) = 0;
};

}  // namespace platform
