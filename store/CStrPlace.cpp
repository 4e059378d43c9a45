#include "store/CStrPlace.h"

#include <algorithm>
#include <utility>

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"

namespace {

// Compares two UTF-8 texts by their UTF-16 code units: characters above U+FFFF (surrogate pairs)
// sort before U+E000..U+FFFF, unlike in a plain byte comparison.
int CompareUtf16(const std::string& a, const std::string& b) {
    if (a == b) {
        return 0;
    }
    const std::string wa = Utf8ToUtf16Le(a);
    const std::string wb = Utf8ToUtf16Le(b);
    const size_t common = std::min(wa.size(), wb.size());
    for (size_t i = 0; i + 1 < common; i += 2) {
        const unsigned ua = static_cast<unsigned char>(wa[i]) | (static_cast<unsigned char>(wa[i + 1]) << 8);
        const unsigned ub = static_cast<unsigned char>(wb[i]) | (static_cast<unsigned char>(wb[i + 1]) << 8);
        if (ua != ub) {
            return ua < ub ? -1 : 1;
        }
    }
    if (wa.size() == wb.size()) {
        return 0;
    }
    return wa.size() < wb.size() ? -1 : 1;
}

}  // namespace

CStrPlace::CStrPlace(std::string name, std::string description, std::string image, int id)
    : _name(std::move(name)), _description(std::move(description)), _image(std::move(image)), _id(id) {}

std::string& CStrPlace::toString(std::string& buffer) const {
    buffer = FitBuffer(
        SafeSprintf("CStrPlace:[%d,%d,%s,%s,%s]", GetCEOID(), _id, _name, _description, _image), kTextBuffer);
    return buffer;
}

void CStrPlace::Reset() {
    _name.clear();
    _description.clear();
    _image.clear();
    _id = -1;
    SetCEOID(0);
}

bool CStrPlace::operator<(const CStrPlace& other) const {
    return CompareUtf16(_name, other._name) < 0;
}

bool CStrPlace::operator<=(const CStrPlace& other) const {
    return CompareUtf16(_name, other._name) <= 0;
}

bool CStrPlace::operator>(const CStrPlace& other) const {
    return CompareUtf16(_name, other._name) > 0;
}

bool CStrPlace::operator>=(const CStrPlace& other) const {
    return CompareUtf16(_name, other._name) >= 0;
}
