#include "platform/CSmsHandles.h"

#include "platform/SmsText.h"

namespace platform {

Result CSmsHandles::open(const std::string& protocol, uint32_t mode, SmsHandle& handle) {
    handle = 0;
    if (protocol != SMS_MSGTYPE_TEXT) {
        return SMS_E_INVALIDPROTOCOL;
    }
    if (mode != SMS_MODE_SEND) {
        return ERROR_INVALID_PARAMETER;
    }
    handle = _handles.open();
    return ERROR_SUCCESS;
}

Result CSmsHandles::close(SmsHandle handle) {
    return _handles.close(handle);
}

bool CSmsHandles::isOpen(SmsHandle handle) {
    return _handles.isOpen(handle);
}

Result CSmsHandles::checkSend(SmsHandle handle, const SmsAddress& destination,
                              const std::vector<uint8_t>& data, const std::vector<uint8_t>& providerData) {
    if (!isOpen(handle)) {
        return ERROR_INVALID_HANDLE;
    }
    return validTextSms(destination, data, providerData) ? ERROR_SUCCESS : SMS_E_INVALIDDATA;
}

uint32_t CSmsHandles::nextMessageId() {
    return _nextMessage++;
}

}  // namespace platform
