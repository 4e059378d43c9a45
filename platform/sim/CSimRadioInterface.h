#pragma once

#include <memory>

#include "platform/CRadioConnections.h"
#include "platform/IRadioInterface.h"
#include "platform/RadioRecords.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The radio interface layer of the simulated phone. Requests about the serving cell, the signal
// and the equipment are answered a little later (phone time) on the service's callback thread,
// from the phone's state at that moment: while the phone radio is off there is no serving cell and
// no signal, and those requests fail.
//
// Connections opened with a notification callback hear, for the classes they asked for, of a new
// serving cell while the radio is on and of the cell found when the radio comes back on
// (RIL_NOTIFY_LOCATIONUPDATE), and of a change of the signal while the radio is on
// (RIL_NOTIFY_SIGNALQUALITY). These follow every change of the phone made in this process.
class CSimRadioInterface : public IRadioInterface {
  public:
    static constexpr uint32_t kPort = 1;
    // Phone milliseconds before a request is answered.
    static constexpr uint32_t kReplyDelayMs = 100;

    CSimRadioInterface(std::shared_ptr<CSimPhone> phone, IClock& clock);

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
    // The maker's band command (kBandCommandSize bytes: the 32-bit words kBandCommand, 2, 1 and the
    // band 0 to 2) sets the band the radio takes at its next start on the models that use it
    // (CSimPhone::takesBandCommand); answered RIL_RESULT_OK. Any other command, or the band command
    // on another model, is answered with RIL_RESULT_ERROR.
    long devSpecific(RilHandle handle, const std::vector<uint8_t>& data) override;
    static constexpr uint32_t kBandCommand = 0x34;
    static constexpr size_t kBandCommandSize = 16;

  private:
    // The answer to a request, from the phone's state when it is answered.
    using Answer =
        std::function<void(const CSimPhone::State& state, uint32_t& code, std::vector<uint8_t>& data)>;
    long request(RilHandle handle, Answer answer);
    // Observer of the phone: notifications for the change from `before` to `after`.
    void changed(const CSimPhone::State& before, const CSimPhone::State& after);
    static RadioSnapshot snapshot(const CSimPhone::State& s);

    std::shared_ptr<CSimPhone> _phone;
    CRadioConnections _connections;  // joined before the phone goes
    // Last: ends first, so that no change of the phone reaches a half-destroyed service.
    CSimPhone::Subscription _subscription;
};

}  // namespace platform::sim
