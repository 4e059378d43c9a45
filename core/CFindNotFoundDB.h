#pragma once

#include "core/CExceptionDB.h"

// A record that a table lookup did not find.
class CFindNotFoundDB : public CExceptionDB {
  public:
    using CExceptionDB::CExceptionDB;
    CFindNotFoundDB() = default;
    CFindNotFoundDB(const CFindNotFoundDB&) = default;
    CFindNotFoundDB& operator=(const CFindNotFoundDB&) = default;
};
