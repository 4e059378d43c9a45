#include "platform/sim/CSimTelephony.h"

#include "platform/PlatformError.h"
#include "platform/sim/CSimSms.h"

namespace platform::sim {

namespace {
constexpr uint32_t kFailed = static_cast<uint32_t>(LINEERR_OPERATIONFAILED);
}

CSimTelephony::CSimTelephony(std::shared_ptr<CSimPhone> phone, IClock& clock)
    : _phone(std::move(phone)), _calls(clock), _service(_calls.addOwner()) {}

Result CSimTelephony::openLine(uint32_t device, uint32_t /*apiVersion*/, uintptr_t instance,
                               uint32_t /*privilege*/, LineCallback callback, LineHandle& line) {
    return _lines.open(
        device, instance, std::move(callback), [this] { return _calls.addOwner(); }, line);
}

Result CSimTelephony::closeLine(LineHandle line) {
    CLineTable::Owner owner = 0;
    if (Result r = _lines.close(line, owner); r != ERROR_SUCCESS) {
        return r;
    }
    // Outside the lock: a reply running now may still call into this service.
    _calls.removeOwner(owner);
    return ERROR_SUCCESS;
}

long CSimTelephony::request(LineHandle line, uint32_t delayMs, std::function<uint32_t()> work) {
    CLineTable::Line target;
    const long id = _lines.startRequest(line, target);
    if (id < 0) {
        return id;
    }
    // Two steps: the phone's work belongs to the service (it is done even if the line closes);
    // the reply belongs to the line and is posted only once the work is done.
    _calls.post(_service, delayMs, [this, id, target, work = std::move(work)] {
        uint32_t result = work();
        _calls.post(target.owner, 0, [target, id, result] { CLineTable::reply(target, id, result); });
    });
    return id;
}

long CSimTelephony::setEquipmentState(LineHandle line, uint32_t state) {
    if (state != LINEEQUIPSTATE_FULL && state != LINEEQUIPSTATE_MINIMUM) {
        return _lines.refuse(line, LINEERR_INVALPARAM);
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

bool CSimTelephony::decodeForwardList(const std::vector<uint8_t>& record, std::string& number,
                                      uint32_t& mode) {
    auto word = [&record](size_t at) -> uint32_t {
        return record[at] | (record[at + 1] << 8) | (record[at + 2] << 16) |
               (static_cast<uint32_t>(record[at + 3]) << 24);
    };
    number.clear();
    mode = 0;
    const size_t entryEnd = LINEFORWARD_FIRST_ENTRY_OFFSET + LINEFORWARD_ENTRY_SIZE;
    if (record.size() < entryEnd) {
        return false;
    }
    const uint32_t total = word(0);
    if (total < entryEnd || total > record.size() || word(LINEFORWARDLIST_ENTRIES_OFFSET) < 1) {
        return false;
    }
    const size_t entry = LINEFORWARD_FIRST_ENTRY_OFFSET;
    mode = word(entry);
    const uint64_t size = word(entry + 16);
    const uint64_t offset = word(entry + 20);
    if (size % 2 != 0 || size == 0 || offset < entryEnd || offset + size > total) {
        return false;
    }
    std::vector<uint8_t> text;
    for (size_t at = offset; at + 1 < offset + size; at += 2) {
        if (record[at] == 0 && record[at + 1] == 0) {
            break;  // the terminator
        }
        text.push_back(record[at]);
        text.push_back(record[at + 1]);
    }
    number = CSimSms::fromUtf16(text);
    return true;
}

long CSimTelephony::forward(LineHandle line, bool /*allAddresses*/, uint32_t /*addressId*/,
                            const std::vector<uint8_t>* forwardList, uint32_t /*ringsNoAnswer*/) {
    std::string number;
    uint32_t mode = LINEFORWARDMODE_UNCOND;
    if (forwardList && !decodeForwardList(*forwardList, number, mode)) {
        return _lines.refuse(line, LINEERR_INVALPOINTER);
    }
    const bool cancel = forwardList == nullptr;
    return request(line, kForwardDelayMs, [phone = _phone, number, mode, cancel]() -> uint32_t {
        if (!cancel && (mode != LINEFORWARDMODE_UNCOND || !CSimPhone::validPhoneNumber(number))) {
            return static_cast<uint32_t>(LINEERR_INVALPARAM);
        }
        try {
            return phone->setForwarding(cancel ? std::string() : number) == ERROR_SUCCESS ? 0u : kFailed;
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
