#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/IMessageStores.h"
#include "platform/IRegistry.h"
#include "platform/ISms.h"

namespace platform::lnx {

// The messaging system on a Linux machine, in the phone's table order: the SMS store first
// (display name kSmsStore), then one store per mail account, each sub-key of HKEY_CURRENT_USER
// kAccountsKey (created with kDefaultAccount when there is none). The account settings are the
// phone's: "SmtpUrl", "StartTls", "From", "User", "Password", "Offline" (see the values below).
//
// A message submitted in a mail store is sent through the account's server (libcurl); an account
// without a server cannot send (this machine keeps no outbox of the phone's), and the submission
// fails with MAPI_E_NETWORK_ERROR and says so. A message submitted in the SMS store is sent as a
// text SMS to each recipient through the SMS library of the backend (the modem); without one, or
// when the modem refuses, the submission fails with MAPI_E_NETWORK_ERROR.
class CLinuxMessageStores : public IMessageStores {
  public:
    static constexpr const char* kAccountsKey = "Mail\\Accounts";
    static constexpr const char* kDefaultAccount = "Mail";
    static constexpr const char* kDefaultSender = "owner@phone.invalid";
    static constexpr const char* kSmsStore = "SMS";

    // The registry (and the SMS library, when given) must outlive the stores.
    CLinuxMessageStores(IRegistry& registry, ISms* sms);

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

    // UTF-16LE bytes of a UTF-8 text, as the SMS library takes a message's text.
    static std::vector<uint8_t> utf16le(const std::string& text);

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
    Result sendSms(const Object& message, std::string& problem);

    IRegistry& _registry;
    ISms* _sms;
    std::mutex _lock;
    std::map<MapiObject, Object> _objects;
    MapiObject _next = 1;
};

}  // namespace platform::lnx
