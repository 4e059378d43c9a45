#pragma once

#include <string>
#include <string_view>

// Conversions for the files kept as UTF-16 little-endian without byte-order mark. Invalid input
// becomes U+FFFD; nothing is dropped silently.
std::string Utf8ToUtf16Le(std::string_view utf8);
// The same, appended to `out` (whose room is used again).
void AppendUtf8AsUtf16Le(std::string_view utf8, std::string& out);
std::string Utf16LeToUtf8(std::string_view bytes);
