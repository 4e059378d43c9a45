#include "platform/sim/CSimMessageStores.h"

#include "platform/CSmtpMail.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimSms.h"

namespace platform::sim {

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

CSimMessageStores::CSimMessageStores(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock)
    : _phone(std::move(phone)), _registry(registry), _clock(clock) {
    std::vector<std::string> accounts;
    if (_registry.enumSubKeys(RegRoot::CurrentUser, kAccountsKey, accounts) != ERROR_SUCCESS ||
        accounts.empty()) {
        const std::string key = std::string(kAccountsKey) + "\\" + kDefaultAccount;
        _registry.setString(RegRoot::CurrentUser, key, "From", kDefaultSender);
        _registry.setString(RegRoot::CurrentUser, key, "SmtpUrl", "");
    }
}

CSimMessageStores::Object* CSimMessageStores::find(MapiObject object, Kind kind) {
    auto it = _objects.find(object);
    return it != _objects.end() && it->second.kind == kind ? &it->second : nullptr;
}

MapiObject CSimMessageStores::add(Object object) {
    MapiObject id = _next++;
    _objects.emplace(id, std::move(object));
    return id;
}

std::vector<MessageStoreRow> CSimMessageStores::listStores() {
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

Result CSimMessageStores::logon(MapiObject& session) {
    std::lock_guard lock(_lock);
    session = add(Object(Kind::Session, {}));
    return MAPI_S_OK;
}

Result CSimMessageStores::logoff(MapiObject session) {
    std::lock_guard lock(_lock);
    if (!find(session, Kind::Session)) {
        return MAPI_E_INVALID_OBJECT;
    }
    _objects.erase(session);
    return MAPI_S_OK;
}

Result CSimMessageStores::getStores(MapiObject session, std::vector<MessageStoreRow>& rows) {
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

Result CSimMessageStores::openStore(MapiObject session, const std::vector<uint8_t>& entryId,
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

Result CSimMessageStores::getBinaryProperty(MapiObject object, uint32_t tag, std::vector<uint8_t>& value) {
    value.clear();
    std::lock_guard lock(_lock);
    Object* store = find(object, Kind::Store);
    if (!store) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (tag != PR_CE_IPM_DRAFTS_ENTRYID) {
        return MAPI_E_NOT_FOUND;
    }
    value = bytes(kFolderPrefix + store->store);
    return MAPI_S_OK;
}

Result CSimMessageStores::openFolder(MapiObject storeObject, const std::vector<uint8_t>& entryId,
                                     MapiObject& folder) {
    folder = 0;
    std::lock_guard lock(_lock);
    Object* store = find(storeObject, Kind::Store);
    if (!store) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (after(entryId, kFolderPrefix) != store->store) {
        return MAPI_E_NOT_FOUND;
    }
    folder = add(Object(Kind::Folder, store->store));
    return MAPI_S_OK;
}

Result CSimMessageStores::createMessage(MapiObject folderObject, MapiObject& message) {
    message = 0;
    std::lock_guard lock(_lock);
    Object* folder = find(folderObject, Kind::Folder);
    if (!folder) {
        return MAPI_E_INVALID_OBJECT;
    }
    message = add(Object(Kind::Message, folder->store));
    return MAPI_S_OK;
}

Result CSimMessageStores::modifyRecipients(MapiObject object,
                                           const std::vector<MessageRecipient>& recipients) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    for (const MessageRecipient& r : recipients) {
        if (r.kind < MAPI_TO || r.kind > MAPI_BCC ||
            (!r.address.empty() && r.addressType != "SMTP" && message->store != kSmsStore)) {
            return MAPI_E_INVALID_PARAMETER;
        }
    }
    message->recipients = recipients;
    return MAPI_S_OK;
}

Result CSimMessageStores::setNumberProperty(MapiObject object, uint32_t tag, uint32_t value) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (tag != PR_MESSAGE_FLAGS) {
        return MAPI_E_INVALID_PARAMETER;
    }
    message->flags = value;
    return MAPI_S_OK;
}

Result CSimMessageStores::setTextProperty(MapiObject object, uint32_t tag, const std::string& value) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    if (tag != PR_SUBJECT) {
        return MAPI_E_INVALID_PARAMETER;
    }
    message->subject = value;
    return MAPI_S_OK;
}

Result CSimMessageStores::writeBody(MapiObject object, const std::string& body) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    message->body = body;
    return MAPI_S_OK;
}

Result CSimMessageStores::sendMail(const std::string& account, const Object& message, std::string& problem) {
    const std::string key = std::string(kAccountsKey) + "\\" + account;
    CSmtpMail::Server server;
    _registry.getString(RegRoot::CurrentUser, key, "SmtpUrl", server.url);
    _registry.getString(RegRoot::CurrentUser, key, "User", server.user);
    _registry.getString(RegRoot::CurrentUser, key, "Password", server.password);
    uint32_t startTls = 0;
    _registry.getDword(RegRoot::CurrentUser, key, "StartTls", startTls);
    server.startTls = startTls == 1;
    CSmtpMail::Mail mail;
    if (_registry.getString(RegRoot::CurrentUser, key, "From", mail.from) != ERROR_SUCCESS ||
        mail.from.empty()) {
        mail.from = kDefaultSender;
    }
    mail.subject = message.subject;
    mail.body = message.body;
    std::string to;
    for (const MessageRecipient& r : message.recipients) {
        if (!r.address.empty()) {
            mail.to.push_back(r.address);
            to += (to.empty() ? "" : ";") + r.address;
        }
    }
    CSimPhone::OutboxEntry entry;
    entry.time = CSimSms::timeText(_clock.localTime());
    entry.kind = "mail";
    entry.store = account;
    entry.to = to;
    entry.subject = message.subject;
    entry.text = message.body;
    Result result = MAPI_S_OK;
    if (server.url.empty()) {
        entry.transport = "kept";
    } else if (CSmtpMail::Send(server, mail, problem)) {
        entry.transport = "smtp";
    } else {
        entry.transport = "failed: " + problem;
        result = MAPI_E_NETWORK_ERROR;
    }
    if (Result r = _phone->addToOutbox(entry); r != ERROR_SUCCESS && result == MAPI_S_OK) {
        problem = "the outbox cannot keep the mail";
        result = MAPI_E_CALL_FAILED;
    }
    return result;
}

Result CSimMessageStores::submitMessage(MapiObject object, std::string& problem) {
    problem.clear();
    Object copy;
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
        for (const MessageRecipient& r : message->recipients) {
            any = any || !r.address.empty();
        }
        if (!any) {
            problem = "the message has no recipients";
            return MAPI_E_NO_RECIPIENTS;
        }
        message->submitted = true;
        copy = *message;
    }
    if (copy.store != kSmsStore) {
        return sendMail(copy.store, copy, problem);
    }
    for (const MessageRecipient& r : copy.recipients) {
        if (r.address.empty()) {
            continue;
        }
        CSimPhone::OutboxEntry entry;
        entry.time = CSimSms::timeText(_clock.localTime());
        entry.kind = "sms";
        entry.store = kSmsStore;
        entry.to = r.address;
        entry.text = copy.body;
        entry.transport = "sent";
        if (_phone->addToOutbox(entry) != ERROR_SUCCESS) {
            problem = "the outbox cannot keep the message";
            return MAPI_E_CALL_FAILED;
        }
    }
    return MAPI_S_OK;
}

void CSimMessageStores::release(MapiObject object) {
    std::lock_guard lock(_lock);
    auto it = _objects.find(object);
    if (it != _objects.end() && it->second.kind != Kind::Session) {
        _objects.erase(it);
    }
}

}  // namespace platform::sim
