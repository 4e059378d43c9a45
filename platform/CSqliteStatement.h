#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace platform {

class CSqliteConnection;

// A prepared statement, finalized with the object. Bind indexes start at 1, column indexes at 0.
class CSqliteStatement {
  public:
    CSqliteStatement(CSqliteConnection& db, const std::string& sql);
    ~CSqliteStatement();
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    CSqliteStatement& bind(int index, long long value);
    CSqliteStatement& bind(int index, const std::string& value);
    CSqliteStatement& bind(int index, const std::vector<uint8_t>& value);
    CSqliteStatement& bindNull(int index);

    // True while a row is available; throws PlatformError on an error.
    bool step();
    // Runs a statement that returns no rows; throws on an error.
    void run();
    void reset();

    long long columnInt(int index) const;
    std::string columnText(int index) const;
    std::vector<uint8_t> columnBlob(int index) const;
    bool columnIsNull(int index) const;

  private:
    CSqliteConnection& _db;
    sqlite3_stmt* _stmt = nullptr;
};

}  // namespace platform
