#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/CDeviceHandleTable.h"
#include "platform/IDeviceDrivers.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The device drivers of a Linux machine.
//
// "BKL1:", the backlight: the kernel's first backlight (in name order) under
// <sysfs>/class/backlight, its "brightness" and "max_brightness" files. The program's levels 0 to
// kMaxLevel map onto 0 to max_brightness. Code kBacklightSet sets the brightness from the 16-bit
// level of its input (2 bytes; above kMaxLevel the brightest); kBacklightApply does the same and
// writes the level the screen has now into the output (4 bytes). The brightness is set through
// logind's SetBrightness on the caller's own session, which needs no root; reading is from sysfs.
//
// The sysfs root is /sys, or the folder the environment variable kSysfsRootVariable names (tests
// give a folder of their own). "OBX0:", the infrared receiver, and every other device are not
// there (ERROR_FILE_NOT_FOUND).
class CLinuxDeviceDrivers : public IDeviceDrivers {
  public:
    static constexpr const char* kBacklightDevice = "BKL1:";
    static constexpr uint32_t kBacklightSet = 7;
    static constexpr uint32_t kBacklightApply = 8;
    static constexpr uint32_t kMaxLevel = 10;
    static constexpr const char* kSysfsRootVariable = "ZENTROVA_SYSFS_ROOT";
    static constexpr const char* kLogind = "org.freedesktop.login1";
    static constexpr const char* kSessionPath = "/org/freedesktop/login1/session/auto";

    explicit CLinuxDeviceDrivers(CDBusThread& bus);

    // ERROR_FILE_NOT_FOUND for a device the machine does not have (no backlight in sysfs).
    Result open(const std::string& device, uint32_t access, DeviceHandle& handle) override;
    // ERROR_INVALID_HANDLE for a handle that is not open; ERROR_INVALID_PARAMETER for another code
    // or an input under 2 bytes; ERROR_INSUFFICIENT_BUFFER for an apply with less than 4 bytes of
    // output; ERROR_ACCESS_DENIED when logind refuses for want of permission, ERROR_GEN_FAILURE when
    // it cannot be reached or refuses otherwise, ERROR_READ_FAULT when sysfs cannot be read.
    Result ioControl(DeviceHandle handle, uint32_t code, const std::vector<uint8_t>& input,
                     std::vector<uint8_t>& output, uint32_t& returned) override;
    Result close(DeviceHandle handle) override;

    // Empty when the backlight can be read and logind answers, else a line saying what is missing.
    std::string unavailableReason() const;
    // The backlight's sysfs folder (empty without one).
    std::filesystem::path backlightFolder() const { return _folder; }

    // The raw brightness for a level and the level for a raw brightness, on a scale of `max`.
    static uint32_t rawOf(uint32_t level, uint32_t max);
    static uint32_t levelOf(uint32_t raw, uint32_t max);

  private:
    // A number from a file of the backlight's folder; nullopt when it cannot be read.
    std::optional<uint32_t> readNumber(const char* file) const;

    CDBusThread& _bus;
    std::filesystem::path _folder;
    std::string _reason;
    CDeviceHandleTable _handles;
};

}  // namespace platform::lnx
