#include "platform/NetworkGuid.h"

#include <cctype>

namespace platform {

bool ParseNetworkGuid(const std::string& text, std::string& canonical) {
    std::string inner = text;
    if (inner.size() >= 2 && inner.front() == '{' && inner.back() == '}') {
        inner = inner.substr(1, inner.size() - 2);
    }
    static constexpr size_t kGroups[] = {8, 4, 4, 4, 12};
    std::string out = "{";
    size_t at = 0;
    for (size_t g = 0; g < 5; ++g) {
        if (g > 0) {
            if (at >= inner.size() || inner[at] != '-') {
                return false;
            }
            out += '-';
            ++at;
        }
        for (size_t i = 0; i < kGroups[g]; ++i, ++at) {
            if (at >= inner.size() || !std::isxdigit(static_cast<unsigned char>(inner[at]))) {
                return false;
            }
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(inner[at])));
        }
    }
    if (at != inner.size()) {
        return false;
    }
    canonical = out + "}";
    return true;
}

}  // namespace platform
