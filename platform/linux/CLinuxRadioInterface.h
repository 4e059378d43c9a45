#pragma once

#include <memory>

#include "platform/CRadioConnections.h"
#include "platform/IRadioInterface.h"
#include "platform/RadioRecords.h"
#include "platform/linux/CLinuxModem.h"

namespace platform::lnx {

// The radio interface layer over the modem ModemManager shows. Requests about the serving cell,
// the signal and the equipment are answered on the interface's own thread from the modem's state
// when they are answered: with the radio off, unregistered or without a known cell there is no
// serving cell, with the radio off no signal, and without a modem every request fails.
//
// Connections opened with a notification callback hear, for the classes they asked for, of a new
// serving cell or area code while registered and of the cell found when the modem registers
// (RIL_NOTIFY_LOCATIONUPDATE), and of a change of the signal while the radio stays on
// (RIL_NOTIFY_SIGNALQUALITY). The signal record gives the modem's percentage as the strength, in
// a range of 0 to 100.
class CLinuxRadioInterface : public IRadioInterface {
  public:
    static constexpr uint32_t kPort = 1;

    explicit CLinuxRadioInterface(std::shared_ptr<CLinuxModem> modem);
    ~CLinuxRadioInterface() override;

    // ERROR_INVALID_PARAMETER for another port or without a result callback. Without a
    // notification callback the connection hears no notifications, whatever `classes` says.
    Result open(uint32_t port, RilResultCallback result, RilNotifyCallback notify, uint32_t classes,
                RilHandle& handle) override;
    // ERROR_INVALID_HANDLE for a connection that is not open.
    Result close(RilHandle handle) override;
    // Each returns -ERROR_INVALID_HANDLE for a connection that is not open.
    long getCellTowerInfo(RilHandle handle) override;
    long getSignalQuality(RilHandle handle) override;
    long getEquipmentState(RilHandle handle) override;
    // The modem knows no command of a phone maker's radio: answered with RIL_RESULT_ERROR.
    long devSpecific(RilHandle handle, const std::vector<uint8_t>& data) override;
    std::string unavailableReason() const { return _modem->unavailableReason(); }

    // What the radio interface layer tells of the modem's state.
    static RadioSnapshot snapshot(const CLinuxModem::State& state);
    // The notifications (code and record) the change from `before` to `after` gives.
    static std::vector<std::pair<uint32_t, std::vector<uint8_t>>> notificationsFor(
        const CLinuxModem::State& before, const CLinuxModem::State& after);

  private:
    // The answer to a request, from the modem's state when it is answered (not asked without a
    // modem).
    using Answer =
        std::function<void(const RadioSnapshot& state, uint32_t& code, std::vector<uint8_t>& data)>;
    long request(RilHandle handle, Answer answer);
    void changed(const CLinuxModem::State& before, const CLinuxModem::State& after);

    std::shared_ptr<CLinuxModem> _modem;
    CRadioConnections _connections;  // ends before the modem goes
    // Last: ends first, so that no change of the modem reaches a half-destroyed interface.
    CLinuxModem::Subscription _subscription;
};

}  // namespace platform::lnx
