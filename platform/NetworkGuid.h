#pragma once

#include <string>

namespace platform {

// The canonical text form of a network identifier: "{" 8-4-4-4-12 hexadecimal digits "}" in upper
// case. False (and `canonical` untouched) when `text` is not one; the braces may be left out.
bool ParseNetworkGuid(const std::string& text, std::string& canonical);

}  // namespace platform
