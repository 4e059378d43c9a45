#include "managers/CBandMgr.h"

#include <vector>

#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/ILocationEngine.h"
#include "platform/IRadioInterface.h"
#include "platform/Services.h"

std::atomic<CBandMgr*> CBandMgr::_instance{nullptr};

namespace {

constexpr auto kLocalMachine = platform::RegRoot::LocalMachine;
constexpr int kSeverityDebug = 1;
constexpr int kSeverityError = 3;

void WaitCursor(bool wait) {
    IMainPanel::With([wait](IMainPanel& panel) { panel.SetWaitCursor(wait); });
}

bool FamilyNeedsBandCommand() {
    CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance();
    return phone && phone->IsChangeBandNewSystem();
}

}  // namespace

CBandMgr::CBandMgr() : CMgr(MGR_BAND) {
    _instance.store(this);
}

CBandMgr::~CBandMgr() {
    if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance()) {
        phone->RemoveStatusListener(this);
    }
    Stop();
    CloseLine();
    CBandMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

long CBandMgr::GetRegistryBand() {
    uint32_t value = 0;
    if (platform::Services::get().registry().getDword(kLocalMachine, kBandKey, kBandValue, value) !=
        platform::ERROR_SUCCESS) {
        return -1;
    }
    return static_cast<long>(value);
}

void CBandMgr::SetRegistryBand(long band) {
    platform::Services::get().registry().setDword(kLocalMachine, kBandKey, kBandValue,
                                                  static_cast<uint32_t>(band));
}

int CBandMgr::MappedRegistryBand() {
    long band = GetRegistryBand();
    return band >= 0 && band <= 2 ? static_cast<int>(band) : kStatusUnknown;
}

void CBandMgr::Initialize() {
    _instance.store(this);
    if (ConfigChar() == '0') {
        SetStatus(kStatusUnknown);
        return;
    }
    SetStatus(MappedRegistryBand());
    OpenLine();
}

void CBandMgr::RefreshStatusChild(int) {
    SetStatus(MappedRegistryBand());
}

void CBandMgr::StatusChanged(int, int, int) {
    RefreshStatus(0);
}

void CBandMgr::ForceStatusChild(int status, int) {
    SetLastExecution(0);
    if (status == 1) {
        manualChangeOfBand = 0;
    }
    const long stored = GetRegistryBand();
    if (GetStatus() == kStatusUnknown) {
        return;  // the band cannot be read: no change
    }
    if (resetInProgress.load()) {
        const uint32_t running = platform::Services::get().clock().tickCount() - resetStartedTick.load();
        if (running < kResetGiveUpMs) {
            LogFormateado(1, "Hay un rest en curso");
            CLogMgr::Log(GetMgrId(), kSeverityDebug,
                         CTextsMgr::Text("EVENT_LOG_MGR_BAND_RESET_RUNNING_RESUME"),
                         CTextsMgr::Text("EVENT_LOG_MGR_BAND_RESET_RUNNING_DESCRIPTION"));
            return;
        }
        // A reset whose replies never came: given up, so that the band can be changed again.
        LogFormateado(1, "band reset of %u ms given up", running);
        ResetCurrentOperation();
    }
    if (status < 0 || status > 2) {
        return;
    }
    if (!manualChangeOfBand.load() && stored == status) {
        return;  // already stored
    }
    if (status == 1) {
        ClearTimeLimitNotification(-1);
    }
    WaitCursor(true);
    SetRegistryBand(status);
    ResetRadio();
    WaitCursor(false);
}

void CBandMgr::SetMaxPower() {
    ForceStatus(2, 0, 0, 0);
}

void CBandMgr::ProcessTimerNotification(int status) {
    manualChangeOfBand = 0;
    ForceStatus(status, 0, 0, 0);
}

void CBandMgr::LineError(const char* text) {
    CLogMgr::Log(GetMgrId(), kSeverityError, text, text);
}

bool CBandMgr::Started(long request, const char* error) {
    if (request < 0) {
        LineError(error);
        ResetCurrentOperation();
        return false;
    }
    return true;
}

void CBandMgr::ResetRadio() {
    std::lock_guard lock(_requestLock);
    if (resetInProgress.exchange(1)) {
        LogFormateado(1, "Reset desestimado porque hay otro reset en curso");
        return;
    }
    resetStartedTick = platform::Services::get().clock().tickCount();
    turnOnAfterOff = 1;
    auto& telephony = platform::Services::get().telephony();
    if (FamilyNeedsBandCommand()) {
        long id = telephony.unregisterFromNetwork(lineHandle.load());
        unregisterRequest = id;
        Started(id, "Error unregistering radio");
        return;
    }
    RequestOff();
}

void CBandMgr::RequestOff() {
    std::lock_guard lock(_requestLock);
    long id = platform::Services::get().telephony().setEquipmentState(lineHandle.load(),
                                                                      platform::LINEEQUIPSTATE_MINIMUM);
    offRequest = id;
    Started(id, "Error turning off radio");
}

void CBandMgr::ResetCurrentOperation() {
    turnOnAfterOff = -1;
    // A reset that ended, whatever its outcome, no longer holds back the next band change.
    resetInProgress = 0;
    GetHandleFinishOperation().Set();
    SetLastExecution(2);
}

void CBandMgr::HandleCommandChild(int command, int) {
    if (command != kCommandBandCommand) {
        return;
    }
    // The maker's radio command with the stored band, on the location engine's connection.
    std::vector<uint8_t> data(kBandCommandSize, 0);
    const uint32_t words[] = {kBandCommand, 2, 1, static_cast<uint32_t>(GetRegistryBand())};
    for (size_t w = 0; w < 4; ++w) {
        for (size_t b = 0; b < 4; ++b) {
            data[w * 4 + b] = static_cast<uint8_t>(words[w] >> (8 * b));
        }
    }
    platform::RilHandle ril = 0;
    if (auto* engine = dynamic_cast<ILocationEngine*>(CMgr::GetMgr(MGR_RIL))) {
        ril = engine->GetRilHandle();
    }
    try {
        if (ril == 0 || platform::Services::get().radioInterface().devSpecific(ril, data) < 0) {
            LogFormateado(1, "the band command could not be sent to the radio");
        }
    } catch (const std::exception& e) {
        LogFormateado(1, "No radio interface: %s", e.what());
    }
    platform::Services::get().clock().sleep(kBandCommandWaitMs);
    RequestOff();
}

void CBandMgr::LineCallback(uint32_t, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t param2,
                            uintptr_t) {
    if (message != platform::LINE_REPLY) {
        return;
    }
    const long request = static_cast<long>(static_cast<intptr_t>(param1));
    const bool ok = param2 == 0;
    if (request <= 0) {
        return;
    }
    std::unique_lock lock(_requestLock);
    auto& telephony = platform::Services::get().telephony();
    if (request == unregisterRequest.load()) {
        unregisterRequest = 0;
        if (!ok) {
            LineError("Error unregistering radio");
            ResetCurrentOperation();
            return;
        }
        // The maker's command and its wait run on the worker, not on the line's callback thread,
        // which every line of the phone shares.
        if (!PostCommand(kCommandBandCommand, kNoTimeLimit, nullptr)) {
            RequestOff();
        }
    } else if (request == offRequest.load()) {
        offRequest = 0;
        if (!ok) {
            LineError("Error turning off radio");
            ResetCurrentOperation();
            return;
        }
        long id = telephony.setEquipmentState(lineHandle.load(), platform::LINEEQUIPSTATE_FULL);
        onRequest = id;
        Started(id, "Error turning on radio");
    } else if (request == onRequest.load()) {
        onRequest = 0;
        if (!ok) {
            LineError("Error turning on radio");
            ResetCurrentOperation();
            return;
        }
        lock.unlock();  // the SIM check may wait for the user
        if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance()) {
            phone->CheckSimBlock();
        }
        std::lock_guard again(_requestLock);
        long id = telephony.registerOnNetwork(lineHandle.load());
        registerRequest = id;
        Started(id, "Error registering line");
    } else if (request == registerRequest.load()) {
        registerRequest = 0;
        if (!ok) {
            LineError("Error registering");
            ResetCurrentOperation();
            return;
        }
        lock.unlock();
        if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance()) {
            if (phone->IsChangeBandNewSystem()) {
                phone->CloseLine();
                phone->OpenLine();
            }
            phone->CheckSimBlock();
        }
        ResetCurrentOperation();
    }
}

void CBandMgr::OpenLine() {
    std::lock_guard lock(_lineLock);
    if (lineHandle.load() != 0) {
        return;
    }
    platform::LineHandle line = 0;
    auto callback = [this](uint32_t device, uint32_t message, uintptr_t instance, uintptr_t p1, uintptr_t p2,
                           uintptr_t p3) { LineCallback(device, message, instance, p1, p2, p3); };
    try {
        if (platform::Services::get().telephony().openLine(0, platform::LINE_API_VERSION, 0,
                                                           platform::LINE_PRIVILEGE_NONE, callback,
                                                           line) == platform::ERROR_SUCCESS) {
            lineHandle = line;
        }
    } catch (const std::exception& e) {
        LogFormateado(1, "No telephony line: %s", e.what());
    }
}

void CBandMgr::CloseLine() {
    std::lock_guard lock(_lineLock);
    if (platform::LineHandle line = lineHandle.exchange(0)) {
        platform::Services::get().telephony().closeLine(line);
    }
}

std::string& CBandMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_BAND_NAME");
}

std::string& CBandMgr::GetNameStatus(int status, std::string& name) {
    switch (status) {
        case 0:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BAND_STATUS_AUTO");
        case 1:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BAND_STATUS_2G");
        case 2:
            return name = CTextsMgr::Text("EVENT_LOG_MGR_BAND_STATUS_3G");
        default:
            return name = "unknown";
    }
}
