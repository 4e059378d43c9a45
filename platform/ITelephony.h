#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

using LineHandle = uint32_t;

// Equipment states of the cellular line.
inline constexpr uint32_t LINEEQUIPSTATE_MINIMUM = 1;
inline constexpr uint32_t LINEEQUIPSTATE_FULL = 5;
// Line callback message: the reply to an asynchronous request (param1 = request id,
// param2 = result, 0 for success).
inline constexpr uint32_t LINE_REPLY = 12;
inline constexpr uint32_t LINE_API_VERSION = 0x20000;
inline constexpr uint32_t LINE_PRIVILEGE_NONE = 1;
// Errors: returned (negative) by a request that cannot start or by openLine, or carried as the
// result of a LINE_REPLY.
inline constexpr long LINEERR_BADDEVICEID = static_cast<int32_t>(0x80000002u);
inline constexpr long LINEERR_INVALLINEHANDLE = static_cast<int32_t>(0x8000002Bu);
inline constexpr long LINEERR_INVALPARAM = static_cast<int32_t>(0x80000032u);
inline constexpr long LINEERR_OPERATIONFAILED = static_cast<int32_t>(0x80000048u);
inline constexpr long LINEERR_OPERATIONUNAVAIL = static_cast<int32_t>(0x80000049u);
inline constexpr long LINEERR_INVALPOINTER = static_cast<int32_t>(0x80000035u);

// Call forwarding: the forward-list record of lineForward, 32-bit little-endian words from its
// start: total size, number of entries, then per entry forward mode, caller address size and
// offset, destination country code, destination address size and offset; the addresses are
// UTF-16LE text with a terminator, at the offsets given.
inline constexpr uint32_t LINEFORWARDMODE_UNCOND = 1;
inline constexpr size_t LINEFORWARDLIST_ENTRIES_OFFSET = 4;
inline constexpr size_t LINEFORWARD_FIRST_ENTRY_OFFSET = 8;
inline constexpr size_t LINEFORWARD_ENTRY_SIZE = 24;

// Called on the telephony service's callback thread with (device, message, instance,
// param1, param2, param3).
using LineCallback = std::function<void(uint32_t device, uint32_t message, uintptr_t instance,
                                        uintptr_t param1, uintptr_t param2, uintptr_t param3)>;

// The cellular telephony line. Requests on an open line return a positive request id at once (a
// negative value when the request cannot start); their result arrives later as a LINE_REPLY
// message through the callback given when the line was opened, on another thread.
class ITelephony {
  public:
    virtual ~ITelephony() = default;
    // Opens line device `device`; `callback` receives the replies to requests on it.
    virtual Result openLine(uint32_t device, uint32_t apiVersion, uintptr_t instance, uint32_t privilege,
                            LineCallback callback, LineHandle& line) = 0;
    // After it returns no callback of that line runs any more.
    virtual Result closeLine(LineHandle line) = 0;
    // LINEEQUIPSTATE_FULL switches the radio on, LINEEQUIPSTATE_MINIMUM off.
    virtual long setEquipmentState(LineHandle line, uint32_t state) = 0;
    // Registers on the network, operator chosen automatically.
    virtual long registerOnNetwork(LineHandle line) = 0;
    virtual long unregisterFromNetwork(LineHandle line) = 0;
    // Forwards the calls of the line (all its addresses, or address `addressId`) as `forwardList`
    // says, or cancels forwarding when it is null. Checked at once: LINEERR_INVALPOINTER for a
    // record that does not hold together. The result arrives as a LINE_REPLY. A phone that cannot
    // forward answers LINEERR_OPERATIONUNAVAIL.
    virtual long forward(LineHandle /*line*/, bool /*allAddresses*/, uint32_t /*addressId*/,
                         const std::vector<uint8_t>* /*forwardList*/, uint32_t /*ringsNoAnswer*/) {
        return LINEERR_OPERATIONUNAVAIL;
    }
};

}  // namespace platform
