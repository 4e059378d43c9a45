#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/IClock.h"
#include "platform/IMessageStores.h"
#include "platform/IRegistry.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The messaging system of the simulated phone. Its stores are the SMS store (display name
// kSmsStore) and one store per mail account: each sub-key of HKEY_CURRENT_USER kAccountsKey is an
// account, named by the key. The phone creates the account kDefaultAccount when there is none.
//
// Settings of an account (values of its key):
//   "SmtpUrl"  (text)  the account's outgoing server, "smtp://host[:port]" or "smtps://host[:port]";
//                      empty or missing: mail stays in the phone's outbox (transport "kept")
//   "StartTls" (number) 1: an smtp:// server must switch to TLS (STARTTLS) before the mail is sent
//   "From"     (text)  the sender address (kDefaultSender when missing)
//   "User", "Password" (text) the login at the server, when it wants one
//   "Offline"  (number) 1: the store is listed without an entry identifier and cannot be opened
//
// Submitting a message in a mail store sends it through the account's server (libcurl) and notes
// it in the outbox as "smtp" or, when the server refused it or could not be reached, as
// "failed: ..." (the submission then fails with MAPI_E_NETWORK_ERROR). A message submitted in the
// SMS store goes into the outbox as an SMS to its recipients.
class CSimMessageStores : public IMessageStores {
  public:
    static constexpr const char* kAccountsKey = "Mail\\Accounts";
    static constexpr const char* kDefaultAccount = "Mail";
    static constexpr const char* kDefaultSender = "owner@phone.invalid";
    static constexpr const char* kSmsStore = "SMS";

    // The registry and the clock must outlive the stores.
    CSimMessageStores(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock);

    Result logon(MapiObject& session) override;
    Result logoff(MapiObject session) override;
    Result getStores(MapiObject session, std::vector<MessageStoreRow>& rows) override;
    Result openStore(MapiObject session, const std::vector<uint8_t>& entryId, MapiObject& store) override;
    Result getBinaryProperty(MapiObject object, uint32_t tag, std::vector<uint8_t>& value) override;
    Result openFolder(MapiObject store, const std::vector<uint8_t>& entryId, MapiObject& folder) override;
    Result createMessage(MapiObject folder, MapiObject& message) override;
    Result modifyRecipients(MapiObject message, const std::vector<MessageRecipient>& recipients) override;
    Result setNumberProperty(MapiObject message, uint32_t tag, uint32_t value) override;
    Result setTextProperty(MapiObject message, uint32_t tag, const std::string& value) override;
    Result writeBody(MapiObject message, const std::string& body) override;
    // MAPI_E_NO_RECIPIENTS without a recipient address; MAPI_E_CALL_FAILED when it was submitted
    // already.
    Result submitMessage(MapiObject message, std::string& problem) override;
    void release(MapiObject object) override;

  private:
    enum class Kind { Session, Store, Folder, Message };
    struct Object {
        Object() = default;
        Object(Kind k, std::string s) : kind(k), store(std::move(s)) {}
        Kind kind = Kind::Session;
        std::string store;  // the store's display name (stores, folders, messages)
        std::vector<MessageRecipient> recipients;
        uint32_t flags = 0;
        std::string subject;
        std::string body;
        bool submitted = false;
    };
    // With _lock held: the object of that number and kind, or null.
    Object* find(MapiObject object, Kind kind);
    MapiObject add(Object object);
    std::vector<MessageStoreRow> listStores();
    Result sendMail(const std::string& account, const Object& message, std::string& problem);

    std::shared_ptr<CSimPhone> _phone;
    IRegistry& _registry;
    IClock& _clock;
    std::mutex _lock;
    std::map<MapiObject, Object> _objects;
    MapiObject _next = 1;
};

}  // namespace platform::sim
