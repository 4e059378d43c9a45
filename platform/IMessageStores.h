#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

// An object of the messaging system (session, store, folder, message); 0 is none.
using MapiObject = uint32_t;

// Results of the messaging system: 0 succeeds, negative values fail.
inline constexpr Result MAPI_S_OK = 0;
inline constexpr Result MAPI_E_NOT_FOUND = static_cast<int32_t>(0x8004010Fu);
inline constexpr Result MAPI_E_INVALID_PARAMETER = static_cast<int32_t>(0x80070057u);
inline constexpr Result MAPI_E_INVALID_OBJECT = static_cast<int32_t>(0x80040108u);
inline constexpr Result MAPI_E_NETWORK_ERROR = static_cast<int32_t>(0x80040115u);
inline constexpr Result MAPI_E_NO_RECIPIENTS = static_cast<int32_t>(0x80040607u);
inline constexpr Result MAPI_E_CALL_FAILED = static_cast<int32_t>(0x80004005u);

// Property tags used on stores and messages.
inline constexpr uint32_t PR_CE_IPM_DRAFTS_ENTRYID = 0x81040102u;  // a store's folder for new mail
inline constexpr uint32_t PR_MESSAGE_FLAGS = 0x0E070003u;
inline constexpr uint32_t PR_SUBJECT = 0x0037001Fu;
inline constexpr uint32_t MSGFLAG_UNSENT = 0x8u;

// Recipient kinds.
inline constexpr uint32_t MAPI_TO = 1;
inline constexpr uint32_t MAPI_CC = 2;
inline constexpr uint32_t MAPI_BCC = 3;

// A row of the message-stores table: the store's display name and its entry identifier, which
// a store may lack (it then cannot be opened).
struct MessageStoreRow {
    std::string displayName;
    std::optional<std::vector<uint8_t>> entryId;
};

struct MessageRecipient {
    uint32_t kind = MAPI_TO;
    std::string addressType;  // "SMTP"
    std::string address;      // empty for an empty entry
};

// The phone's messaging system: a session lists the message stores (the SMS store and the mail
// accounts); a message is created in a folder of a store, given recipients, flags, subject and
// body, and submitted for sending. Every object obtained is given back with release.
class IMessageStores {
  public:
    virtual ~IMessageStores() = default;
    virtual Result logon(MapiObject& session) = 0;
    virtual Result logoff(MapiObject session) = 0;
    // The stores in table order.
    virtual Result getStores(MapiObject session, std::vector<MessageStoreRow>& rows) = 0;
    virtual Result openStore(MapiObject session, const std::vector<uint8_t>& entryId, MapiObject& store) = 0;
    // A binary property of a store (PR_CE_IPM_DRAFTS_ENTRYID). MAPI_E_NOT_FOUND when it has none.
    virtual Result getBinaryProperty(MapiObject object, uint32_t tag, std::vector<uint8_t>& value) = 0;
    virtual Result openFolder(MapiObject store, const std::vector<uint8_t>& entryId, MapiObject& folder) = 0;
    virtual Result createMessage(MapiObject folder, MapiObject& message) = 0;
    // Replaces the message's recipients.
    virtual Result modifyRecipients(MapiObject message, const std::vector<MessageRecipient>& recipients) = 0;
    virtual Result setNumberProperty(MapiObject message, uint32_t tag, uint32_t value) = 0;
    virtual Result setTextProperty(MapiObject message, uint32_t tag, const std::string& value) = 0;
    // Writes the body through the message's body stream.
    virtual Result writeBody(MapiObject message, const std::string& body) = 0;
    // Hands the message to the store's transport. On failure `problem` says why.
    virtual Result submitMessage(MapiObject message, std::string& problem) = 0;
    virtual void release(MapiObject object) = 0;
};

}  // namespace platform
