#include "platform/sim/CSimTelephony.h"

#include <climits>

#include "platform/PlatformError.h"

namespace platform::sim {

namespace {
constexpr uint32_t kFailed = static_cast<uint32_t>(LINEERR_OPERATIONFAILED);
}

CSimTelephony::CSimTelephony(std::shared_ptr<CSimPhone> phone, IClock& clock)
    : _phone(std::move(phone)), _calls(clock), _service(_calls.addOwner()) {}

Result CSimTelephony::openLine(uint32_t device, uint32_t /*apiVersion*/, uintptr_t instance,
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

Result CSimTelephony::closeLine(LineHandle line) {
    CSimCallbackThread::Owner owner;
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

long CSimTelephony::request(LineHandle line, uint32_t delayMs, std::function<uint32_t()> work) {
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
    // Two steps: the phone's work belongs to the service (it is done even if the line closes);
    // the reply belongs to the line and is posted only once the work is done.
    _calls.post(_service, delayMs, [this, id, target, work = std::move(work)] {
        uint32_t result = work();
        _calls.post(target.owner, 0, [target, id, result] {
            target.callback(0, LINE_REPLY, target.instance, static_cast<uintptr_t>(id), result, 0);
        });
    });
    return id;
}

long CSimTelephony::setEquipmentState(LineHandle line, uint32_t state) {
    if (state != LINEEQUIPSTATE_FULL && state != LINEEQUIPSTATE_MINIMUM) {
        std::lock_guard lock(_lock);
        return _lines.count(line) ? LINEERR_INVALPARAM : LINEERR_INVALLINEHANDLE;
    }
    bool on = state == LINEEQUIPSTATE_FULL;
    return request(line, kEquipmentDelayMs,
                   [phone = _phone, on] { return phone->setRadio(on) == ERROR_SUCCESS ? 0u : kFailed; });
}

long CSimTelephony::registerOnNetwork(LineHandle line) {
    return request(line, kRegisterDelayMs, [phone = _phone] {
        try {
            return phone->setRegistered(true) == ERROR_SUCCESS ? 0u : kFailed;
        } catch (const PlatformError&) {
            return kFailed;
        }
    });
}

long CSimTelephony::unregisterFromNetwork(LineHandle line) {
    return request(line, kUnregisterDelayMs, [phone = _phone] {
        try {
            return phone->setRegistered(false) == ERROR_SUCCESS ? 0u : kFailed;
        } catch (const PlatformError&) {
            return kFailed;
        }
    });
}

}  // namespace platform::sim
