#include "platform/linux/CLinuxRadioInterface.h"

namespace platform::lnx {

namespace {

// The modem's percentage is the signal strength, in a range of 0 to 100.
constexpr int32_t kSignalMin = 0;
constexpr int32_t kSignalMax = 100;

}  // namespace

CLinuxRadioInterface::CLinuxRadioInterface(std::shared_ptr<CLinuxModem> modem) : _modem(std::move(modem)) {
    _subscription = _modem->subscribe([this](const CLinuxModem::State& before,
                                             const CLinuxModem::State& after) { changed(before, after); });
}

CLinuxRadioInterface::~CLinuxRadioInterface() {
    _subscription.reset();
    _connections.shutdown();
}

RadioSnapshot CLinuxRadioInterface::snapshot(const CLinuxModem::State& s) {
    return RadioSnapshot{s.radioOn(), s.registered(), s.lac, s.cell, s.signalPercent, kSignalMin, kSignalMax};
}

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> CLinuxRadioInterface::notificationsFor(
    const CLinuxModem::State& before, const CLinuxModem::State& after) {
    // Another modem (a new object path) tells its location even on the same cell.
    return radioNotifications(snapshot(before), snapshot(after), before.path != after.path);
}

Result CLinuxRadioInterface::open(uint32_t port, RilResultCallback result, RilNotifyCallback notify,
                                  uint32_t classes, RilHandle& handle) {
    return _connections.open(port, kPort, std::move(result), std::move(notify), classes, handle);
}

Result CLinuxRadioInterface::close(RilHandle handle) {
    return _connections.close(handle);
}

long CLinuxRadioInterface::request(RilHandle handle, Answer answer) {
    // Without a modem every request fails.
    return _connections.request(
        handle, 0, [modem = _modem, answer = std::move(answer)](uint32_t& code, std::vector<uint8_t>& data) {
            const CLinuxModem::State s = modem->state();
            if (s.present) {
                answer(snapshot(s), code, data);
            }
        });
}

long CLinuxRadioInterface::getCellTowerInfo(RilHandle handle) {
    return request(handle, answerCellTower);
}

long CLinuxRadioInterface::getSignalQuality(RilHandle handle) {
    return request(handle, answerSignalQuality);
}

long CLinuxRadioInterface::getEquipmentState(RilHandle handle) {
    return request(handle, answerEquipmentState);
}

long CLinuxRadioInterface::devSpecific(RilHandle handle, const std::vector<uint8_t>&) {
    return request(handle, [](const RadioSnapshot&, uint32_t&, std::vector<uint8_t>&) {});
}

void CLinuxRadioInterface::changed(const CLinuxModem::State& before, const CLinuxModem::State& after) {
    _connections.broadcast(notificationsFor(before, after));
}

}  // namespace platform::lnx
