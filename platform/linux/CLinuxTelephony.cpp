#include "platform/linux/CLinuxTelephony.h"

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
    return _lines.open(
        device, instance, std::move(callback), [this] { return _calls.addOwner(); }, line);
}

Result CLinuxTelephony::closeLine(LineHandle line) {
    CLineTable::Owner owner = 0;
    if (Result r = _lines.close(line, owner); r != ERROR_SUCCESS) {
        return r;
    }
    // Outside the lock: a reply running now may still call into this service.
    _calls.removeOwner(owner);
    return ERROR_SUCCESS;
}

long CLinuxTelephony::request(LineHandle line, std::function<uint32_t()> work) {
    CLineTable::Line target;
    const long id = _lines.startRequest(line, target);
    if (id < 0) {
        return id;
    }
    // Two steps: the modem's work belongs to the service (it is done even if the line closes);
    // the reply belongs to the line and is posted only once the work is done.
    _calls.post(_service, [this, id, target, work = std::move(work)] {
        uint32_t result = work();
        _calls.post(target.owner, [target, id, result] { CLineTable::reply(target, id, result); });
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
        return _lines.refuse(line, LINEERR_INVALPARAM);
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
