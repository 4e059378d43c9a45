#include "platform/sim/CSimMessageStores.h"

#include "platform/CSmtpMail.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimSms.h"

namespace platform::sim {

CSimMessageStores::CSimMessageStores(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock)
    : CMessageStoresBase(registry), _phone(std::move(phone)), _clock(clock) {}

Result CSimMessageStores::sendMail(const std::string& account, const Message& message, std::string& problem) {
    CSmtpMail::Server server;
    CSmtpMail::Mail mail;
    prepareMail(account, message, server, mail);
    std::string to;
    for (const std::string& address : mail.to) {
        to += (to.empty() ? "" : ";") + address;
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

Result CSimMessageStores::sendSms(const Message& message, std::string& problem) {
    for (const MessageRecipient& r : message.recipients) {
        if (r.address.empty()) {
            continue;
        }
        CSimPhone::OutboxEntry entry;
        entry.time = CSimSms::timeText(_clock.localTime());
        entry.kind = "sms";
        entry.store = kSmsStore;
        entry.to = r.address;
        entry.text = message.body;
        entry.transport = "sent";
        if (_phone->addToOutbox(entry) != ERROR_SUCCESS) {
            problem = "the outbox cannot keep the message";
            return MAPI_E_CALL_FAILED;
        }
    }
    return MAPI_S_OK;
}

}  // namespace platform::sim
