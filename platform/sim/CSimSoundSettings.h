#pragma once

#include <memory>

#include "platform/ISoundSettings.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The sound settings of the simulated phone: one profile for every sound (SND_EVENT_ALL), kept in
// the phone's state as "sound" (on, vibrate, none, or file with "sound_file"), and the wave-output
// volume as "volume". zentrova-device sound ... changes the profile from outside the program.
class CSimSoundSettings : public ISoundSettings {
  public:
    explicit CSimSoundSettings(std::shared_ptr<CSimPhone> phone);

    // ERROR_READ_FAULT when the phone's state cannot be read.
    Result getSound(uint32_t event, SoundFileInfo& info) override;
    Result setSound(uint32_t event, const SoundFileInfo& info, bool suppressUi) override;
    Result setWaveVolume(uint32_t volume) override;
    Result getWaveVolume(uint32_t& volume) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
};

}  // namespace platform::sim
