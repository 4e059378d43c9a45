#include "managers/CMobilePhoneMgr.h"

#include <condition_variable>
#include <memory>
#include <vector>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/PinCipher.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "managers/CBandMgr.h"
#include "managers/CNotificationBroker.h"
#include "managers/ILocationEngine.h"
#include "platform/Services.h"

std::atomic<CMobilePhoneMgr*> CMobilePhoneMgr::_instance{nullptr};

namespace {

constexpr auto kLocalMachine = platform::RegRoot::LocalMachine;
constexpr int kSeverityDebug = 1;
constexpr int kSeverityError = 3;
constexpr uint32_t kNoRequest = 0;

// The PIN as the phone keeps it: UTF-16 code units, at most 9.
std::string FitPin(const std::string& pin) {
    std::string units = Utf8ToUtf16Le(pin);
    const size_t maxBytes = (CMobilePhoneMgr::kPinChars - 1) * 2;
    if (units.size() > maxBytes) {
        units.resize(maxBytes);
    }
    return Utf16LeToUtf8(units);
}

// Characters of a PIN in UTF-16 code units.
size_t PinLength(const std::string& pin) {
    return Utf8ToUtf16Le(pin).size() / 2;
}

}  // namespace

CMobilePhoneMgr::CMobilePhoneMgr() : CMgr(MGR_PHONE), modelName(CTextsMgr::Text("UNKNOWN")) {
    _instance.store(this);
    LoadPin("pin", pin);
    LoadPin("pin2", pin2);
}

CMobilePhoneMgr::~CMobilePhoneMgr() {
    UnregisterFromBroker();
    // The worker first: a forced change in progress may still use the line.
    Stop();
    CloseLine();
    if (platform::SimHandle sim = simHandle.exchange(0)) {
        platform::Services::get().sim().close(sim);
    }
    CMobilePhoneMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CMobilePhoneMgr::UnregisterFromBroker() {
    if (!_listening.exchange(false)) {
        return;
    }
    if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
        broker->RemoveNotificationBrokerListener(this);
    }
    for (auto* handle : {&phoneStatusNotification, &batteryNotification}) {
        if (platform::HREGNOTIFY h = handle->exchange(0)) {
            platform::Services::get().registry().closeNotification(h);
        }
    }
}

void CMobilePhoneMgr::LoadPin(const char* name, std::string& field) {
    std::vector<uint8_t> sealed(kPinStoredBytes);
    size_t size = sealed.size();
    try {
        if (!CConfigurationZentrova::GetInstance()->GetBinaryParameter(name, sealed.data(), size) ||
            size == 0) {
            return;
        }
    } catch (const CBaseException&) {
        return;  // no stored PIN
    }
    sealed.resize(size);
    std::string units;
    std::string error;
    if (!Desencriptar(sealed, units, &error)) {
        // Never the PIN itself: only that it could not be read.
        LogFormateado(1, "The stored %s cannot be deciphered: %s", name, error.c_str());
        return;
    }
    std::lock_guard lock(_textLock);
    field = FitPin(Utf16LeToUtf8(units));
}

void CMobilePhoneMgr::StorePin(const char* name, const std::string& value, std::string& field) {
    if (value.empty()) {
        return;
    }
    std::string fitted = FitPin(value);
    std::vector<uint8_t> sealed;
    std::string error;
    if (!Encriptar(Utf8ToUtf16Le(fitted), sealed, &error) ||
        !CConfigurationZentrova::GetInstance()->SetBinaryParameter(name, sealed.data(), sealed.size())) {
        LogFormateado(1, "The %s could not be stored: %s", name, error.c_str());
    }
    std::lock_guard lock(_textLock);
    field = fitted;
}

void CMobilePhoneMgr::SetPin(const std::string& value) {
    StorePin("pin", value, pin);
}

void CMobilePhoneMgr::SetPin2(const std::string& value) {
    StorePin("pin2", value, pin2);
}

std::string CMobilePhoneMgr::GetPin() const {
    std::lock_guard lock(_textLock);
    return pin;
}

std::string CMobilePhoneMgr::GetPin2() const {
    std::lock_guard lock(_textLock);
    return pin2;
}

std::string CMobilePhoneMgr::GetModelName() const {
    std::lock_guard lock(_textLock);
    return modelName;
}

bool CMobilePhoneMgr::IsChangeBandNewSystem() const {
    std::string model = GetModelName();
    return model == "Kaiser" || model == "Polaris";
}

void CMobilePhoneMgr::Initialize() {
    _instance.store(this);
    auto& services = platform::Services::get();
    platform::SimHandle sim = 0;
    try {
        if (services.sim().open(sim) == platform::ERROR_SUCCESS) {
            simHandle = sim;
        }
    } catch (const std::exception& e) {
        LogFormateado(1, "No SIM services: %s", e.what());
    }
    if (ConfigChar() == '0') {
        SetStatus(kStatusUnknown);
        return;
    }
    if (CNotificationBroker* broker = CNotificationBroker::GetInstance()) {
        broker->AddNotificationBrokerListener(this);
        _listening = true;
        platform::HREGNOTIFY handle = 0;
        broker->RegisterNotification(kLocalMachine, kPhoneStateKey, kPhoneStatusValue, kRadioOffBit, handle,
                                     0);
        phoneStatusNotification = handle;
        handle = 0;
        broker->RegisterNotification(kLocalMachine, kBatteryKey, kBatteryValue, kAcMask, handle, 0);
        batteryNotification = handle;
    }
    RefreshAcPluggedState();
    try {
        std::string model;
        if (services.systemInfo().oemInfo(model) == platform::ERROR_SUCCESS && !model.empty()) {
            std::lock_guard lock(_textLock);
            modelName = FitBuffer(model, 50);  // 100 bytes of UTF-16
        }
        uint32_t major = 0;
        uint32_t minor = 0;
        soVersion = services.systemInfo().osVersion(major, minor) == platform::ERROR_SUCCESS
                        ? (minor < 2 ? 5 : 6)
                        : 0;
    } catch (const std::exception& e) {
        LogFormateado(1, "No system information: %s", e.what());
    }
    OpenLine();
    CheckSimBlock();
}

long CMobilePhoneMgr::GetGSMStatus() {
    uint32_t value = 0;
    if (platform::Services::get().registry().getDword(kLocalMachine, kPhoneStateKey, kPhoneStatusValue,
                                                      value) != platform::ERROR_SUCCESS) {
        return -1;
    }
    return (value & kRadioOffBit) ? 1 : 0;
}

void CMobilePhoneMgr::RefreshStatusChild(int) {
    // The change itself is logged by RefreshStatus.
    int status = static_cast<int>(GetGSMStatus());
    if (status != GetStatus()) {
        SetStatus(status);
        FireStatusChanged(0);
    }
}

void CMobilePhoneMgr::HandleNotification(platform::HREGNOTIFY notification) {
    if (notification == 0) {
        return;
    }
    if (notification == phoneStatusNotification.load()) {
        RefreshStatus(1);
    } else if (notification == batteryNotification.load()) {
        RefreshAcPluggedState();
    }
}

void CMobilePhoneMgr::RefreshAcPluggedState() {
    platform::PowerStatus power;
    if (platform::Services::get().power().GetPowerStatus(power) != platform::ERROR_SUCCESS) {
        return;
    }
    int plugged = power.acLineStatus == platform::AC_LINE_ONLINE ? 1 : 0;
    if (acPlugged.exchange(plugged) != plugged) {
        FireStatusChanged(1);
    }
}

void CMobilePhoneMgr::SetMaxPower() {
    ForceStatus(0, 0, 0, 0);
}

void CMobilePhoneMgr::ProcessTimerNotification(int status) {
    ForceStatus(status, 0, 0, 0);
}

std::string& CMobilePhoneMgr::GetNameMgr(std::string& name) {
    name = CTextsMgr::Text("EVENT_LOG_MGR_PHONE_NAME");
    return name;
}

std::string& CMobilePhoneMgr::GetNameStatus(int status, std::string& name) {
    name = CTextsMgr::Text(status == 0 ? "EVENT_LOG_MGR_PHONE_STATUS_ON" : "EVENT_LOG_MGR_PHONE_STATUS_OFF");
    return name;
}

void CMobilePhoneMgr::StampOperation() {
    operationSecond = platform::Services::get().clock().localTime().wSecond;
}

void CMobilePhoneMgr::ForceStatusChild(int status, int) {
    SwitchRadio(status, true);
}

void CMobilePhoneMgr::SwitchForPoll(int status) {
    GetHandleFinishOperation().Reset();
    auto message = std::make_unique<CPostArgumentMessage>(status, 0);
    if (PostCommand(kCommandPollSwitch, kNoTimeLimit, message.get(), DiscardAs<CPostArgumentMessage>)) {
        message.release();  // the command handler owns it now
    } else {
        GetHandleFinishOperation().Set();
    }
}

void CMobilePhoneMgr::HandleCommandChild(int command, int status) {
    if (command != kCommandPollSwitch) {
        return;
    }
    // The poll's switch-off often comes while its switch-on is still registering: it waits for
    // that operation to end instead of being dropped as a second one.
    auto& clock = platform::Services::get().clock();
    for (uint32_t waited = 0; IsBlocked() && waited < kSwitchWaitMs; waited += kPollBlockedStepMs) {
        clock.sleep(kPollBlockedStepMs);
    }
    SwitchRadio(status, false);
    RefreshStatus(0);
    GetHandleFinishOperation().Set();
}

void CMobilePhoneMgr::SwitchRadio(int status, bool endsTimeLimit) {
    if (GetStatus() == kStatusNeverRead) {
        SetStatus(static_cast<int>(GetGSMStatus()));
    }
    SetLastExecution(0);
    if (status == GetStatus()) {
        GetHandleFinishOperation().Set();
        return;
    }
    if (IsBlocked()) {
        CLogMgr::Log(GetMgrId(), kSeverityDebug, CTextsMgr::Text("EVENT_LOG_MGR_PHONE_OP_RUNNING_RESUME"),
                     CTextsMgr::Text("EVENT_LOG_MGR_PHONE_OP_RUNNING_DESCRIPTION"));
        GetHandleFinishOperation().Set();
    } else {
        SetBlocked(1);
        StampOperation();
        if (status == 1) {
            // A band chosen by hand holds only while the radio stays on.
            if (CBandMgr* band = CBandMgr::GetInstance()) {
                band->SetManualChangeOfBand(0);
            }
            if (endsTimeLimit) {
                ClearTimeLimitNotification(-1);
            }
            EstablecerRadio(0);
        } else {
            EstablecerRadio(1);
        }
    }
    // Give the radio time to change before the command path reads the status back.
    platform::Services::get().clock().sleep(kSwitchWaitMs);
}

void CMobilePhoneMgr::EstablecerRadioWrapper(int status) {
    StampOperation();
    SetLastExecution(0);
    EstablecerRadio(status == 0 ? 1 : 0);
}

void CMobilePhoneMgr::LineError(const char* message) {
    CLogMgr::Log(GetMgrId(), kSeverityError, message, message);
}

void CMobilePhoneMgr::CheckStarted(long request, const char* error) {
    if (request < 0) {
        LineError(error);
        ResetCurrentOperation();
    }
}

void CMobilePhoneMgr::EstablecerRadio(int on) {
    std::lock_guard lock(_requestLock);
    turnOnAfterOff = on ? 1 : 0;
    SetBlocked(1);
    auto& telephony = platform::Services::get().telephony();
    if (on) {
        long id = telephony.setEquipmentState(lineHandle.load(), platform::LINEEQUIPSTATE_FULL);
        onRequest = id;
        CheckStarted(id, "Error turning on radio");
    } else {
        long id = telephony.setEquipmentState(lineHandle.load(), platform::LINEEQUIPSTATE_MINIMUM);
        offRequest = id;
        CheckStarted(id, "Error turning off radio");
    }
}

void CMobilePhoneMgr::RestartRadio() {
    std::lock_guard lock(_requestLock);
    turnOnAfterOff = 1;
    SetBlocked(1);
    StampOperation();
    long id = platform::Services::get().telephony().unregisterFromNetwork(lineHandle.load());
    unregisterRequest = id;
    CheckStarted(id, "Error unregistering radio");
}

void CMobilePhoneMgr::ResetCurrentOperation() {
    turnOnAfterOff = -1;
    SetBlocked(0);
    GetHandleFinishOperation().Set();
    SetLastExecution(2);
}

void CMobilePhoneMgr::StartRegistration() {
    std::lock_guard lock(_requestLock);
    long id = platform::Services::get().telephony().registerOnNetwork(lineHandle.load());
    registerRequest = id;
    CheckStarted(id, "Error registering line");
}

void CMobilePhoneMgr::LineCallback(uint32_t, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t param2,
                                   uintptr_t) {
    if (message != platform::LINE_REPLY) {
        return;
    }
    const long request = static_cast<long>(static_cast<intptr_t>(param1));
    const bool ok = param2 == 0;
    if (request <= 0) {
        return;
    }
    // Waits for a request whose id is still being kept: its reply may come first.
    std::unique_lock lock(_requestLock);
    auto& telephony = platform::Services::get().telephony();
    if (request == unregisterRequest.load()) {
        unregisterRequest = kNoRequest;
        if (!ok) {
            LineError("Error unregistering radio");
            ResetCurrentOperation();
            return;
        }
        // The serving cell is lost with the radio: the location engine forgets it.
        if (auto* engine = dynamic_cast<ILocationEngine*>(CMgr::GetMgr(MGR_RIL))) {
            engine->SetLocation(0);
        }
        long id = telephony.setEquipmentState(lineHandle.load(), platform::LINEEQUIPSTATE_MINIMUM);
        offRequest = id;
        CheckStarted(id, "Error turning off radio");
    } else if (request == offRequest.load()) {
        offRequest = kNoRequest;
        if (!ok) {
            LineError("Error turning off radio");
            ResetCurrentOperation();
        } else if (turnOnAfterOff.load() > 0) {
            long id = telephony.setEquipmentState(lineHandle.load(), platform::LINEEQUIPSTATE_FULL);
            onRequest = id;
            CheckStarted(id, "Error turning on radio");
        } else {
            ResetCurrentOperation();
        }
    } else if (request == onRequest.load()) {
        onRequest = kNoRequest;
        if (!ok) {
            ResetCurrentOperation();
            return;
        }
        // The SIM check may show a box and waits for the SIM: never with the request lock held,
        // or every other request of the line would wait for the user.
        lock.unlock();
        CheckSimBlock();
        StartRegistration();
    } else if (request == registerRequest.load()) {
        registerRequest = kNoRequest;
        if (!ok) {
            LineError("Error registering");
        }
        ResetCurrentOperation();
    }
}

void CMobilePhoneMgr::OpenLine() {
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

void CMobilePhoneMgr::CloseLine() {
    std::lock_guard lock(_lineLock);
    if (platform::LineHandle line = lineHandle.exchange(0)) {
        platform::Services::get().telephony().closeLine(line);
    }
}

void CMobilePhoneMgr::CheckSimBlock() {
    platform::SimHandle sim = simHandle.load();
    if (sim == 0) {
        return;
    }
    auto& simServices = platform::Services::get().sim();
    uint32_t state = 0;
    if (simServices.getLockedState(sim, state) != platform::ERROR_SUCCESS ||
        state != platform::SIM_LOCKEDSTATE_SIM_PIN) {
        return;
    }
    platform::Result rc = simServices.unlock(sim, GetPin());
    if (rc != platform::ERROR_SUCCESS) {
        ProcesarError(CTextsMgr::Text("ERROR UNLOCKING").c_str());
        bool wrong = rc == platform::SIM_E_INCORRECTPASSWORD;
        if (wrong) {
            std::string second = GetPin2();
            if (PinLength(second) >= 4) {
                rc = simServices.unlock(sim, second);
                wrong = rc == platform::SIM_E_INCORRECTPASSWORD;
            }
            if (wrong) {
                // Both PINs refused: tell the owner and leave the PIN prompt on screen.
                platform::Services::get().systemInfo().messageBeep(platform::MB_ICONEXCLAMATION);
                Vibrate(1000);
                StartRegistration();
                return;
            }
        }
    }
    if (simServices.isPinPromptShown()) {
        simServices.closePinPrompt();
    }
    StartRegistration();
}

void CMobilePhoneMgr::Vibrate(int milliseconds) {
    auto& services = platform::Services::get();
    services.power().SetLed(kVibratorLed, true);
    services.clock().sleep(static_cast<uint32_t>(milliseconds > 0 ? milliseconds : 0));
    services.power().SetLed(kVibratorLed, false);
}

void CMobilePhoneMgr::Test() {
    auto& telephony = platform::Services::get().telephony();
    std::mutex m;
    std::condition_variable replied;
    long waiting = 0;
    bool answered = false;
    platform::LineHandle line = 0;
    auto callback = [&](uint32_t, uint32_t message, uintptr_t, uintptr_t p1, uintptr_t, uintptr_t) {
        std::lock_guard lock(m);
        if (message == platform::LINE_REPLY && static_cast<long>(p1) == waiting) {
            answered = true;
            replied.notify_all();
        }
    };
    if (telephony.openLine(0, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE, callback, line) !=
        platform::ERROR_SUCCESS) {
        return;
    }
    for (int round = 0; round < kTestRounds; ++round) {
        std::unique_lock lock(m);
        answered = false;
        waiting = telephony.setEquipmentState(
            line, round % 2 == 0 ? platform::LINEEQUIPSTATE_FULL : platform::LINEEQUIPSTATE_MINIMUM);
        if (waiting < 0) {
            break;
        }
        replied.wait(lock, [&] { return answered; });
    }
    telephony.closeLine(line);
}
