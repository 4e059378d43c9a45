#pragma once

#include <memory>

#include "platform/CHome.h"
#include "store/CDB.h"

// The device database of a home, opened by zentrova-device for one change. Everything read and
// written between construction and Commit is one transaction of the database file, so a check
// (a name not used yet, a free time of day) still holds when the rows are written, even with the
// program or another tool working on the same file. A change that is not committed is undone.
class CToolDatabase {
  public:
    // Throws CExceptionDB when the home has no database yet (the program creates it at its first
    // start) or when it cannot be opened.
    explicit CToolDatabase(const platform::CHome& home);
    ~CToolDatabase();
    CToolDatabase(const CToolDatabase&) = delete;
    CToolDatabase& operator=(const CToolDatabase&) = delete;

    CDB& db() { return *_db; }
    // Makes the change durable. Throws CExceptionDB when it cannot be written.
    void Commit();

  private:
    std::unique_ptr<CDB> _db;
    bool _inBatch = false;
};
