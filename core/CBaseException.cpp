#include "core/CBaseException.h"

#include "core/MessageBoxes.h"

void CBaseException::ShowErrorBox() const {
    ErrorBox("Error:%s", _message);
}
