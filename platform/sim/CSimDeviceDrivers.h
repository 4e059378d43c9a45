#pragma once

#include <memory>
#include <string>

#include "platform/CDeviceHandleTable.h"
#include "platform/IDeviceDrivers.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The device drivers of the simulated phone.
//
// "BKL1:", the backlight: code kBacklightSet sets the brightness the screen has now to the 16-bit
// level of its input (2 bytes; above CSimPhone::kMaxBacklight the brightest); code
// kBacklightApply does the same and writes the brightness now into the output (4 bytes). The phone
// keeps it as "brightness".
//
// "OBX0:", the infrared receiver (opened for reading and writing): kBeamEnable switches it on,
// kBeamDisable off, kBeamSetMode (4-byte input) sets what it receives: non-zero receives every
// beam (on), 0 none (off). The phone keeps it as "beam".
class CSimDeviceDrivers : public IDeviceDrivers {
  public:
    static constexpr const char* kBacklightDevice = "BKL1:";
    static constexpr const char* kBeamDevice = "OBX0:";
    static constexpr uint32_t kBacklightSet = 7;
    static constexpr uint32_t kBacklightApply = 8;
    static constexpr uint32_t kBeamEnable = 0x1040004;
    static constexpr uint32_t kBeamDisable = 0x1040008;
    static constexpr uint32_t kBeamSetMode = 0x1040020;

    explicit CSimDeviceDrivers(std::shared_ptr<CSimPhone> phone);

    // Device names are compared without regard to case. ERROR_ACCESS_DENIED for "OBX0:" without
    // both read and write access.
    Result open(const std::string& device, uint32_t access, DeviceHandle& handle) override;
    Result ioControl(DeviceHandle handle, uint32_t code, const std::vector<uint8_t>& input,
                     std::vector<uint8_t>& output, uint32_t& returned) override;
    Result close(DeviceHandle handle) override;

  private:
    Result backlight(uint32_t code, const std::vector<uint8_t>& input, std::vector<uint8_t>& output,
                     uint32_t& returned);
    Result beam(uint32_t code, const std::vector<uint8_t>& input);

    std::shared_ptr<CSimPhone> _phone;
    CDeviceHandleTable _handles;
};

}  // namespace platform::sim
