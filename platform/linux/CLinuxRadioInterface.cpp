#include "platform/linux/CLinuxRadioInterface.h"

#include <climits>

namespace platform::lnx {

namespace {

void putWord(std::vector<uint8_t>& data, size_t offset, int64_t value) {
    auto v = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// Notifications are sent for their class: the high word of the code.
constexpr uint32_t classOf(uint32_t code) {
    return code & 0xFFFF0000u;
}

constexpr int32_t kSignalMin = 0;
constexpr int32_t kSignalMax = 100;

}  // namespace

CLinuxRadioInterface::CLinuxRadioInterface(std::shared_ptr<CLinuxModem> modem) : _modem(std::move(modem)) {
    _subscription = _modem->subscribe([this](const CLinuxModem::State& before,
                                             const CLinuxModem::State& after) { changed(before, after); });
}

CLinuxRadioInterface::~CLinuxRadioInterface() {
    _subscription.reset();
    _calls.shutdown();
}

std::vector<uint8_t> CLinuxRadioInterface::cellTowerRecord(const CLinuxModem::State& s) {
    std::vector<uint8_t> data(RIL_CELLTOWER_SIZE, 0);
    putWord(data, 0, RIL_CELLTOWER_SIZE);
    putWord(data, RIL_CELLTOWER_LAC_OFFSET, s.lac);
    putWord(data, RIL_CELLTOWER_CELLID_OFFSET, s.cell);
    return data;
}

std::vector<uint8_t> CLinuxRadioInterface::signalRecord(const CLinuxModem::State& s) {
    std::vector<uint8_t> data(RIL_SIGNALQUALITY_SIZE, 0);
    putWord(data, 0, RIL_SIGNALQUALITY_SIZE);
    putWord(data, 4,
            RIL_PARAM_SQ_SIGNALSTRENGTH | RIL_PARAM_SQ_MINSIGNALSTRENGTH | RIL_PARAM_SQ_MAXSIGNALSTRENGTH);
    putWord(data, 8, s.signalPercent);
    putWord(data, 12, kSignalMin);
    putWord(data, 16, kSignalMax);
    return data;
}

std::vector<uint8_t> CLinuxRadioInterface::locationRecord(const CLinuxModem::State& s) {
    std::vector<uint8_t> data(RIL_LOCATION_SIZE, 0);
    putWord(data, 0, RIL_LOCATION_SIZE);
    putWord(data, 4, s.lac);
    putWord(data, 8, s.cell);
    return data;
}

std::vector<uint8_t> CLinuxRadioInterface::equipmentRecord(const CLinuxModem::State& s) {
    std::vector<uint8_t> data(RIL_EQUIPMENTSTATE_SIZE, 0);
    putWord(data, 0, RIL_EQUIPMENTSTATE_SIZE);
    putWord(data, RIL_EQUIPMENTSTATE_STATE_OFFSET, s.radioOn() ? RIL_EQSTATE_FULL : RIL_EQSTATE_MINIMUM);
    return data;
}

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> CLinuxRadioInterface::notificationsFor(
    const CLinuxModem::State& before, const CLinuxModem::State& after) {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> out;
    if (!after.radioOn()) {
        return out;
    }
    // The location is known once the modem is registered; a new cell, or the loss of coverage
    // (cell and area 0), is told as it happens.
    const bool located = after.registered() && (!before.registered() || before.cell != after.cell ||
                                                before.lac != after.lac || before.path != after.path);
    if (located) {
        out.emplace_back(RIL_NOTIFY_LOCATIONUPDATE, locationRecord(after));
    }
    if (before.radioOn() && before.signalPercent != after.signalPercent) {
        out.emplace_back(RIL_NOTIFY_SIGNALQUALITY, signalRecord(after));
    }
    return out;
}

Result CLinuxRadioInterface::open(uint32_t port, RilResultCallback result, RilNotifyCallback notify,
                                  uint32_t classes, RilHandle& handle) {
    handle = 0;
    if (port != kPort || !result) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(_lock);
    handle = _nextHandle++;
    uint32_t heard = notify ? classes : 0;
    _connections.emplace(handle, Connection{std::move(result), std::move(notify), heard, _calls.addOwner()});
    return ERROR_SUCCESS;
}

Result CLinuxRadioInterface::close(RilHandle handle) {
    CLinuxModemWorker::Owner owner;
    {
        std::lock_guard lock(_lock);
        auto it = _connections.find(handle);
        if (it == _connections.end()) {
            return ERROR_INVALID_HANDLE;
        }
        owner = it->second.owner;
        _connections.erase(it);
    }
    // Outside the lock: a callback running now may still call into this interface.
    _calls.removeOwner(owner);
    return ERROR_SUCCESS;
}

long CLinuxRadioInterface::request(RilHandle handle, Answer answer) {
    long id;
    CLinuxModemWorker::Owner owner;
    RilResultCallback callback;
    {
        std::lock_guard lock(_lock);
        auto it = _connections.find(handle);
        if (it == _connections.end()) {
            return -ERROR_INVALID_HANDLE;
        }
        owner = it->second.owner;
        callback = it->second.result;
        id = _nextRequest;
        _nextRequest = _nextRequest == INT32_MAX ? 1 : _nextRequest + 1;
    }
    // Answered later, as a radio does: the caller keeps the id before the answer comes.
    _calls.post(owner, [modem = _modem, callback, id, answer = std::move(answer)] {
        uint32_t code = RIL_RESULT_ERROR;
        std::vector<uint8_t> data;
        const CLinuxModem::State s = modem->state();
        if (s.present) {
            answer(s, code, data);
        }
        callback(code, id, data);
    });
    return id;
}

long CLinuxRadioInterface::getCellTowerInfo(RilHandle handle) {
    return request(handle, [](const CLinuxModem::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        if (s.registered() && s.cell > 0) {
            code = RIL_RESULT_OK;
            data = cellTowerRecord(s);
        }
    });
}

long CLinuxRadioInterface::getSignalQuality(RilHandle handle) {
    return request(handle, [](const CLinuxModem::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        if (s.radioOn()) {
            code = RIL_RESULT_OK;
            data = signalRecord(s);
        }
    });
}

long CLinuxRadioInterface::getEquipmentState(RilHandle handle) {
    return request(handle, [](const CLinuxModem::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        code = RIL_RESULT_OK;
        data = equipmentRecord(s);
    });
}

long CLinuxRadioInterface::devSpecific(RilHandle handle, const std::vector<uint8_t>&) {
    return request(handle, [](const CLinuxModem::State&, uint32_t&, std::vector<uint8_t>&) {});
}

void CLinuxRadioInterface::changed(const CLinuxModem::State& before, const CLinuxModem::State& after) {
    auto notifications = notificationsFor(before, after);
    if (notifications.empty()) {
        return;
    }
    std::lock_guard lock(_lock);
    for (const auto& [code, data] : notifications) {
        for (const auto& [handle, c] : _connections) {
            if (c.notify && (c.classes & classOf(code)) != 0) {
                _calls.post(c.owner, [notify = c.notify, code, data] { notify(code, data); });
            }
        }
    }
}

}  // namespace platform::lnx
