#pragma once

namespace platform {

class CSqliteConnection;

// A write transaction that is rolled back unless committed. It starts IMMEDIATE so that a writer
// waits for another process's write lock (busy time-out) instead of failing when it upgrades.
class CSqliteTransaction {
  public:
    explicit CSqliteTransaction(CSqliteConnection& db);
    ~CSqliteTransaction();
    CSqliteTransaction(const CSqliteTransaction&) = delete;
    CSqliteTransaction& operator=(const CSqliteTransaction&) = delete;

    // Throws PlatformError when the commit fails (the transaction is then rolled back).
    void commit();

  private:
    CSqliteConnection& _db;
    bool _done = false;
};

}  // namespace platform
