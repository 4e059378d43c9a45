#pragma once

#include "platform/ErrorCodes.h"
#include "platform/ISoundSettings.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the SoundSettings part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredSoundSettings : public ISoundSettings {
  public:
    Result getSound(uint32_t, SoundFileInfo&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result setSound(uint32_t, const SoundFileInfo&, bool) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result setWaveVolume(uint32_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result getWaveVolume(uint32_t&) override { return ERROR_SERVICE_NOT_ACTIVE; }
};

}  // namespace platform::lnx
