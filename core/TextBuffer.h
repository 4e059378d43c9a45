#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text of the system is UTF-8. A fixed buffer of N characters holds at most N-1 characters
// (code points) and a terminator; FitBuffer cuts a text to that, never inside a UTF-8 sequence.
std::string FitBuffer(std::string_view text, size_t bufferChars);
// How many bytes of `text` FitBuffer keeps.
size_t FitLength(std::string_view text, size_t bufferChars);

// Number of code points in a UTF-8 text (invalid bytes count one each).
size_t CountChars(std::string_view text);
