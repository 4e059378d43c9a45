#pragma once

#include <memory>

#include "platform/IRegistry.h"
#include "platform/IShell.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The shell of the simulated phone. Opening a file starts nothing: the phone records the file as
// "last_opened" in its state, where zentrova-device status and tests read it. The ring tone is
// kept as "ring_tone" in the phone's state and, as the sound settings of the phone keep it, as
// the value "Sound" under HKEY_CURRENT_USER "ControlPanel\Sounds\RingTone0".
class CSimShell : public IShell {
  public:
    static constexpr const char* kLastOpened = "last_opened";
    static constexpr const char* kRingTone = "ring_tone";
    static constexpr const char* kRingToneKey = "ControlPanel\\Sounds\\RingTone0";
    static constexpr const char* kRingToneSound = "Sound";

    // The registry must outlive the shell.
    CSimShell(std::shared_ptr<CSimPhone> phone, IRegistry& registry);

    // Only the verb "Open" (in any case) is known. A file is a path of this machine; folders open
    // too. ERROR_WRITE_FAULT when the phone cannot record the file.
    Result openFile(const std::string& verb, const std::string& file) override;
    // The file must exist. The result of the registry write when that fails.
    Result setRingTone(const std::string& soundFile) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
    IRegistry& _registry;
};

}  // namespace platform::sim
