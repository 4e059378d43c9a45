#pragma once

#include <memory>
#include <string>

#include "platform/CMessageStoresBase.h"
#include "platform/IClock.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The messaging system of the simulated phone: the store table of CMessageStoresBase. An account
// whose "SmtpUrl" is empty or missing keeps its mail in the phone's outbox (transport "kept").
//
// Submitting a message in a mail store sends it through the account's server (libcurl) and notes
// it in the outbox as "smtp" or, when the server refused it or could not be reached, as
// "failed: ..." (the submission then fails with MAPI_E_NETWORK_ERROR). A message submitted in the
// SMS store goes into the outbox as an SMS to its recipients.
class CSimMessageStores : public CMessageStoresBase {
  public:
    // The registry and the clock must outlive the stores.
    CSimMessageStores(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock);

  protected:
    Result sendMail(const std::string& account, const Message& message, std::string& problem) override;
    Result sendSms(const Message& message, std::string& problem) override;

  private:
    std::shared_ptr<CSimPhone> _phone;
    IClock& _clock;
};

}  // namespace platform::sim
