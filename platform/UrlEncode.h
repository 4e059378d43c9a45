#pragma once

#include <string>

namespace platform {

// `text` (UTF-8) as a value of a URL's query: letters, digits and "-._~" stay, every other byte
// becomes %XX, so "&", "=", "#", "+" and blanks in a value cannot change the request's fields.
std::string UrlEncode(const std::string& text);

}  // namespace platform
