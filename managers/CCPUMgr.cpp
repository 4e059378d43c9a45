#include "managers/CCPUMgr.h"

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "platform/IPower.h"
#include "platform/Services.h"

std::atomic<CCPUMgr*> CCPUMgr::_instance{nullptr};

CCPUMgr::CCPUMgr() : CMgr(MGR_CPU) {
    _instance.store(this);
}

CCPUMgr::~CCPUMgr() {
    Stop();
    CCPUMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

const char* CCPUMgr::StateName(int state) {
    switch (static_cast<uint32_t>(state)) {
        case platform::POWER_STATE_ON:
            return "On state";
        case platform::POWER_STATE_OFF:
            return "Off  state";
        case platform::POWER_STATE_CRITICAL:
            return "Critical state";
        case platform::POWER_STATE_BOOT:
            return "Boot state";
        case platform::POWER_STATE_IDLE:
            return "Idle state";
        case platform::POWER_STATE_SUSPEND:
            return "Suspend state";
        case platform::POWER_STATE_RESET:
            return "Reset state";
        default:
            return "unknwon state";
    }
}

bool CCPUMgr::HasStatus(int status) {
    return std::string(StateName(status)) != StateName(-1);
}

void CCPUMgr::ForceStatusChild(int status, int) {
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().power().SetSystemPowerStateEx(static_cast<uint32_t>(status),
                                                                    platform::POWER_FORCE);
    } catch (const std::exception& e) {
        LogFormateado(1, "No power manager: %s", e.what());
    }
    SetLastExecution(r == platform::ERROR_SUCCESS ? 1 : 0);
    if (r == platform::ERROR_SUCCESS) {
        SetStatus(status);
    }
}

std::string& CCPUMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_CPU_NAME");
}

std::string& CCPUMgr::GetNameStatus(int status, std::string& name) {
    return name = StateName(status);
}
