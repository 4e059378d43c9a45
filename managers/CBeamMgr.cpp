#include "managers/CBeamMgr.h"

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "platform/Services.h"

std::atomic<CBeamMgr*> CBeamMgr::_instance{nullptr};

CBeamMgr::CBeamMgr() : CMgr(MGR_BEAM) {
    _instance.store(this);
}

CBeamMgr::~CBeamMgr() {
    Stop();
    CBeamMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CBeamMgr::ForceStatusChild(int status, int) {
    if (status != 0 && status != 1) {
        return;
    }
    bool done = SetBeam(status);
    SetLastExecution(done ? 1 : 0);
    if (done) {
        SetStatus(status);
    }
}

bool CBeamMgr::SetBeam(int on) {
    try {
        auto& drivers = platform::Services::get().deviceDrivers();
        platform::DeviceHandle driver = 0;
        if (drivers.open(kDriver, platform::GENERIC_READ | platform::GENERIC_WRITE, driver) !=
            platform::ERROR_SUCCESS) {
            return false;
        }
        std::vector<uint8_t> output;
        uint32_t returned = 0;
        platform::Result r;
        if (on) {
            r = drivers.ioControl(driver, kEnable, {}, output, returned);
            if (r == platform::ERROR_SUCCESS) {
                r = drivers.ioControl(driver, kSetMode, {1, 0, 0, 0}, output, returned);
            }
        } else {
            r = drivers.ioControl(driver, kDisable, {}, output, returned);
        }
        drivers.close(driver);
        return r == platform::ERROR_SUCCESS;
    } catch (const std::exception& e) {
        LogFormateado(1, "Infrared: %s", e.what());
        return false;
    }
}

std::string& CBeamMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_BEAM_NAME");
}

std::string& CBeamMgr::GetNameStatus(int status, std::string& name) {
    switch (status) {
        case 1:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BEAM_STATUS_ON");
        case 0:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BEAM_STATUS_OFF");
        default:
            return name = "unknown";
    }
}
