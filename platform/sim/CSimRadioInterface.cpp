#include "platform/sim/CSimRadioInterface.h"

#include <climits>

#include "platform/PlatformError.h"

namespace platform::sim {

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

}  // namespace

CSimRadioInterface::CSimRadioInterface(std::shared_ptr<CSimPhone> phone, IClock& clock)
    : _phone(std::move(phone)), _calls(clock) {
    _subscription = _phone->subscribe(
        [this](const CSimPhone::State& before, const CSimPhone::State& after) { changed(before, after); });
}

std::vector<uint8_t> CSimRadioInterface::cellTowerRecord(const CSimPhone::State& s) {
    std::vector<uint8_t> data(RIL_CELLTOWER_SIZE, 0);
    putWord(data, 0, RIL_CELLTOWER_SIZE);
    putWord(data, RIL_CELLTOWER_LAC_OFFSET, s.lac);
    putWord(data, RIL_CELLTOWER_CELLID_OFFSET, s.cell);
    return data;
}

std::vector<uint8_t> CSimRadioInterface::signalRecord(const CSimPhone::State& s) {
    std::vector<uint8_t> data(RIL_SIGNALQUALITY_SIZE, 0);
    putWord(data, 0, RIL_SIGNALQUALITY_SIZE);
    putWord(data, 4,
            RIL_PARAM_SQ_SIGNALSTRENGTH | RIL_PARAM_SQ_MINSIGNALSTRENGTH | RIL_PARAM_SQ_MAXSIGNALSTRENGTH);
    putWord(data, 8, s.signal);
    putWord(data, 12, s.signalMin);
    putWord(data, 16, s.signalMax);
    return data;
}

std::vector<uint8_t> CSimRadioInterface::locationRecord(const CSimPhone::State& s) {
    std::vector<uint8_t> data(RIL_LOCATION_SIZE, 0);
    putWord(data, 0, RIL_LOCATION_SIZE);
    putWord(data, 4, s.lac);
    putWord(data, 8, s.cell);
    return data;
}

std::vector<uint8_t> CSimRadioInterface::equipmentRecord(const CSimPhone::State& s) {
    std::vector<uint8_t> data(RIL_EQUIPMENTSTATE_SIZE, 0);
    putWord(data, 0, RIL_EQUIPMENTSTATE_SIZE);
    putWord(data, RIL_EQUIPMENTSTATE_STATE_OFFSET, s.radio ? RIL_EQSTATE_FULL : RIL_EQSTATE_MINIMUM);
    return data;
}

Result CSimRadioInterface::open(uint32_t port, RilResultCallback result, RilNotifyCallback notify,
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

Result CSimRadioInterface::close(RilHandle handle) {
    CCallbackThread::Owner owner;
    {
        std::lock_guard lock(_lock);
        auto it = _connections.find(handle);
        if (it == _connections.end()) {
            return ERROR_INVALID_HANDLE;
        }
        owner = it->second.owner;
        _connections.erase(it);
    }
    // Outside the lock: a callback running now may still call into this service.
    _calls.removeOwner(owner);
    return ERROR_SUCCESS;
}

long CSimRadioInterface::request(RilHandle handle, Answer answer) {
    long id;
    CCallbackThread::Owner owner;
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
    _calls.post(owner, kReplyDelayMs, [phone = _phone, callback, id, answer = std::move(answer)] {
        uint32_t code = RIL_RESULT_ERROR;
        std::vector<uint8_t> data;
        try {
            answer(phone->state(), code, data);
        } catch (const PlatformError&) {
            code = RIL_RESULT_ERROR;
            data.clear();
        }
        callback(code, id, data);
    });
    return id;
}

long CSimRadioInterface::getCellTowerInfo(RilHandle handle) {
    return request(handle, [](const CSimPhone::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        // With the radio off, before registration and without coverage there is no serving cell.
        if (s.radio && s.registered && s.cell > 0) {
            code = RIL_RESULT_OK;
            data = cellTowerRecord(s);
        }
    });
}

long CSimRadioInterface::getSignalQuality(RilHandle handle) {
    return request(handle, [](const CSimPhone::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        if (s.radio) {
            code = RIL_RESULT_OK;
            data = signalRecord(s);
        }
    });
}

long CSimRadioInterface::getEquipmentState(RilHandle handle) {
    return request(handle, [](const CSimPhone::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        code = RIL_RESULT_OK;
        data = equipmentRecord(s);
    });
}

long CSimRadioInterface::devSpecific(RilHandle handle, const std::vector<uint8_t>& data) {
    uint32_t band = 0;
    bool command = data.size() == kBandCommandSize &&
                   static_cast<uint32_t>(RilWord(data, 0)) == kBandCommand && RilWord(data, 4) == 2 &&
                   RilWord(data, 8) == 1;
    if (command) {
        band = static_cast<uint32_t>(RilWord(data, 12));
        command = band <= 2;
    }
    return request(handle, [phone = _phone, command, band](const CSimPhone::State& s, uint32_t& code,
                                                           std::vector<uint8_t>&) {
        if (command && CSimPhone::takesBandCommand(s.model) && phone->setVendorBand(band) == ERROR_SUCCESS) {
            code = RIL_RESULT_OK;
        }
    });
}

void CSimRadioInterface::changed(const CSimPhone::State& before, const CSimPhone::State& after) {
    if (!after.radio) {
        return;
    }
    // The location is known once the phone is registered; a change of cell, or the loss of
    // coverage (cell and area 0), is told as it happens.
    const bool located = after.registered && (!before.registered || !before.radio ||
                                              before.cell != after.cell || before.lac != after.lac);
    if (located) {
        broadcast(RIL_NOTIFY_LOCATIONUPDATE, locationRecord(after));
    }
    if (before.radio && (before.signal != after.signal || before.signalMin != after.signalMin ||
                         before.signalMax != after.signalMax)) {
        broadcast(RIL_NOTIFY_SIGNALQUALITY, signalRecord(after));
    }
}

void CSimRadioInterface::broadcast(uint32_t code, const std::vector<uint8_t>& data) {
    std::lock_guard lock(_lock);
    for (const auto& [handle, c] : _connections) {
        if (c.notify && (c.classes & classOf(code)) != 0) {
            _calls.post(c.owner, 0, [notify = c.notify, code, data] { notify(code, data); });
        }
    }
}

}  // namespace platform::sim
