#include "platform/linux/CLinuxSms.h"

namespace platform::lnx {

CLinuxSms::CLinuxSms(std::shared_ptr<CLinuxModem> modem) : _modem(std::move(modem)) {}

Result CLinuxSms::open(const std::string& protocol, uint32_t mode, SmsHandle& handle) {
    return _handles.open(protocol, mode, handle);
}

Result CLinuxSms::close(SmsHandle handle) {
    return _handles.close(handle);
}

Result CLinuxSms::send(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                       const std::vector<uint8_t>& providerData, uint32_t /*encoding*/, uint32_t /*options*/,
                       uint32_t& messageId) {
    messageId = 0;
    if (Result r = _handles.checkSend(handle, destination, data, providerData); r != ERROR_SUCCESS) {
        return r;
    }
    const CLinuxModem::State s = _modem->state();
    if (!s.registered() || !s.hasMessaging) {
        return SMS_E_NOSERVICE;
    }
    std::string created;
    std::string error = _modem->sendText(destination.address, fromUtf16(data), &created);
    if (!error.empty()) {
        // Refused before there was a message: the modem could not keep it.
        return created.empty() ? ERROR_WRITE_FAULT : SMS_E_NOSERVICE;
    }
    messageId = _handles.nextMessageId();
    return ERROR_SUCCESS;
}

}  // namespace platform::lnx
