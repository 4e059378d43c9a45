#include "store/CStrPeriod.h"

#include <utility>

#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "platform/Services.h"
#include "store/CInstante.h"

CStrPeriod::CStrPeriod(int id, std::string name, int idPlace, const SYSTEMTIME& inicio,
                       const SYSTEMTIME& final)
    : _id(id), _idPlace(idPlace), _name(std::move(name)), _inicio(inicio), _final(final) {}

std::string& CStrPeriod::toString(std::string& buffer) const {
    buffer = FitBuffer(
        SafeSprintf("CStrPeriod:[%d,%d,%d,%d,%d,%s,%d,(%04d-%02d-%02d %02d:%02d),(%04d-%02d-%02d %02d:%02d)]",
                    GetCEOID(), _weekDay, _enabled, _alwaysOn, _id, _name, _idPlace, _inicio.wYear,
                    _inicio.wMonth, _inicio.wDay, _inicio.wHour, _inicio.wMinute, _final.wYear, _final.wMonth,
                    _final.wDay, _final.wHour, _final.wMinute),
        kTextBuffer);
    return buffer;
}

void CStrPeriod::Reset() {
    _id = -1;
    _idPlace = -1;
    _name.clear();
    _inicio = SYSTEMTIME{};
    _final = SYSTEMTIME{};
    _weekDay = 0;
    _enabled = 1;
    _alwaysOn = 0;
}

int CStrPeriod::EsMonoDia() const {
    return CInstante(_final) < CInstante(_inicio) && _final.wHour != 0 ? 0 : 1;
}

void CStrPeriod::SetCorrectDates() {
    if (_inicio.wYear == 0) {
        const SYSTEMTIME today = platform::Services::get().clock().localTime();
        _inicio.wYear = today.wYear;
        _inicio.wMonth = today.wMonth;
        _inicio.wDay = today.wDay;
        _inicio.wDayOfWeek = today.wDayOfWeek;
    }
    _final.wYear = _inicio.wYear;
    _final.wMonth = _inicio.wMonth;
    _final.wDay = _inicio.wDay;
    _final.wDayOfWeek = _inicio.wDayOfWeek;
    if (CInstante(_final) <= CInstante(_inicio)) {
        // Through midnight, or all day: the end is on the next day.
        DT_AddDiff(_final, 1, DT_DAY);
    }
}

int CStrPeriod::IsInstantInside(const SYSTEMTIME& begin, const SYSTEMTIME& target, const SYSTEMTIME& end) {
    LogSystemTime("stBegin:", begin);
    LogSystemTime("stTarget:", target);
    LogSystemTime("stEnd:", end);
    const int inside =
        CInstante::CompareSystemTimes(begin, target) <= 0 && CInstante::CompareSystemTimes(target, end) <= 0
            ? 1
            : 0;
    LogFormateado(0, "CStrPeriod::-IsInstantInside(%d)", inside);
    return inside;
}

int CStrPeriod::IsHappeningNow(const SYSTEMTIME& time) {
    std::string text;
    LogFormateado(0, "%s", toString(text));
    SetCorrectDates();
    return IsInstantInside(_inicio, time, _final);
}

int CStrPeriod::IsHappeningNow() {
    return IsHappeningNow(platform::Services::get().clock().localTime());
}

bool CStrPeriod::GetNextExecution(const SYSTEMTIME& from, SYSTEMTIME& out) {
    std::string text;
    LogFormateado(0, "%s", toString(text));
    SetCorrectDates();
    SYSTEMTIME next = from;
    // Moving by nothing checks the date and fills in its day of the week.
    if (_weekDay < 1 || _weekDay > 7 || !DT_AddDiff(next, 0, DT_DAY)) {
        return false;
    }
    const int fromDay = next.wDayOfWeek == 0 ? 7 : next.wDayOfWeek;
    int days = _weekDay - fromDay;
    if (days < 0) {
        days += 7;
    } else if (days == 0 && CInstante(_inicio) < CInstante(from)) {
        // Today's start has passed by the time asked about: next week's.
        days = 7;
    }
    next.wHour = _inicio.wHour;
    next.wMinute = _inicio.wMinute;
    next.wSecond = 0;
    next.wMilliseconds = 0;
    if (!DT_AddDiff(next, days, DT_DAY)) {
        return false;
    }
    out = next;
    if (DebugTraceEnabled()) {
        std::string fromText;
        std::string outText;
        CTextsMgr::GetInstance()->GetSystemTime(fromText, from);
        CTextsMgr::GetInstance()->GetSystemTime(outText, out);
        LogFormateado(0, "CStrPeriod::GetNextExecution[%s,%s,%s]", toString(text), fromText, outText);
    }
    return true;
}

void CStrPeriod::LogSystemTime(const char* label, const SYSTEMTIME& time) {
    LogFormateado(0, "%s %04d-%02d-%02d %02d:%02d:%02d", label, time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
}
