#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ISms.h"

namespace platform {

// A phone number: digits, '*' and '#', a leading '+', 1 to 40 characters.
bool validPhoneNumber(const std::string& number);

// UTF-16LE bytes as UTF-8 text (unpaired surrogates become U+FFFD; an odd last byte is ignored).
std::string utf16ToUtf8(const std::vector<uint8_t>& data);

// Whether a text SMS may be sent as given: the destination is a phone number within
// SMS_MAX_ADDRESS_LENGTH, the text data has an even length and the provider data is the text
// protocol's (SMS_TEXT_PROVIDER_DATA_SIZE bytes, message class 0 to 3). False means
// SMS_E_INVALIDDATA.
bool validTextSms(const SmsAddress& destination, const std::vector<uint8_t>& data,
                  const std::vector<uint8_t>& providerData);

}  // namespace platform
