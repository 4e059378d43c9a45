#include "core/TextBuffer.h"

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string FitBuffer(std::string_view text, size_t bufferChars) {
    return std::string(text.substr(0, FitLength(text, bufferChars)));
}

size_t FitLength(std::string_view text, size_t bufferChars) {
    if (bufferChars == 0) {
        return 0;
    }
    // A text of fewer bytes than room has fewer characters too.
    if (text.size() < bufferChars) {
        return text.size();
    }
    size_t keep = bufferChars - 1;
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (chars == keep) {
            return i;
        }
        ++i;
        while (i < text.size() && isContinuation(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        ++chars;
    }
    return text.size();
}

size_t CountChars(std::string_view text) {
    size_t chars = 0;
    for (char c : text) {
        if (!isContinuation(static_cast<unsigned char>(c))) {
            ++chars;
        }
    }
    return chars;
}
