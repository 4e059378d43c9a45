#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/CSmsHandles.h"
#include "platform/ISms.h"
#include "platform/SmsText.h"
#include "platform/linux/CLinuxModem.h"

namespace platform::lnx {

// The SMS library over ModemManager: it knows the text protocol (SMS_MSGTYPE_TEXT) and sending.
// A message is created on the modem (Messaging.Create with its number and text) and sent
// (Sms.Send); the modem keeps the messages it sent among its messages. Sending needs the radio on
// and registered on the network.
class CLinuxSms : public ISms {
  public:
    explicit CLinuxSms(std::shared_ptr<CLinuxModem> modem);

    // SMS_E_INVALIDPROTOCOL for another protocol, ERROR_INVALID_PARAMETER for a mode other than
    // sending.
    Result open(const std::string& protocol, uint32_t mode, SmsHandle& handle) override;
    Result close(SmsHandle handle) override;
    // ERROR_INVALID_HANDLE for a handle that is not open; SMS_E_INVALIDDATA for a destination that
    // is not a phone number, text data of an odd length, or provider data that is not the text
    // protocol's (688 bytes, message class 0 to 3); SMS_E_NOSERVICE without a modem, with the
    // radio off or unregistered, or when the modem could not send; ERROR_WRITE_FAULT when the
    // modem could not keep the message.
    Result send(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                const std::vector<uint8_t>& providerData, uint32_t encoding, uint32_t options,
                uint32_t& messageId) override;
    std::string unavailableReason() const { return _modem->unavailableReason(); }

    // A phone number: digits, '*' and '#', a leading '+', 1 to 40 characters.
    static bool validPhoneNumber(const std::string& number) { return platform::validPhoneNumber(number); }
    // UTF-16LE bytes as UTF-8 text (unpaired surrogates become U+FFFD).
    static std::string fromUtf16(const std::vector<uint8_t>& data) { return utf16ToUtf8(data); }

  private:
    std::shared_ptr<CLinuxModem> _modem;
    CSmsHandles _handles;
};

}  // namespace platform::lnx
