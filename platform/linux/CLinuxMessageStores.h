#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/CMessageStoresBase.h"
#include "platform/ISms.h"

namespace platform::lnx {

// The messaging system on a Linux machine: the store table of CMessageStoresBase, with the
// phone's account settings.
//
// A message submitted in a mail store is sent through the account's server (libcurl); an account
// without a server cannot send (this machine keeps no outbox of the phone's), and the submission
// fails with MAPI_E_NETWORK_ERROR and says so. A message submitted in the SMS store is sent as a
// text SMS to each recipient through the SMS library of the backend (the modem); without one, or
// when the modem refuses, the submission fails with MAPI_E_NETWORK_ERROR.
class CLinuxMessageStores : public CMessageStoresBase {
  public:
    // The registry (and the SMS library, when given) must outlive the stores.
    CLinuxMessageStores(IRegistry& registry, ISms* sms);

    // UTF-16LE bytes of a UTF-8 text, as the SMS library takes a message's text.
    static std::vector<uint8_t> utf16le(const std::string& text);

  protected:
    Result sendMail(const std::string& account, const Message& message, std::string& problem) override;
    Result sendSms(const Message& message, std::string& problem) override;

  private:
    ISms* _sms;
};

}  // namespace platform::lnx
