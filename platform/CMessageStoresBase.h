#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CSmtpMail.h"
#include "platform/IMessageStores.h"
#include "platform/IRegistry.h"

namespace platform {

// The messaging system both backends share: the store table, the sessions, stores, folders and
// messages handed out as numbers, their properties and recipients, and the checks of a submission.
// Its stores are the SMS store (display name kSmsStore) and one store per mail account: each
// sub-key of HKEY_CURRENT_USER kAccountsKey is an account, named by the key. The constructor
// creates the account kDefaultAccount when there is none.
//
// Settings of an account (values of its key):
//   "SmtpUrl"  (text)  the account's outgoing server, "smtp://host[:port]" or "smtps://host[:port]"
//   "StartTls" (number) 1: an smtp:// server must switch to TLS (STARTTLS) before the mail is sent
//   "From"     (text)  the sender address (kDefaultSender when missing)
//   "User", "Password" (text) the login at the server, when it wants one
//   "Offline"  (number) 1: the store is listed without an entry identifier and cannot be opened
//
// What a submitted message becomes is the backend's: sendMail for a mail store, sendSms for the
// SMS store, both called without the lock held.
class CMessageStoresBase : public IMessageStores {
  public:
    static constexpr const char* kAccountsKey = "Mail\\Accounts";
    static constexpr const char* kDefaultAccount = "Mail";
    static constexpr const char* kDefaultSender = "owner@phone.invalid";
    static constexpr const char* kSmsStore = "SMS";

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
    // already; otherwise what the backend's sending answers.
    Result submitMessage(MapiObject message, std::string& problem) override;
    void release(MapiObject object) override;

  protected:
    // A message as it was submitted.
    struct Message {
        std::string store;  // the store's display name
        std::vector<MessageRecipient> recipients;
        uint32_t flags = 0;
        std::string subject;
        std::string body;
    };

    // The registry must outlive the stores.
    explicit CMessageStoresBase(IRegistry& registry);

    // Sends a message submitted in the mail store of `account`.
    virtual Result sendMail(const std::string& account, const Message& message, std::string& problem) = 0;
    // Sends a message submitted in the SMS store.
    virtual Result sendSms(const Message& message, std::string& problem) = 0;

    // The outgoing server of `account` and the mail of `message` from its sender to each
    // recipient address, as the account's settings say.
    void prepareMail(const std::string& account, const Message& message, CSmtpMail::Server& server,
                     CSmtpMail::Mail& mail);

  private:
    enum class Kind { Session, Store, Folder, Message };
    struct Object {
        Object() = default;
        Object(Kind k, std::string s) : kind(k) { message.store = std::move(s); }
        Kind kind = Kind::Session;
        Message message;  // the store's display name for stores, folders and messages
        bool submitted = false;
    };
    // With _lock held: the object of that number and kind, or null.
    Object* find(MapiObject object, Kind kind);
    MapiObject add(Object object);
    std::vector<MessageStoreRow> listStores();

    IRegistry& _registry;
    std::mutex _lock;
    std::map<MapiObject, Object> _objects;
    MapiObject _next = 1;
};

}  // namespace platform
