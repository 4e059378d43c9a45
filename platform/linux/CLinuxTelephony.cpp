#include "platform/linux/CLinuxTelephony.h"

#include <climits>

namespace platform::lnx {

namespace {
constexpr uint32_t kFailed = static_cast<uint32_t>(LINEERR_OPERATIONFAILED);
}

CLinuxTelephony::CLinuxTelephony(std::shared_ptr<CLinuxModem> modem)
    : _modem(std::move(modem)), _service(_calls.addOwner()) {
    // A modem found locked could not be switched on yet: unlocking it and registering does, as
    // on a phone whose radio was on when its SIM asked for the PIN.
    _onAfterUnlock = _modem->state().modemState == CLinuxModem::kStateLocked;
}

CLinuxTelephony::~CLinuxTelephony() {
    _calls.shutdown();
}

Result CLinuxTelephony::openLine(uint32_t device, uint32_t /*apiVersion*/, uintptr_t instance,
                                 uint32_t /*privilege*/, LineCallback callback, LineHandle& line) {
    line = 0;
    if (device != 0) {
        return LINEERR_BADDEVICEID;
    }
    if (!callback) {
        return LINEERR_INVALPARAM;
    }
    std::lock_guard lock(_lock);
    line = _nextLine++;
    _lines.emplace(line, Line{std::move(callback), instance, _calls.addOwner()});
    return ERROR_SUCCESS;
}

Result CLinuxTelephony::closeLine(LineHandle line) {
    CLinuxModemWorker::Owner owner;
    {
        std::lock_guard lock(_lock);
        auto it = _lines.find(line);
        if (it == _lines.end()) {
            return LINEERR_INVALLINEHANDLE;
        }
        owner = it->second.owner;
        _lines.erase(it);
    }
    // Outside the lock: a reply running now may still call into this service.
    _calls.removeOwner(owner);
    return ERROR_SUCCESS;
}

long CLinuxTelephony::request(LineHandle line, std::function<uint32_t()> work) {
    long id;
    Line target;
    {
        std::lock_guard lock(_lock);
        auto it = _lines.find(line);
        if (it == _lines.end()) {
            return LINEERR_INVALLINEHANDLE;
        }
        target = it->second;
        id = _nextRequest;
        _nextRequest = _nextRequest == INT32_MAX ? 1 : _nextRequest + 1;
    }
    // Two steps: the modem's work belongs to the service (it is done even if the line closes);
    // the reply belongs to the line and is posted only once the work is done.
    _calls.post(_service, [this, id, target, work = std::move(work)] {
        uint32_t result = work();
        _calls.post(target.owner, [target, id, result] {
            target.callback(0, LINE_REPLY, target.instance, static_cast<uintptr_t>(id), result, 0);
        });
    });
    return id;
}

uint32_t CLinuxTelephony::switchRadio(bool on) {
    const CLinuxModem::State s = _modem->state();
    if (!s.present) {
        return kFailed;
    }
    if (on) {
        if (s.modemState == CLinuxModem::kStateLocked) {
            _onAfterUnlock = true;
            return 0;
        }
        if (!_modem->enable(true).empty()) {
            return kFailed;
        }
        // The radio takes the stored band when it starts; a band the modem refuses leaves it as
        // it was, which is no reason to call the radio off.
        _modem->applyBandSetting();
        return 0;
    }
    _onAfterUnlock = false;
    if (!_modem->enable(false).empty()) {
        return kFailed;
    }
    // Not every modem knows a low power state: the radio is off already.
    _modem->setPowerState(CLinuxModem::kPowerLow);
    return 0;
}

uint32_t CLinuxTelephony::registerNow() {
    CLinuxModem::State s = _modem->state();
    if (!s.radioOn() && s.present && _onAfterUnlock.load() && s.modemState != CLinuxModem::kStateLocked) {
        // The full power the SIM held back.
        _onAfterUnlock = false;
        if (!_modem->enable(true).empty()) {
            return kFailed;
        }
        _modem->applyBandSetting();
        s = _modem->state();
    }
    if (!s.radioOn()) {
        return kFailed;
    }
    if (s.registered()) {
        return 0;
    }
    return _modem->registerOnNetwork().empty() ? 0u : kFailed;
}

long CLinuxTelephony::setEquipmentState(LineHandle line, uint32_t state) {
    if (state != LINEEQUIPSTATE_FULL && state != LINEEQUIPSTATE_MINIMUM) {
        std::lock_guard lock(_lock);
        return _lines.count(line) ? LINEERR_INVALPARAM : LINEERR_INVALLINEHANDLE;
    }
    const bool on = state == LINEEQUIPSTATE_FULL;
    return request(line, [this, on] { return switchRadio(on); });
}

long CLinuxTelephony::registerOnNetwork(LineHandle line) {
    return request(line, [this] { return registerNow(); });
}

long CLinuxTelephony::unregisterFromNetwork(LineHandle line) {
    return request(line, [this] { return _modem->state().present ? 0u : kFailed; });
}

}  // namespace platform::lnx
