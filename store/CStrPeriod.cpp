#include "store/CStrPeriod.h"

#include <utility>

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"

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
