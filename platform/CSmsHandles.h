#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/CHandleSet.h"
#include "platform/ISms.h"

namespace platform {

// The open handles of an SMS library that knows the text protocol and sending only, and the ids
// of the messages it sent. Safe to use from several threads.
class CSmsHandles {
  public:
    // SMS_E_INVALIDPROTOCOL for a protocol other than SMS_MSGTYPE_TEXT, ERROR_INVALID_PARAMETER
    // for a mode other than sending; `handle` is 0 then.
    Result open(const std::string& protocol, uint32_t mode, SmsHandle& handle);
    // ERROR_INVALID_HANDLE for a handle that is not open.
    Result close(SmsHandle handle);
    bool isOpen(SmsHandle handle);
    // The checks before a text SMS is sent: ERROR_INVALID_HANDLE for a handle that is not open,
    // SMS_E_INVALIDDATA when validTextSms refuses the message, else ERROR_SUCCESS.
    Result checkSend(SmsHandle handle, const SmsAddress& destination, const std::vector<uint8_t>& data,
                     const std::vector<uint8_t>& providerData);
    // The id of the next message sent, from 1 on.
    uint32_t nextMessageId();

  private:
    CHandleSet _handles;
    std::atomic<uint32_t> _nextMessage{1};
};

}  // namespace platform
