#include "platform/sim/CSimSms.h"

#include <cstdio>

#include "platform/PlatformError.h"

namespace platform::sim {

std::string CSimSms::timeText(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return buf;
}

CSimSms::CSimSms(std::shared_ptr<CSimPhone> phone, IClock& clock) : _phone(std::move(phone)), _clock(clock) {}

Result CSimSms::open(const std::string& protocol, uint32_t mode, SmsHandle& handle) {
    return _handles.open(protocol, mode, handle);
}

Result CSimSms::close(SmsHandle handle) {
    return _handles.close(handle);
}

Result CSimSms::send(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                     const std::vector<uint8_t>& providerData, uint32_t /*encoding*/, uint32_t /*options*/,
                     uint32_t& messageId) {
    messageId = 0;
    if (Result r = _handles.checkSend(handle, destination, data, providerData); r != ERROR_SUCCESS) {
        return r;
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
    messageId = _handles.nextMessageId();
    return ERROR_SUCCESS;
}

}  // namespace platform::sim
