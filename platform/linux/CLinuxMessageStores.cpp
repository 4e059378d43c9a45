#include "platform/linux/CLinuxMessageStores.h"

#include "platform/CSmtpMail.h"

namespace platform::lnx {

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

CLinuxMessageStores::CLinuxMessageStores(IRegistry& registry, ISms* sms) : _registry(registry), _sms(sms) {
    std::vector<std::string> accounts;
    if (_registry.enumSubKeys(RegRoot::CurrentUser, kAccountsKey, accounts) != ERROR_SUCCESS ||
        accounts.empty()) {
        const std::string key = std::string(kAccountsKey) + "\\" + kDefaultAccount;
        _registry.setString(RegRoot::CurrentUser, key, "From", kDefaultSender);
        _registry.setString(RegRoot::CurrentUser, key, "SmtpUrl", "");
    }
}

CLinuxMessageStores::Object* CLinuxMessageStores::find(MapiObject object, Kind kind) {
    auto it = _objects.find(object);
    return it != _objects.end() && it->second.kind == kind ? &it->second : nullptr;
}

MapiObject CLinuxMessageStores::add(Object object) {
    MapiObject id = _next++;
    _objects.emplace(id, std::move(object));
    return id;
}

std::vector<MessageStoreRow> CLinuxMessageStores::listStores() {
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

Result CLinuxMessageStores::logon(MapiObject& session) {
    std::lock_guard lock(_lock);
    session = add(Object(Kind::Session, {}));
    return MAPI_S_OK;
}

Result CLinuxMessageStores::logoff(MapiObject session) {
    std::lock_guard lock(_lock);
    if (!find(session, Kind::Session)) {
        return MAPI_E_INVALID_OBJECT;
    }
    _objects.erase(session);
    return MAPI_S_OK;
}

Result CLinuxMessageStores::getStores(MapiObject session, std::vector<MessageStoreRow>& rows) {
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

Result CLinuxMessageStores::openStore(MapiObject session, const std::vector<uint8_t>& entryId,
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

Result CLinuxMessageStores::getBinaryProperty(MapiObject object, uint32_t tag, std::vector<uint8_t>& value) {
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

Result CLinuxMessageStores::openFolder(MapiObject storeObject, const std::vector<uint8_t>& entryId,
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

Result CLinuxMessageStores::createMessage(MapiObject folderObject, MapiObject& message) {
    message = 0;
    std::lock_guard lock(_lock);
    Object* folder = find(folderObject, Kind::Folder);
    if (!folder) {
        return MAPI_E_INVALID_OBJECT;
    }
    message = add(Object(Kind::Message, folder->store));
    return MAPI_S_OK;
}

Result CLinuxMessageStores::modifyRecipients(MapiObject object,
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

Result CLinuxMessageStores::setNumberProperty(MapiObject object, uint32_t tag, uint32_t value) {
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

Result CLinuxMessageStores::setTextProperty(MapiObject object, uint32_t tag, const std::string& value) {
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

Result CLinuxMessageStores::writeBody(MapiObject object, const std::string& body) {
    std::lock_guard lock(_lock);
    Object* message = find(object, Kind::Message);
    if (!message) {
        return MAPI_E_INVALID_OBJECT;
    }
    message->body = body;
    return MAPI_S_OK;
}

Result CLinuxMessageStores::sendMail(const std::string& account, const Object& message,
                                     std::string& problem) {
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
    for (const MessageRecipient& r : message.recipients) {
        if (!r.address.empty()) {
            mail.to.push_back(r.address);
        }
    }
    if (server.url.empty()) {
        problem = "the account " + account + " has no outgoing mail server (SmtpUrl)";
        return MAPI_E_NETWORK_ERROR;
    }
    return CSmtpMail::Send(server, mail, problem) ? MAPI_S_OK : MAPI_E_NETWORK_ERROR;
}

Result CLinuxMessageStores::sendSms(const Object& message, std::string& problem) {
    if (!_sms) {
        problem = "no modem to send SMS";
        return MAPI_E_NETWORK_ERROR;
    }
    SmsHandle handle = 0;
    if (Result r = _sms->open(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, handle); r != ERROR_SUCCESS) {
        problem = "the SMS library did not open (" + std::to_string(r) + ")";
        return MAPI_E_NETWORK_ERROR;
    }
    const std::vector<uint8_t> text = utf16le(message.body);
    const std::vector<uint8_t> providerData(SMS_TEXT_PROVIDER_DATA_SIZE, 0);
    Result result = MAPI_S_OK;
    for (const MessageRecipient& r : message.recipients) {
        if (r.address.empty()) {
            continue;
        }
        SmsAddress to;
        to.address = r.address;
        uint32_t id = 0;
        if (Result sent =
                _sms->send(handle, to, text, providerData, SMSDE_OPTIMAL, SMS_OPTION_DELIVERY_NONE, id);
            sent != ERROR_SUCCESS) {
            problem = "the SMS to " + r.address + " was not sent (" + std::to_string(sent) + ")";
            result = MAPI_E_NETWORK_ERROR;
            break;
        }
    }
    _sms->close(handle);
    return result;
}

std::vector<uint8_t> CLinuxMessageStores::utf16le(const std::string& text) {
    std::vector<uint8_t> out;
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        uint32_t cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            valid = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            unit(0xFFFD);  // a byte that starts no character
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
        i += length;
    }
    return out;
}

Result CLinuxMessageStores::submitMessage(MapiObject object, std::string& problem) {
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
    return sendSms(copy, problem);
}

void CLinuxMessageStores::release(MapiObject object) {
    std::lock_guard lock(_lock);
    auto it = _objects.find(object);
    if (it != _objects.end() && it->second.kind != Kind::Session) {
        _objects.erase(it);
    }
}

}  // namespace platform::lnx
