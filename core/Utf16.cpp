#include "core/Utf16.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void putUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one code point at `i`, advancing it; invalid sequences give U+FFFD for one byte.
char32_t nextUtf8(std::string_view s, size_t& i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        ++i;
        return kReplacement;
    }
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    i += len;
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return kReplacement;
    }
    return cp;
}

// The four bytes of `x` (its low 32 bits), each followed by a zero byte, in memory order on a
// little-endian machine: 0xDDCCBBAA gives 0x00DD00CC00BB00AA.
constexpr uint64_t spreadBytes(uint64_t x) {
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFULL;
    return (x | (x << 8)) & 0x00FF00FF00FF00FFULL;
}
static_assert(spreadBytes(0xDDCCBBAAULL) == 0x00DD00CC00BB00AAULL);

}  // namespace

std::string Utf8ToUtf16Le(std::string_view utf8) {
    std::string out;
    AppendUtf8AsUtf16Le(utf8, out);
    return out;
}

void AppendUtf8AsUtf16Le(std::string_view utf8, std::string& out) {
    // No byte of UTF-8 gives more than two bytes of UTF-16 (an invalid one gives U+FFFD, two
    // bytes; four bytes give a surrogate pair, four): room for twice the input is enough.
    const size_t start = out.size();
    out.resize(start + 2 * utf8.size());
    char* p = out.data() + start;
    auto unit = [&p](uint32_t u) {
        *p++ = static_cast<char>(u & 0xFF);
        *p++ = static_cast<char>(u >> 8);
    };
    for (size_t i = 0; i < utf8.size();) {
        // Eight plain ASCII bytes at a time: each becomes its byte and a zero.
        while (i + 8 <= utf8.size()) {
            uint64_t word;
            std::memcpy(&word, utf8.data() + i, 8);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            if constexpr (std::endian::native == std::endian::little) {
                // Each byte moved to the low half of its own 16-bit lane: two 8-byte stores
                // instead of sixteen byte stores (which the compiler cannot merge: the output
                // may alias the input as far as it knows).
                const uint64_t low = spreadBytes(word & 0xFFFFFFFFULL);
                const uint64_t high = spreadBytes(word >> 32);
                std::memcpy(p, &low, 8);
                std::memcpy(p + 8, &high, 8);
            } else {
                for (int k = 0; k < 8; ++k) {
                    p[2 * k] = utf8[i + static_cast<size_t>(k)];
                    p[2 * k + 1] = 0;
                }
            }
            p += 16;
            i += 8;
        }
        if (i >= utf8.size()) {
            break;
        }
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            unit(byte);
            ++i;
            continue;
        }
        char32_t c = nextUtf8(utf8, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            unit(0xD800 + (c >> 10));
            unit(0xDC00 + (c & 0x3FF));
        } else {
            unit(c);
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](size_t k) {
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[k]) |
                                     (static_cast<unsigned char>(bytes[k + 1]) << 8));
    };
    size_t n = bytes.size() / 2 * 2;
    for (size_t i = 0; i < n; i += 2) {
        uint16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 2 < n) {
            uint16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                putUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        putUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    if (bytes.size() % 2) {
        putUtf8(out, kReplacement);
    }
    return out;
}
