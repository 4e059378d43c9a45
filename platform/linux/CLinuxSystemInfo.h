#pragma once

#include <filesystem>
#include <string>

#include "platform/ISystemInfo.h"

namespace platform::lnx {

// What a Linux machine says about itself. The model text is the firmware's product name (DMI,
// /sys/class/dmi/id, after its maker's name when the product name does not start with it), or
// the device tree's model on a phone without DMI, or else the system's PRETTY_NAME from
// os-release. The version is the running kernel's release (as uname gives it: "6.1.0-13" is 6.1). Alert
// sounds are left to the desktop: messageBeep does nothing (the sound server plays no bell of its own unless
// a sample was loaded into it, which a desktop may not have done).
class CLinuxSystemInfo : public ISystemInfo {
  public:
    // `root` is the folder the system's files are read under ("/" on the machine; a test's tree).
    explicit CLinuxSystemInfo(std::filesystem::path root = "/");

    // ERROR_NOT_FOUND when the machine names itself nowhere.
    Result oemInfo(std::string& text) override;
    // ERROR_READ_FAULT when the kernel's release cannot be read.
    Result osVersion(uint32_t& major, uint32_t& minor) override;
    void messageBeep(uint32_t type) override;

    // The major and minor number at the start of a kernel release text; false when it has none.
    static bool parseRelease(const std::string& release, uint32_t& major, uint32_t& minor);
    // The value of one variable of an os-release text (quotes and escapes taken off).
    static std::string osReleaseValue(const std::string& text, const std::string& name);

  private:
    std::filesystem::path _root;
};

}  // namespace platform::lnx
