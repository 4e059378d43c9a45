#include "core/TextBuffer.h"

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string FitBuffer(std::string_view text, size_t bufferChars) {
    if (bufferChars == 0) {
        return {};
    }
    size_t keep = bufferChars - 1;
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (chars == keep) {
            return std::string(text.substr(0, i));
        }
        ++i;
        while (i < text.size() && isContinuation(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        ++chars;
    }
    return std::string(text);
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
