#pragma once

#include <memory>

#include "platform/CCallbackThread.h"
#include "platform/CLineTable.h"
#include "platform/ITelephony.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The cellular line of the simulated phone: one line device (0). A request returns its id at once;
// the phone carries it out after a short delay of its own clock and then answers with LINE_REPLY
// on the service's callback thread, so that whoever reads the phone's state on the reply sees the
// change already made. A request the phone accepted is carried out even when its line is closed
// before the answer; only the answer is dropped.
class CSimTelephony : public ITelephony {
  public:
    // Phone milliseconds a request takes.
    static constexpr uint32_t kEquipmentDelayMs = 300;
    static constexpr uint32_t kRegisterDelayMs = 200;
    static constexpr uint32_t kUnregisterDelayMs = 100;

    CSimTelephony(std::shared_ptr<CSimPhone> phone, IClock& clock);

    // Lines are opened and closed as CLineTable::open and close say.
    Result openLine(uint32_t device, uint32_t apiVersion, uintptr_t instance, uint32_t privilege,
                    LineCallback callback, LineHandle& line) override;
    Result closeLine(LineHandle line) override;
    // LINEERR_INVALLINEHANDLE (negative) for a line that is not open, LINEERR_INVALPARAM for a
    // state other than full or minimum. The reply's result is 0, or LINEERR_OPERATIONFAILED when
    // the phone could not store the change.
    long setEquipmentState(LineHandle line, uint32_t state) override;
    // Answered with 0 while the phone radio is on, LINEERR_OPERATIONFAILED while it is off.
    long registerOnNetwork(LineHandle line) override;
    long unregisterFromNetwork(LineHandle line) override;
    // Unconditional forwarding of all addresses only: the record must hold together (sizes and
    // offsets inside its total size, at least one entry, an even destination size), else
    // LINEERR_INVALPOINTER at once; a mode other than unconditional, or a destination that is not
    // a phone number, is answered with LINEERR_INVALPARAM. The phone keeps the number as
    // "forwarding" (cancelling: off).
    long forward(LineHandle line, bool allAddresses, uint32_t addressId,
                 const std::vector<uint8_t>* forwardList, uint32_t ringsNoAnswer) override;
    static constexpr uint32_t kForwardDelayMs = 400;

    // The destination number of the first entry of a forward-list record; false when the record
    // does not hold together. `mode` is that entry's forward mode.
    static bool decodeForwardList(const std::vector<uint8_t>& record, std::string& number, uint32_t& mode);

  private:
    // Starts a request on `line`: after `delayMs` the phone runs `work`, whose result the line's
    // callback then receives. Returns the request id, or a negative error.
    long request(LineHandle line, uint32_t delayMs, std::function<uint32_t()> work);

    std::shared_ptr<CSimPhone> _phone;
    CLineTable _lines;
    // Last: joined before the lines and the phone that its calls use go.
    CCallbackThread _calls;
    CCallbackThread::Owner _service;  // the phone's own work, never removed
};

}  // namespace platform::sim
