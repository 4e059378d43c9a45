#pragma once

#include <atomic>
#include <memory>

#include "platform/CCallbackThread.h"
#include "platform/CLineTable.h"
#include "platform/ITelephony.h"
#include "platform/linux/CLinuxModem.h"

namespace platform::lnx {

// The cellular line over ModemManager: one line device (0). A request returns its id at once; the
// line's thread then calls the modem (full power: Modem.Enable(true), then the access
// technologies of the stored band; minimum: Modem.Enable(false) and the low power state; registration:
// Modem3gpp.Register with the operator chosen automatically) and answers with LINE_REPLY once the modem's
// state has been read again, so that whoever reads the phone's registry value on the reply sees the change. A
// request the modem accepted is carried out even when its line is closed before the answer; only the answer
// is dropped.
//
// A modem whose SIM waits for its PIN cannot be enabled: full power is then answered at once and
// carried out by the next registration, after the SIM has been unlocked, as a phone does (so is a
// modem that was locked when the line service started).
// ModemManager has no way to leave the network but to disable the modem: unregistering answers
// success without a call while there is a modem. Without a modem every request is answered with
// LINEERR_OPERATIONFAILED. Forwarding is not offered (LINEERR_OPERATIONUNAVAIL).
class CLinuxTelephony : public ITelephony {
  public:
    explicit CLinuxTelephony(std::shared_ptr<CLinuxModem> modem);
    ~CLinuxTelephony() override;

    // Lines are opened and closed as CLineTable::open and close say.
    Result openLine(uint32_t device, uint32_t apiVersion, uintptr_t instance, uint32_t privilege,
                    LineCallback callback, LineHandle& line) override;
    Result closeLine(LineHandle line) override;
    // LINEERR_INVALLINEHANDLE (negative) for a line that is not open, LINEERR_INVALPARAM for a
    // state other than full or minimum. The reply's result is 0, or LINEERR_OPERATIONFAILED when
    // the modem refused.
    long setEquipmentState(LineHandle line, uint32_t state) override;
    // Answered with 0 once registered, LINEERR_OPERATIONFAILED while the radio is off or the
    // modem refused.
    long registerOnNetwork(LineHandle line) override;
    long unregisterFromNetwork(LineHandle line) override;
    std::string unavailableReason() const { return _modem->unavailableReason(); }

  private:
    long request(LineHandle line, std::function<uint32_t()> work);
    uint32_t switchRadio(bool on);
    uint32_t registerNow();

    std::shared_ptr<CLinuxModem> _modem;
    CLineTable _lines;
    // Full power was asked for while the SIM waited for its PIN (or the modem started locked).
    std::atomic<bool> _onAfterUnlock{false};
    CCallbackThread _calls;
    CCallbackThread::Owner _service;  // the modem's own work, never removed
};

}  // namespace platform::lnx
