#include "managers/CMessageMgr.h"

#include <cstdio>
#include <memory>

#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "platform/IMessageStores.h"
#include "platform/ISms.h"
#include "platform/Services.h"

std::atomic<CMessageMgr*> CMessageMgr::_instance{nullptr};

namespace {

constexpr int kSeverityInfo = 2;
constexpr int kSeverityError = 3;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;
constexpr const char* kMissingEntryId = "Store missing PR_ENTRYID!";

// A failing call of the messaging system, for the debug trace; true when it failed.
bool Failed(platform::Result r, const char* where, int line) {
    if (r == platform::MAPI_S_OK) {
        return false;
    }
    LogFormateado(1, "CEMAPI: FAILED(%x)at %s:%d\n", static_cast<unsigned>(r), where, line);
    return true;
}

std::string Hex(platform::Result r) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(r));
    return text;
}

// Releases the objects of one sending, and logs off, however it ends.
class MapiScope {
  public:
    explicit MapiScope(platform::IMessageStores& stores) : _stores(stores) {}
    ~MapiScope() {
        for (auto it = _objects.rbegin(); it != _objects.rend(); ++it) {
            _stores.release(*it);
        }
        if (_session) {
            _stores.logoff(_session);
        }
    }
    MapiScope(const MapiScope&) = delete;
    MapiScope& operator=(const MapiScope&) = delete;
    platform::MapiObject& session() { return _session; }
    platform::MapiObject keep(platform::MapiObject object) {
        _objects.push_back(object);
        return object;
    }

  private:
    platform::IMessageStores& _stores;
    platform::MapiObject _session = 0;
    std::vector<platform::MapiObject> _objects;
};

}  // namespace

CMessageMgr::CMessageMgr() : CMgr(MGR_MESSAGE) {
    _instance.store(this);
}

CMessageMgr::~CMessageMgr() {
    Stop();
    CMessageMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

std::string& CMessageMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_MESSAGE_NAME");
}

std::vector<std::string> CMessageMgr::SplitRecipients(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string piece = text.substr(start, end - start);
        size_t first = piece.find_first_not_of(" \t");
        if (first != std::string::npos) {
            size_t last = piece.find_last_not_of(" \t");
            out.push_back(piece.substr(first, last - first + 1));
        }
        start = end + 1;
    }
    return out;
}

bool CMessageMgr::SendMail(const std::string& to, const std::string& subject, const std::string& body,
                           int store, int delaySeconds) {
    auto message = std::make_unique<MailArgument>(to, subject, body, store, delaySeconds);
    if (!PostCommand(kCommandSendMail, kNoTimeLimit, message.get(), DiscardAs<MailArgument>)) {
        return false;
    }
    message.release();  // the command handler owns it now
    return true;
}

bool CMessageMgr::SendSMS(const std::string& number, const std::string& text, int delaySeconds) {
    auto message = std::make_unique<SMSArgument>(number, text, delaySeconds);
    if (!PostCommand(kCommandSendSms, kNoTimeLimit, message.get(), DiscardAs<SMSArgument>)) {
        return false;
    }
    message.release();
    return true;
}

void CMessageMgr::HandleCommandChildWithArgument(int command, CPostArgumentMessage* message) {
    if (command == kCommandSendMail) {
        if (auto* mail = dynamic_cast<MailArgument*>(message)) {
            SendMailAsync(mail);
        }
    } else if (command == kCommandSendSms) {
        if (auto* sms = dynamic_cast<SMSArgument*>(message)) {
            SendSMSAsync(sms);
        }
    }
}

void CMessageMgr::LogFailure(const char* resumeKey, const char* descriptionKey, const std::string& who,
                             const std::string& why) {
    CLogMgr::Log(GetMgrId(), kSeverityError,
                 FitBuffer(SafeSprintf(CTextsMgr::Text(resumeKey), who), kResumeBuffer),
                 FitBuffer(SafeSprintf(CTextsMgr::Text(descriptionKey), who, why), kDescriptionBuffer));
}

bool CMessageMgr::SendSMSAsync(SMSArgument* sms) {
    CLogMgr::Log(GetMgrId(), kSeverityInfo,
                 FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_SMS_RESUME"), sms->number),
                           kResumeBuffer),
                 FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_SMS_DESCRIPTION"), sms->number),
                           kDescriptionBuffer));
    auto fail = [&](const std::string& why) {
        LogFailure("EVENT_LOG_MGR_ACTION_SMS_FAILED_RESUME", "EVENT_LOG_MGR_ACTION_SMS_FAILED_DESCRIPTION",
                   sms->number, why);
        return false;
    };
    try {
        auto& library = platform::Services::get().sms();
        platform::SmsHandle handle = 0;
        platform::Result r = library.open(platform::SMS_MSGTYPE_TEXT, platform::SMS_MODE_SEND, handle);
        if (r != platform::ERROR_SUCCESS) {
            return fail(Hex(r));
        }
        platform::SmsAddress destination;
        destination.type = platform::SMSAT_UNKNOWN;
        destination.address = FitBuffer(sms->number, platform::SMS_MAX_ADDRESS_LENGTH + 1);
        std::vector<uint8_t> provider(platform::SMS_TEXT_PROVIDER_DATA_SIZE, 0);
        provider[platform::SMS_PROVIDER_MESSAGE_CLASS_OFFSET] = 1;  // message class 1, no header data
        const std::string units = Utf8ToUtf16Le(sms->text);
        const std::vector<uint8_t> data(units.begin(), units.end());
        uint32_t id = 0;
        r = library.send(handle, destination, data, provider, platform::SMSDE_OPTIMAL,
                         platform::SMS_OPTION_DELIVERY_NONE, id);
        library.close(handle);
        if (r != platform::ERROR_SUCCESS) {
            return fail(Hex(r));
        }
        return true;
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

bool CMessageMgr::SendMailAsync(MailArgument* mail) {
    CLogMgr::Log(
        GetMgrId(), kSeverityInfo,
        FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_MAIL_RESUME"), mail->to), kResumeBuffer),
        FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_MAIL_DESCRIPTION"), mail->to),
                  kDescriptionBuffer));
    auto fail = [&](const std::string& why) {
        LogFailure("EVENT_LOG_MGR_ACTION_MAIL_FAILED_RESUME", "EVENT_LOG_MGR_ACTION_MAIL_FAILED_DESCRIPTION",
                   mail->to, why);
        return false;
    };
    int index = mail->store;
    if (index == kConfiguredStore) {
        std::string setting;
        try {
            CConfigurationZentrova::GetInstance()->GetStringParameter("mail_provider", setting);
        } catch (const std::exception&) {
            setting.clear();  // no setting: the first mail account
        }
        index = StoreOfSetting(setting);
    }
    try {
        auto& stores = platform::Services::get().messageStores();
        MapiScope scope(stores);
        platform::Result r = stores.logon(scope.session());
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(Hex(r));
        }
        std::vector<platform::MessageStoreRow> rows;
        r = stores.getStores(scope.session(), rows);
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(Hex(r));
        }
        if (index < 0 || static_cast<size_t>(index) >= rows.size()) {
            Failed(platform::MAPI_E_NOT_FOUND, __FILE__, __LINE__);
            return fail(Hex(platform::MAPI_E_NOT_FOUND));
        }
        const platform::MessageStoreRow& row = rows[static_cast<size_t>(index)];
        if (!row.entryId) {
            ShowErrorText(kMissingEntryId);
            return fail(kMissingEntryId);
        }
        platform::MapiObject store = 0;
        r = stores.openStore(scope.session(), *row.entryId, store);
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(Hex(r));
        }
        scope.keep(store);
        std::vector<uint8_t> folderId;
        r = stores.getBinaryProperty(store, platform::PR_CE_IPM_DRAFTS_ENTRYID, folderId);
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(Hex(r));
        }
        platform::MapiObject folder = 0;
        r = stores.openFolder(store, folderId, folder);
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(Hex(r));
        }
        scope.keep(folder);
        platform::MapiObject message = 0;
        r = stores.createMessage(folder, message);
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(Hex(r));
        }
        scope.keep(message);
        std::vector<platform::MessageRecipient> recipients;
        for (const std::string& address : SplitRecipients(mail->to)) {
            recipients.push_back({platform::MAPI_TO, "SMTP", address});
        }
        // Empty copy and blind-copy entries, as the messaging system expects them.
        recipients.push_back({platform::MAPI_CC, "SMTP", ""});
        recipients.push_back({platform::MAPI_BCC, "SMTP", ""});
        std::string problem;
        for (platform::Result step :
             {stores.modifyRecipients(message, recipients),
              stores.setNumberProperty(message, platform::PR_MESSAGE_FLAGS, platform::MSGFLAG_UNSENT),
              stores.setTextProperty(message, platform::PR_SUBJECT, mail->subject),
              stores.writeBody(message, mail->body)}) {
            if (Failed(step, __FILE__, __LINE__)) {
                return fail(Hex(step));
            }
        }
        r = stores.submitMessage(message, problem);
        if (Failed(r, __FILE__, __LINE__)) {
            return fail(problem.empty() ? Hex(r) : problem);
        }
        return true;
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

bool CMessageMgr::GetMessagesProviders(std::vector<std::string>& names) {
    return ListStores(names, true);
}

bool CMessageMgr::ListStores(std::vector<std::string>& names, bool report) {
    names.clear();
    try {
        auto& stores = platform::Services::get().messageStores();
        MapiScope scope(stores);
        if (Failed(stores.logon(scope.session()), __FILE__, __LINE__)) {
            return false;
        }
        std::vector<platform::MessageStoreRow> rows;
        if (Failed(stores.getStores(scope.session(), rows), __FILE__, __LINE__)) {
            return false;
        }
        for (const platform::MessageStoreRow& row : rows) {
            if (!row.entryId && report) {
                ShowErrorText(kMissingEntryId);
            }
            // Listed either way, so that positions stay those of the stores table.
            names.push_back(row.displayName);
        }
        return true;
    } catch (const std::exception& e) {
        LogFormateado(1, "No message stores: %s", e.what());
        return false;
    }
}

int CMessageMgr::GetSMSAccount() {
    std::vector<std::string> names;
    GetMessagesProviders(names);
    return SmsPosition(names);
}

int CMessageMgr::SmsPosition(const std::vector<std::string>& names) {
    const std::string sms = CTextsMgr::Text("SMS");
    int found = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == sms) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

int CMessageMgr::StoreIndexOfSetting(const std::string& setting) {
    if (setting.empty() || setting.find_first_not_of("0123456789") != std::string::npos ||
        setting.size() > 6) {
        return kConfiguredStore;
    }
    return std::stoi(setting);
}

int CMessageMgr::StoreOfSetting(const std::string& setting) {
    if (int index = StoreIndexOfSetting(setting); index != kConfiguredStore) {
        return index;
    }
    // Only looked at here: a store without an entry identifier is reported when it is used.
    std::vector<std::string> names;
    ListStores(names, false);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!setting.empty() && names[i] == setting) {
            return static_cast<int>(i);
        }
    }
    const int sms = SmsPosition(names);
    for (size_t i = 0; i < names.size(); ++i) {
        if (static_cast<int>(i) != sms) {
            return static_cast<int>(i);
        }
    }
    return names.empty() ? kConfiguredStore : 0;
}
