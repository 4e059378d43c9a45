#include "store/CStrLAC.h"

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"

CStrLAC::CStrLAC(int idLac, int idPlace) : _idLac(idLac), _idPlace(idPlace) {}

std::string& CStrLAC::toString(std::string& buffer) const {
    buffer = FitBuffer(SafeSprintf("CStrLAC:[%d,%d,%d]", GetCEOID(), _idLac, _idPlace), kTextBuffer);
    return buffer;
}

void CStrLAC::Reset() {
    _idLac = 0;
    _idPlace = 0;
    SetCEOID(0);
}
