#include "platform/sim/CSimSoundSettings.h"

#include "platform/PlatformError.h"

namespace platform::sim {

CSimSoundSettings::CSimSoundSettings(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

Result CSimSoundSettings::getSound(uint32_t event, SoundFileInfo& info) {
    info = SoundFileInfo{};
    if (event != SND_EVENT_ALL) {
        return ERROR_INVALID_PARAMETER;
    }
    try {
        CSimPhone::State s = _phone->state();
        info.soundType = s.sound;
        info.fileName = s.soundFile;
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

Result CSimSoundSettings::setSound(uint32_t event, const SoundFileInfo& info, bool /*suppressUi*/) {
    // The simulated phone has no screen to show the change on: suppressing it changes nothing.
    if (event != SND_EVENT_ALL) {
        return ERROR_INVALID_PARAMETER;
    }
    return _phone->setSound(info.soundType, info.fileName);
}

Result CSimSoundSettings::setWaveVolume(uint32_t volume) {
    return _phone->setVolume(volume);
}

Result CSimSoundSettings::getWaveVolume(uint32_t& volume) {
    volume = 0;
    try {
        volume = _phone->state().volume;
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

}  // namespace platform::sim
