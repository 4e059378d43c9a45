#pragma once

#include <string>

#include "platform/IRegistry.h"
#include "platform/IShell.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The shell of a Linux desktop. A file opens with the program the desktop chose for it: through
// the desktop portal (org.freedesktop.portal.Desktop, its OpenURI interface's OpenFile, on the
// session bus) where one runs, else through xdg-open found on the PATH, started on its own. The
// ring tone is kept as the phone's sound settings keep it: the value "Sound" under
// HKEY_CURRENT_USER "ControlPanel\Sounds\RingTone0" (the desktop has no ring tone of its own).
class CLinuxShell : public IShell {
  public:
    static constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
    static constexpr const char* kRingToneKey = "ControlPanel\\Sounds\\RingTone0";
    static constexpr const char* kRingToneSound = "Sound";

    // The bus thread and the registry must outlive the shell.
    CLinuxShell(CDBusThread& bus, IRegistry& registry);

    // Only the verb "Open" (in any case) is known; folders open too. ERROR_GEN_FAILURE when
    // neither the portal nor xdg-open could take the file.
    Result openFile(const std::string& verb, const std::string& file) override;
    Result setRingTone(const std::string& soundFile) override;

    // Where the executable `program` is on `path` (a PATH value); empty when on none of its folders.
    static std::string findOnPath(const std::string& program, const std::string& path);

  private:
    // True when the portal took the file.
    bool openWithPortal(const std::string& file);

    CDBusThread& _bus;
    IRegistry& _registry;
};

}  // namespace platform::lnx
