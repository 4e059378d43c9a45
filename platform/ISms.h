#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

using SmsHandle = uint32_t;

inline constexpr const char* SMS_MSGTYPE_TEXT = "Microsoft Text SMS Protocol";
inline constexpr uint32_t SMS_MODE_SEND = 2;
inline constexpr uint32_t SMSAT_UNKNOWN = 0;
inline constexpr size_t SMS_MAX_ADDRESS_LENGTH = 256;
inline constexpr uint32_t SMSDE_OPTIMAL = 0;
inline constexpr uint32_t SMS_OPTION_DELIVERY_NONE = 0;
// The provider data of the text protocol: 688 bytes; message options at byte 0, the message class
// at byte 4 (0 to 3), the replace option at byte 8, the header data size at byte 12.
inline constexpr size_t SMS_TEXT_PROVIDER_DATA_SIZE = 688;
inline constexpr size_t SMS_PROVIDER_MESSAGE_CLASS_OFFSET = 4;
// Errors of the SMS library.
inline constexpr Result SMS_E_INVALIDPROTOCOL = static_cast<int32_t>(0x82000004u);
inline constexpr Result SMS_E_INVALIDDATA = static_cast<int32_t>(0x82000008u);
inline constexpr Result SMS_E_NOSERVICE = static_cast<int32_t>(0x82000012u);

struct SmsAddress {
    uint32_t type = SMSAT_UNKNOWN;
    std::string address;  // at most SMS_MAX_ADDRESS_LENGTH characters
};

// The SMS library: a handle opened for one protocol, messages sent through it.
class ISms {
  public:
    virtual ~ISms() = default;
    // SMS_E_INVALIDPROTOCOL for a protocol the phone does not know.
    virtual Result open(const std::string& protocol, uint32_t mode, SmsHandle& handle) = 0;
    virtual Result close(SmsHandle handle) = 0;
    // Sends `data` (the text as UTF-16LE bytes, no terminator) to `destination`, with no service
    // centre and no validity period. `messageId` identifies the message sent. SMS_E_INVALIDDATA
    // for provider data of the wrong size or content, SMS_E_NOSERVICE while the phone radio is
    // off or not on the network.
    virtual Result send(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                        const std::vector<uint8_t>& providerData, uint32_t encoding, uint32_t options,
                        uint32_t& messageId) = 0;
};

}  // namespace platform
