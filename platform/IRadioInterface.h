#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

using RilHandle = uint32_t;

inline constexpr uint32_t RIL_RESULT_OK = 1;
inline constexpr uint32_t RIL_RESULT_ERROR = 2;
// Notification classes (network and miscellaneous) and codes.
inline constexpr uint32_t RIL_NCLASS_NETWORK_MISC = 0x440000;
inline constexpr uint32_t RIL_NOTIFY_LOCATIONUPDATE = 0x40008;  // area code at byte 4, cell id at byte 8
inline constexpr uint32_t RIL_NOTIFY_SIGNALQUALITY = 0x400005;
inline constexpr uint32_t RIL_NOTIFY_REGSTATUSCHANGED = 0x40005;
// Byte offsets in the cell-tower reply.
inline constexpr size_t RIL_CELLTOWER_LAC_OFFSET = 16;
inline constexpr size_t RIL_CELLTOWER_CELLID_OFFSET = 20;
inline constexpr size_t RIL_CELLTOWER_SIZE = 88;
// The signal-quality record: 32-bit words size, parameter mask, strength, minimum, maximum, ...
inline constexpr uint32_t RIL_PARAM_SQ_SIGNALSTRENGTH = 0x1;
inline constexpr uint32_t RIL_PARAM_SQ_MINSIGNALSTRENGTH = 0x2;
inline constexpr uint32_t RIL_PARAM_SQ_MAXSIGNALSTRENGTH = 0x4;
inline constexpr size_t RIL_SIGNALQUALITY_SIZE = 32;
inline constexpr size_t RIL_LOCATION_SIZE = 12;
// The equipment-state reply: 32-bit words size and state (full or minimum).
inline constexpr uint32_t RIL_EQSTATE_MINIMUM = 1;
inline constexpr uint32_t RIL_EQSTATE_FULL = 5;
inline constexpr size_t RIL_EQUIPMENTSTATE_STATE_OFFSET = 4;
inline constexpr size_t RIL_EQUIPMENTSTATE_SIZE = 8;

// Result callback: (result code, request id, reply data). Notification callback: (code, data).
// Both run on the radio interface's own threads.
using RilResultCallback =
    std::function<void(uint32_t code, long requestId, const std::vector<uint8_t>& data)>;
using RilNotifyCallback = std::function<void(uint32_t code, const std::vector<uint8_t>& data)>;

// The radio interface layer: requests about the serving cell, the signal and the equipment,
// answered later through the result callback, and unsolicited notifications.
class IRadioInterface {
  public:
    virtual ~IRadioInterface() = default;
    // `notify` may be empty (no notifications), in which case `classes` is 0.
    virtual Result open(uint32_t port, RilResultCallback result, RilNotifyCallback notify, uint32_t classes,
                        RilHandle& handle) = 0;
    // After it returns no callback of that connection runs any more.
    virtual Result close(RilHandle handle) = 0;
    // Each returns a request id, negative when the request cannot start.
    virtual long getCellTowerInfo(RilHandle handle) = 0;
    virtual long getSignalQuality(RilHandle handle) = 0;
    virtual long getEquipmentState(RilHandle handle) = 0;
    // A command of the radio's maker, its meaning given by `data`; answered like the others.
    // A radio that knows none answers with RIL_RESULT_ERROR.
    virtual long devSpecific(RilHandle /*handle*/, const std::vector<uint8_t>& /*data*/) { return -1; }
};

// Reads a little-endian 32-bit word of a reply; 0 when the data is too short.
inline int32_t RilWord(const std::vector<uint8_t>& data, size_t offset) {
    if (offset + 4 > data.size()) {
        return 0;
    }
    return static_cast<int32_t>(
        static_cast<uint32_t>(data[offset]) | (static_cast<uint32_t>(data[offset + 1]) << 8) |
        (static_cast<uint32_t>(data[offset + 2]) << 16) | (static_cast<uint32_t>(data[offset + 3]) << 24));
}

}  // namespace platform
