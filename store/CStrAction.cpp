#include "store/CStrAction.h"

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "platform/Services.h"

namespace {

// The phone's local time; a zero time when no phone services are set up (a record built before
// its context exists), so that building a record never fails.
SYSTEMTIME LocalNow() {
    return platform::Services::isInstalled() ? platform::Services::get().clock().localTime() : SYSTEMTIME{};
}

}  // namespace

CStrAction::CStrAction() {
    Reset();
}

CStrAction::CStrAction(const CStrAction& other) : CStrBase(other) {
    CopyFields(other);
}

CStrAction& CStrAction::operator=(const CStrAction& other) {
    CStrBase::operator=(other);
    CopyFields(other);
    return *this;
}

void CStrAction::CopyFields(const CStrAction& other) {
    _idAutonumeric = other._idAutonumeric;
    _id = other._id;
    _idPeriod = other._idPeriod;
    _type = other._type;
    _delay = other._delay;
    _szOp1 = other._szOp1;
    _szOp2 = other._szOp2;
    _szOp3 = other._szOp3;
    _intOp1 = other._intOp1;
    SetIntOp2(other._intOp2);
    _intOp3 = other._intOp3;
    _stOp1 = other._stOp1;
    _stOp2 = other._stOp2;
    _stOp3 = other._stOp3;
}

std::string& CStrAction::toString(std::string& buffer) const {
    buffer = FitBuffer(
        SafeSprintf("CStrAction:[%d,%d,%d,%d,%d,%d,%s,%s,%s,%d,%d,%d]", GetCEOID(), _type, _idAutonumeric,
                    _id, _idPeriod, _delay, _szOp1, _szOp2, _szOp3, _intOp1, _intOp2, _intOp3),
        kTextBuffer);
    return buffer;
}

void CStrAction::Reset() {
    _id = -1;
    _idPeriod = -1;
    _delay = 0;
    _szOp1.clear();
    _szOp2.clear();
    _szOp3.clear();
    _intOp1 = -1;
    _intOp2 = 0;
    _intOp3 = -1;
    _stOp1 = _stOp2 = _stOp3 = LocalNow();
}

bool CStrAction::IsEnabled() const {
    return (_intOp2 & 1) == 0;
}

bool CStrAction::IsEnabledToday() const {
    const int dayOfWeek = LocalNow().wDayOfWeek;
    return IsEnabledOnWeekDay(dayOfWeek == 0 ? 7 : dayOfWeek);
}

bool CStrAction::IsEnabledOnWeekDay(int weekDay) const {
    if (weekDay < 1 || weekDay > 7) {
        return false;
    }
    // The digit is taken arithmetically rather than by its position in the printed text, so a
    // value of more than eight digits cannot shift the days.
    int64_t power = 1;
    for (int i = 0; i < weekDay; ++i) {
        power *= 10;
    }
    const int64_t value = _intOp2 < 0 ? -static_cast<int64_t>(_intOp2) : _intOp2;
    return (value / power) % 10 == 0;
}
