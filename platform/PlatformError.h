#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Thrown when a platform service cannot be set up at all (for instance a database file that is
// not a database, or a home folder that cannot be written). The message names the file and the
// problem so that a tool can print it as it stands.
// `sqliteCode` is SQLite's result code when an SQLite call failed, else 0: it tells a damaged file
// from one that could not be read or written for another reason (a full disk, no permission).
class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(const std::string& what, int sqliteCode = 0)
        : std::runtime_error(what), _sqliteCode(sqliteCode) {}
    int sqliteCode() const { return _sqliteCode; }

  private:
    int _sqliteCode;
};

}  // namespace platform
