#include "platform/CMessageStoresBase.h"

namespace platform {

namespace {

constexpr const char* kStorePrefix = "store:";
constexpr const char* kFolderPrefix = "drafts:";

std::vector<uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string text(const std::vector<uint8_t>& data) {
    return {data.begin(), data.end()};
}

// The part of an identifier after `prefix`, or empty when it does not start with it.
std::string after(const std::vector<uint8_t>& id, const std::string& prefix) {
    std::string t = text(id);
    return t.rfind(prefix, 0) == 0 ? t.substr(prefix.size()) : std::string();
}

}  // namespace

CMessageStoresBase::CMessageStoresBase(IRegistry& registry) : _registry(registry) {
    std::vector<std::string> accounts;
    if (_registry.enumSubKeys(RegRoot::CurrentUser, kAccountsKey, accounts) != ERROR_SUCCESS ||
        accounts.empty()) {
        const std::string key = std::string(kAccountsKey) + "\\" + kDefaultAccount;
        _registry.setString(RegRoot::CurrentUser, key, "From", kDefaultSender);
        _registry.setString(RegRoot::CurrentUser, key, "SmtpUrl", "");
    }
}

CMessageStoresBase::Object* CMessageStoresBase::find(MapiObject object, Kind kind) {
    auto it = _objects.find(object);
    return it != _objects.end() && it->second.kind == kind ? &it->second : nullptr;
}

MapiObject CMessageStoresBase::add(Object object) {
    MapiObject id = _next++;
    _objects.emplace(id, std::move(object));
    return id;
}

std::vector<MessageStoreRow> CMessageStoresBase::listStores() {
    std::vector<MessageStoreRow> rows;
    rows.push_back({kSmsStore, bytes(std::string(kStorePrefix) + kSmsStore)});
    std::vector<std::string> accounts;
    _registry.enumSubKeys(RegRoot::CurrentUser, kAccountsKey, accounts);
    for (const std::string& account : accounts) {
        uint32_t offline = 0;
        _registry.getDword(RegRoot::CurrentUser, std::string(kAccountsKey) + "\\" + account, "Offline",
                           offline);
        MessageStoreRow row{account, std::nullopt};
        if (offline != 1) {
            row.entryId = bytes(kStorePrefix + account);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

Result CMessageStoresBase::logon(MapiObject& session) {
    std::lock_guard lock(_lock);
    session = add(Object(Kind::Session, {}));
    return MAPI_S_OK;
}

Result CMessageStoresBase::logoff(MapiObject session) {
    std::lock_guard lock(_lock);
    if (!find(session, Kind::Session)) {
        return MAPI_E_INVALID_OBJECT;
    }
    _objects.erase(session);
    return MAPI_S_OK;
}

Result CMessageStoresBase::getStores(MapiObject session, std::vector<MessageStoreRow>& rows) {
    rows.clear();
    {
        std::lock_guard lock(_lock);
        if (!find(session, Kind::Session)) {
            return MAPI_E_INVALID_OBJECT;
        }
    }
    rows = listStores();
    return MAPI_S_OK;
}

Result CMessageStoresBase::openStore(MapiObject session, const std::vector<uint8_t>& entryId,
                                     MapiObject& store) {
    store = 0;
    std::string name = after(entryId, kStorePrefix);
    bool known = false;
    for (const MessageStoreRow& row : listStores()) {
        known = known || (row.entryId && *row.entryId == entryId);
    }
    std::lock_guard lock(_lock);
    if (!find(session, Kind::Session)) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (name.empty() || !known) {
        return MAPI_E_NOT_FOUND;
    }
    store = add(Object(Kind::Store, name));
    return MAPI_S_OK;
}

Result CMessageStoresBase::getBinaryProperty(MapiObject object, uint32_t tag, std::vector<uint8_t>& value) {
    value.clear();
    std::lock_guard lock(_lock);
    Object* store = find(object, Kind::Store);
    if (!store) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (tag != PR_CE_IPM_DRAFTS_ENTRYID) {
        return MAPI_E_NOT_FOUND;
    }
    value = bytes(kFolderPrefix + store->message.store);
    return MAPI_S_OK;
}

Result CMessageStoresBase::openFolder(MapiObject storeObject, const std::vector<uint8_t>& entryId,
                                      MapiObject& folder) {
    folder = 0;
    std::lock_guard lock(_lock);
    Object* store = find(storeObject, Kind::Store);
    if (!store) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (after(entryId, kFolderPrefix) != store->message.store) {
        return MAPI_E_NOT_FOUND;
    }
    folder = add(Object(Kind::Folder, store->message.store));
    return MAPI_S_OK;
}

Result CMessageStoresBase::createMessage(MapiObject folderObject, MapiObject& message) {
    message = 0;
    std::lock_guard lock(_lock);
    Object* folder = find(folderObject, Kind::Folder);
    if (!folder) {
        return MAPI_E_INVALID_OBJECT;
    }
    message = add(Object(Kind::Message, folder->message.store));
    return MAPI_S_OK;
}

Result CMessageStoresBase::modifyRecipients(MapiObject object,
                                            const std::vector<MessageRecipient>& recipients) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    for (const MessageRecipient& r : recipients) {
        if (r.kind < MAPI_TO || r.kind > MAPI_BCC ||
            (!r.address.empty() && r.addressType != "SMTP" && message->message.store != kSmsStore)) {
            return MAPI_E_INVALID_PARAMETER;
        }
    }
    message->message.recipients = recipients;
    return MAPI_S_OK;
}

Result CMessageStoresBase::setNumberProperty(MapiObject object, uint32_t tag, uint32_t value) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (tag != PR_MESSAGE_FLAGS) {
        return MAPI_E_INVALID_PARAMETER;
    }
    message->message.flags = value;
    return MAPI_S_OK;
}

Result CMessageStoresBase::setTextProperty(MapiObject object, uint32_t tag, const std::string& value) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (tag != PR_SUBJECT) {
        return MAPI_E_INVALID_PARAMETER;
    }
    message->message.subject = value;
    return MAPI_S_OK;
}

Result CMessageStoresBase::writeBody(MapiObject object, const std::string& body) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    message->message.body = body;
    return MAPI_S_OK;
}

void CMessageStoresBase::prepareMail(const std::string& account, const Message& message,
                                     CSmtpMail::Server& server, CSmtpMail::Mail& mail) {
    const std::string key = std::string(kAccountsKey) + "\\" + account;
    _registry.getString(RegRoot::CurrentUser, key, "SmtpUrl", server.url);
    _registry.getString(RegRoot::CurrentUser, key, "User", server.user);
    _registry.getString(RegRoot::CurrentUser, key, "Password", server.password);
    uint32_t startTls = 0;
    _registry.getDword(RegRoot::CurrentUser, key, "StartTls", startTls);
    server.startTls = startTls == 1;
    if (_registry.getString(RegRoot::CurrentUser, key, "From", mail.from) != ERROR_SUCCESS ||
        mail.from.empty()) {
        mail.from = kDefaultSender;
    }
    mail.subject = message.subject;
    mail.body = message.body;
    for (const MessageRecipient& r : message.recipients) {
        if (!r.address.empty()) {
            mail.to.push_back(r.address);
        }
    }
}

Result CMessageStoresBase::submitMessage(MapiObject object, std::string& problem) {
    problem.clear();
    Message copy;
    {
        std::lock_guard lock(_lock);
        Object* message = find(object, Kind::Message);
        if (!message) {
            problem = "no such message";
            return MAPI_E_INVALID_OBJECT;
        }
        if (message->submitted) {
            problem = "the message was submitted already";
            return MAPI_E_CALL_FAILED;
        }
        bool any = false;
        for (const MessageRecipient& r : message->message.recipients) {
            any = any || !r.address.empty();
        }
        if (!any) {
            problem = "the message has no recipients";
            return MAPI_E_NO_RECIPIENTS;
        }
        message->submitted = true;
        copy = message->message;
    }
    if (copy.store != kSmsStore) {
        return sendMail(copy.store, copy, problem);
    }
    return sendSms(copy, problem);
}

void CMessageStoresBase::release(MapiObject object) {
    std::lock_guard lock(_lock);
    auto it = _objects.find(object);
    if (it != _objects.end() && it->second.kind != Kind::Session) {
        _objects.erase(it);
    }
}

}  // namespace platform
