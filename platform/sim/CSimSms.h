#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/CSmsHandles.h"
#include "platform/IClock.h"
#include "platform/ISms.h"
#include "platform/SmsText.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The SMS library of the simulated phone: it knows the text protocol (SMS_MSGTYPE_TEXT) and
// sending. A message sent goes into the phone's outbox (kind "sms", the number and the text,
// transport "sent"), which zentrova-device outbox lists; it needs the phone radio on and
// registered on the network.
class CSimSms : public ISms {
  public:
    // The clock must outlive the library.
    CSimSms(std::shared_ptr<CSimPhone> phone, IClock& clock);

    // SMS_E_INVALIDPROTOCOL for another protocol, ERROR_INVALID_PARAMETER for a mode other than
    // sending.
    Result open(const std::string& protocol, uint32_t mode, SmsHandle& handle) override;
    Result close(SmsHandle handle) override;
    // ERROR_INVALID_HANDLE for a handle that is not open; SMS_E_INVALIDDATA for a destination that
    // is not a phone number, text data of an odd length, or provider data that is not the text
    // protocol's (688 bytes, message class 0 to 3); ERROR_WRITE_FAULT when the outbox cannot keep it.
    Result send(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                const std::vector<uint8_t>& providerData, uint32_t encoding, uint32_t options,
                uint32_t& messageId) override;

    // UTF-16LE bytes as UTF-8 text (unpaired surrogates become U+FFFD).
    static std::string fromUtf16(const std::vector<uint8_t>& data) { return utf16ToUtf8(data); }
    // The phone's time as the outbox writes it.
    static std::string timeText(const SYSTEMTIME& t);

  private:
    std::shared_ptr<CSimPhone> _phone;
    IClock& _clock;
    CSmsHandles _handles;
};

}  // namespace platform::sim
