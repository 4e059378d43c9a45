#include "platform/sim/CSimRadioInterface.h"

#include "platform/PlatformError.h"

namespace platform::sim {

CSimRadioInterface::CSimRadioInterface(std::shared_ptr<CSimPhone> phone, IClock& clock)
    : _phone(std::move(phone)), _connections(clock) {
    _subscription = _phone->subscribe(
        [this](const CSimPhone::State& before, const CSimPhone::State& after) { changed(before, after); });
}

RadioSnapshot CSimRadioInterface::snapshot(const CSimPhone::State& s) {
    return RadioSnapshot{s.radio, s.registered, s.lac, s.cell, s.signal, s.signalMin, s.signalMax};
}

Result CSimRadioInterface::open(uint32_t port, RilResultCallback result, RilNotifyCallback notify,
                                uint32_t classes, RilHandle& handle) {
    return _connections.open(port, kPort, std::move(result), std::move(notify), classes, handle);
}

Result CSimRadioInterface::close(RilHandle handle) {
    return _connections.close(handle);
}

long CSimRadioInterface::request(RilHandle handle, Answer answer) {
    return _connections.request(
        handle, kReplyDelayMs,
        [phone = _phone, answer = std::move(answer)](uint32_t& code, std::vector<uint8_t>& data) {
            try {
                answer(phone->state(), code, data);
            } catch (const PlatformError&) {
                code = RIL_RESULT_ERROR;
                data.clear();
            }
        });
}

long CSimRadioInterface::getCellTowerInfo(RilHandle handle) {
    return request(handle, [](const CSimPhone::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        answerCellTower(snapshot(s), code, data);
    });
}

long CSimRadioInterface::getSignalQuality(RilHandle handle) {
    return request(handle, [](const CSimPhone::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        answerSignalQuality(snapshot(s), code, data);
    });
}

long CSimRadioInterface::getEquipmentState(RilHandle handle) {
    return request(handle, [](const CSimPhone::State& s, uint32_t& code, std::vector<uint8_t>& data) {
        answerEquipmentState(snapshot(s), code, data);
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
    _connections.broadcast(radioNotifications(snapshot(before), snapshot(after)));
}

}  // namespace platform::sim
