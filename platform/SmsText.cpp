#include "platform/SmsText.h"

namespace platform {

namespace {

void putUtf8(std::string& out, uint32_t cp) {
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
}

}  // namespace

bool validPhoneNumber(const std::string& number) {
    if (number.empty() || number.size() > 40) {
        return false;
    }
    for (size_t i = 0; i < number.size(); ++i) {
        char c = number[i];
        bool digit = c >= '0' && c <= '9';
        if (!digit && !(i == 0 && c == '+') && c != '*' && c != '#') {
            return false;
        }
    }
    return true;
}

std::string utf16ToUtf8(const std::vector<uint8_t>& data) {
    std::string out;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        uint32_t unit = data[i] | (data[i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < data.size()) {
            uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                putUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        putUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return out;
}

bool validTextSms(const SmsAddress& destination, const std::vector<uint8_t>& data,
                  const std::vector<uint8_t>& providerData) {
    return destination.address.size() <= SMS_MAX_ADDRESS_LENGTH && validPhoneNumber(destination.address) &&
           data.size() % 2 == 0 && providerData.size() == SMS_TEXT_PROVIDER_DATA_SIZE &&
           providerData[SMS_PROVIDER_MESSAGE_CLASS_OFFSET] <= 3;
}

}  // namespace platform
