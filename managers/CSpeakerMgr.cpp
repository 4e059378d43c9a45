#include "managers/CSpeakerMgr.h"

#include "core/CPeriodicThread.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "platform/ISoundSettings.h"
#include "platform/Services.h"

std::atomic<CSpeakerMgr*> CSpeakerMgr::_instance{nullptr};

CSpeakerMgr::CSpeakerMgr() : CMgr(MGR_SPEAKER) {
    _instance.store(this);
    SetStatus(2);
    _polling = std::make_unique<CPeriodicThread>(kPollMs, [this] { RefreshStatus(0); });
}

CSpeakerMgr::~CSpeakerMgr() {
    _polling->Stop();
    Stop();
    CSpeakerMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

uint32_t CSpeakerMgr::VolumeOfLevel(unsigned int level) {
    return ((level * 51) % 256) * 257;
}

void CSpeakerMgr::SetSound(unsigned short value) {
    platform::Services::get().sound().setWaveVolume(VolumeOfLevel(value));
}

void CSpeakerMgr::ForceStatusChild(int status, int) {
    platform::SoundFileInfo info;
    switch (status) {
        case 2:
            ClearTimeLimitNotification(-1);
            info.soundType = platform::SND_SOUNDTYPE_ON;
            break;
        case 1:
            info.soundType = platform::SND_SOUNDTYPE_VIBRATE;
            break;
        case 0:
            info.soundType = platform::SND_SOUNDTYPE_NONE;
            break;
        default:
            return;
    }
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().sound().setSound(platform::SND_EVENT_ALL, info, true);
        if (status == 2 && level.load() > 0) {
            SetSound(static_cast<unsigned short>(level.load()));
        }
    } catch (const std::exception& e) {
        LogFormateado(1, "No sound settings: %s", e.what());
    }
    LogFormateado(1, r == platform::ERROR_SUCCESS ? "Exito" : "Fracaso");
    SetLastExecution(r == platform::ERROR_SUCCESS ? 1 : 0);
}

void CSpeakerMgr::RefreshStatusChild(int) {
    platform::SoundFileInfo info;
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().sound().getSound(platform::SND_EVENT_ALL, info);
    } catch (const std::exception& e) {
        LogFormateado(1, "No sound settings: %s", e.what());
    }
    if (r != platform::ERROR_SUCCESS) {
        // No sound settings to read (a phone without its sound service): the state is unknown.
        LogFormateado(1, "Fracaso");
        SetStatus(kStatusUnknown);
        return;
    }
    switch (info.soundType) {
        case platform::SND_SOUNDTYPE_ON:
            SetStatus(2);
            break;
        case platform::SND_SOUNDTYPE_NONE:
            SetStatus(0);
            break;
        case platform::SND_SOUNDTYPE_VIBRATE:
            SetStatus(1);
            break;
        default:
            SetStatus(kStatusUnknown);
            break;
    }
}

void CSpeakerMgr::SetMaxPower() {
    ForceStatus(2, 0, 0, 0);
}

void CSpeakerMgr::ProcessTimerNotification(int status) {
    ForceStatus(status, 0, 0, 0);
}

std::string& CSpeakerMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_SPEAKER_NAME");
}

std::string& CSpeakerMgr::GetNameStatus(int status, std::string& name) {
    switch (status) {
        case 2:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_SPEAKER_STATUS_ON");
        case 0:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_SPEAKER_STATUS_OFF");
        case 1:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_SPEAKER_STATUS_VIBRATE");
        default:
            return name = "unknown";
    }
}
