#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/IRegistry.h"
#include "platform/ISoundSettings.h"

namespace platform::lnx {

// The sound settings over the user's sound server (PulseAudio, or PipeWire's pulse service),
// through libpulse on a threaded main loop of its own; every request waits at most the timeout.
//
// The wave-output volume is the volume of the server's default sink: the low 16 bits set the
// left-hand channels, the high 16 bits the right-hand ones (0xFFFF is the sink's 100 %); a value
// with nothing in the high word (the speaker manager's single level) sets every channel alike.
// Channels that are neither left nor right (mono, centre, LFE) take the mean of the two.
//
// The desktop has no service for a phone's sound profile, so the profile maps onto the default
// sink's mute: sounds on and a sound file unmute it, vibrate and none mute it (a laptop has no
// vibration motor: vibrate is as quiet as none). The chosen type and file are kept in the registry
// (HKEY_CURRENT_USER kProfileKey) so that the profile reads back as it was set; when the sink's
// mute was changed outside the program the reading follows the sink (muted: none or the stored
// vibrate; unmuted: on or the stored file).
class CLinuxSoundSettings : public ISoundSettings {
  public:
    static constexpr const char* kProfileKey = "Software\\Zentrova\\Linux\\Sound";
    static constexpr int kDefaultTimeoutMs = 5000;

    // The registry must outlive the object. Connects to the server named by the environment
    // (PULSE_SERVER) or the user's own, without starting one; a failure is kept in
    // unavailableReason() and the calls try again.
    explicit CLinuxSoundSettings(IRegistry& registry, int timeoutMs = kDefaultTimeoutMs);
    ~CLinuxSoundSettings() override;
    CLinuxSoundSettings(const CLinuxSoundSettings&) = delete;
    CLinuxSoundSettings& operator=(const CLinuxSoundSettings&) = delete;

    // ERROR_READ_FAULT / ERROR_WRITE_FAULT when the server cannot be reached or has no default
    // sink, ERROR_TIMEOUT when it does not answer in time.
    Result getSound(uint32_t event, SoundFileInfo& info) override;
    Result setSound(uint32_t event, const SoundFileInfo& info, bool suppressUi) override;
    Result setWaveVolume(uint32_t volume) override;
    Result getWaveVolume(uint32_t& volume) override;

    // Empty while the server answers; else a line naming it and what went wrong.
    std::string unavailableReason() const;

    // The sink volumes (PA_VOLUME_NORM is 100 %) for a wave volume over channels at the server's
    // positions (pa_channel_position_t values), and back.
    static std::vector<uint32_t> sinkVolumes(uint32_t wave, const std::vector<int>& positions);
    static uint32_t waveVolume(const std::vector<uint32_t>& volumes, const std::vector<int>& positions);
    // The profile read from the sink's mute and the stored profile.
    static uint32_t profileOf(bool muted, uint32_t stored);

  private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
    IRegistry& _registry;
};

}  // namespace platform::lnx
