#include "platform/linux/CLinuxMessageStores.h"

#include "platform/CSmtpMail.h"

namespace platform::lnx {

CLinuxMessageStores::CLinuxMessageStores(IRegistry& registry, ISms* sms)
    : CMessageStoresBase(registry), _sms(sms) {}

Result CLinuxMessageStores::sendMail(const std::string& account, const Message& message,
                                     std::string& problem) {
    CSmtpMail::Server server;
    CSmtpMail::Mail mail;
    prepareMail(account, message, server, mail);
    if (server.url.empty()) {
        problem = "the account " + account + " has no outgoing mail server (SmtpUrl)";
        return MAPI_E_NETWORK_ERROR;
    }
    return CSmtpMail::Send(server, mail, problem) ? MAPI_S_OK : MAPI_E_NETWORK_ERROR;
}

Result CLinuxMessageStores::sendSms(const Message& message, std::string& problem) {
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

}  // namespace platform::lnx
