#pragma once

#include "core/CBaseException.h"

// A failure of the database or of the configuration store.
class CExceptionDB : public CBaseException {
  public:
    using CBaseException::CBaseException;
    CExceptionDB() = default;
    CExceptionDB(const CExceptionDB&) = default;
    CExceptionDB& operator=(const CExceptionDB&) = default;
};
