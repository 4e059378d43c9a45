#include "platform/sim/CSimSms.h"

#include <cstdio>

#include "platform/PlatformError.h"

namespace platform::sim {

std::string CSimSms::fromUtf16(const std::vector<uint8_t>& data) {
    std::string out;
    auto put = [&out](uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        uint32_t unit = data[i] | (data[i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < data.size()) {
            uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                put(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        put(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return out;
}

std::string CSimSms::timeText(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return buf;
}

CSimSms::CSimSms(std::shared_ptr<CSimPhone> phone, IClock& clock) : _phone(std::move(phone)), _clock(clock) {}

Result CSimSms::open(const std::string& protocol, uint32_t mode, SmsHandle& handle) {
    handle = 0;
    if (protocol != SMS_MSGTYPE_TEXT) {
        return SMS_E_INVALIDPROTOCOL;
    }
    if (mode != SMS_MODE_SEND) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard lock(_lock);
    handle = _next++;
    _open.insert(handle);
    return ERROR_SUCCESS;
}

Result CSimSms::close(SmsHandle handle) {
    std::lock_guard lock(_lock);
    return _open.erase(handle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

Result CSimSms::send(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                     const std::vector<uint8_t>& providerData, uint32_t /*encoding*/, uint32_t /*options*/,
                     uint32_t& messageId) {
    messageId = 0;
    {
        std::lock_guard lock(_lock);
        if (!_open.count(handle)) {
            return ERROR_INVALID_HANDLE;
        }
    }
    if (destination.address.size() > SMS_MAX_ADDRESS_LENGTH ||
        !CSimPhone::validPhoneNumber(destination.address) || data.size() % 2 != 0 ||
        providerData.size() != SMS_TEXT_PROVIDER_DATA_SIZE ||
        providerData[SMS_PROVIDER_MESSAGE_CLASS_OFFSET] > 3) {
        return SMS_E_INVALIDDATA;
    }
    CSimPhone::State s;
    try {
        s = _phone->state();
    } catch (const PlatformError&) {
        return ERROR_READ_FAULT;
    }
    if (!s.radio || !s.registered) {
        return SMS_E_NOSERVICE;
    }
    CSimPhone::OutboxEntry entry;
    entry.time = timeText(_clock.localTime());
    entry.kind = "sms";
    entry.to = destination.address;
    entry.text = fromUtf16(data);
    entry.transport = "sent";
    if (Result r = _phone->addToOutbox(entry); r != ERROR_SUCCESS) {
        return r;
    }
    std::lock_guard lock(_lock);
    messageId = _nextMessage++;
    return ERROR_SUCCESS;
}

}  // namespace platform::sim
