#include "store/CStrPlace.h"

#include <algorithm>
#include <utility>

#include "core/CExceptionDB.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "store/CDB.h"

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

void CStrPlace::AddMySelfAndDefaultSchedulesAndActions(const std::vector<CStrAction>* actions) {
    CDB* db = CDB::GetInstance();
    if (!db) {
        throw CExceptionDB("The database is not open");
    }
    const std::string frameName = CTextsMgr::GetInstance()->GetText("NAME DEFAULT TIME FRAME");
    // The place with its frames and actions, or nothing: a place without its week is no place.
    CStrPlace written = *this;
    db->InOneChange([&] {
        db->GetTablePlaces()->Add(written);
        for (int day = 1; day <= 7; ++day) {
            CStrPeriod period;
            period.SetIdPlace(written.GetId());
            period.SetName(frameName);
            period.SetWeekDay(day);
            period.SetEnabled(1);
            period.SetAlwaysOn(0);
            db->GetTablePeriods()->Add(period);
            if (!actions) {
                continue;
            }
            for (const CStrAction& action : *actions) {
                CStrAction copy = action;
                copy.SetKey(-1);
                copy.SetCEOID(0);
                copy.SetIdPeriod(period.GetId());
                db->GetTableActions()->Add(copy);
            }
        }
    });
    *this = written;
}

void CStrPlace::ExportToXML(pugi::xml_node node) const {
    if (CDB* db = CDB::GetInstance()) {
        db->ExportPlace(*this, node);
    }
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
