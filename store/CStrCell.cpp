#include "store/CStrCell.h"

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"

CStrCell::CStrCell(int idCell, int idPlace) : _idCell(idCell), _idPlace(idPlace) {}

std::string& CStrCell::toString(std::string& buffer) const {
    buffer = FitBuffer(
        SafeSprintf("CStrCell:[%d,%d,%d,%s,%s]", GetCEOID(), _idCell, _idPlace, _longitud, _latitud),
        kTextBuffer);
    return buffer;
}

void CStrCell::Reset() {
    _idCell = 0;
    _idPlace = 0;
    _longitud.clear();
    _latitud.clear();
}

bool CStrCell::HasGPSInfo() const {
    return CountChars(GetLatitud()) > 2 && CountChars(GetLongitud()) > 2;
}

void CStrCell::RemoveGPSInfo() {
    SetLongitud("");
    SetLatitud("");
}
