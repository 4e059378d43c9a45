#include "core/OwnerName.h"

#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "platform/Services.h"

bool ReadOwnerName(size_t bufferChars, std::string& name) {
    platform::RegValue value;
    if (platform::Services::get().registry().getValue(platform::RegRoot::CurrentUser, "ControlPanel\\Owner",
                                                      "Owner", value) != platform::ERROR_SUCCESS) {
        return false;
    }
    name.clear();
    if (value.type == platform::RegType::Sz) {
        name.assign(value.data.begin(), value.data.end());
    } else if (value.type == platform::RegType::Binary) {
        // The owner record starts with the name, UTF-16 up to its terminator.
        std::string bytes(value.data.begin(), value.data.end());
        for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
            if (bytes[at] == '\0' && bytes[at + 1] == '\0') {
                bytes.resize(at);
                break;
            }
        }
        name = Utf16LeToUtf8(bytes);
    } else {
        return false;
    }
    if (auto zero = name.find('\0'); zero != std::string::npos) {
        name.resize(zero);
    }
    name = FitBuffer(name, bufferChars);
    return true;
}
