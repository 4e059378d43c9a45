#pragma once

#include <cstdint>
#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

// Sound events of the shell's sound settings; 0 is every sound of the phone.
inline constexpr uint32_t SND_EVENT_ALL = 0;
// Sound types of a sound-file record.
inline constexpr uint32_t SND_SOUNDTYPE_ON = 0;
inline constexpr uint32_t SND_SOUNDTYPE_FILE = 1;
inline constexpr uint32_t SND_SOUNDTYPE_VIBRATE = 2;
inline constexpr uint32_t SND_SOUNDTYPE_NONE = 3;

// The sound-file record of the shell's sound settings.
struct SoundFileInfo {
    std::string fileName;  // the sound file, for SND_SOUNDTYPE_FILE
    uint32_t soundType = SND_SOUNDTYPE_ON;
};

// The phone's sound settings: the sound profile (sounds on, vibrate only, none, or a sound file)
// and the volume of the wave output.
class ISoundSettings {
  public:
    virtual ~ISoundSettings() = default;
    // The profile of `event`. ERROR_INVALID_PARAMETER for an event the phone does not have.
    virtual Result getSound(uint32_t event, SoundFileInfo& info) = 0;
    // Sets the profile of `event`; with `suppressUi` the phone shows nothing while it changes.
    // ERROR_INVALID_PARAMETER for an unknown event or sound type, or a file type without a file.
    virtual Result setSound(uint32_t event, const SoundFileInfo& info, bool suppressUi) = 0;
    // The wave-output volume: left channel in the low 16 bits, right in the high 16 bits.
    virtual Result setWaveVolume(uint32_t volume) = 0;
    virtual Result getWaveVolume(uint32_t& volume) = 0;
};

}  // namespace platform
