#pragma once

#include <filesystem>
#include <string>

struct sqlite3;

namespace platform {

// An open SQLite database file. Opening fails with a PlatformError that names the file and the
// problem. Connections wait up to `busyTimeoutMs` for another process's write lock.
class CSqliteConnection {
  public:
    CSqliteConnection(const std::filesystem::path& file, bool create, int busyTimeoutMs = 5000);
    ~CSqliteConnection();
    CSqliteConnection(const CSqliteConnection&) = delete;
    CSqliteConnection& operator=(const CSqliteConnection&) = delete;

    // Runs statements without results; throws PlatformError on failure.
    void exec(const std::string& sql);
    // Same, but returns false instead of throwing.
    bool tryExec(const std::string& sql);
    // Switches to write-ahead logging with synchronous=NORMAL (every commit survives a crash of
    // the program, one fsync per checkpoint). The switch needs a moment of exclusive access, which
    // the busy wait does not cover: it is retried while another process holds the file. Throws a
    // PlatformError naming the file when the mode cannot be had.
    void useWriteAheadLog();
    int changes() const;
    long long lastInsertRowId() const;
    // Changes whenever another connection commits to the file.
    long long dataVersion();
    std::string lastError() const;
    const std::filesystem::path& file() const { return _file; }
    sqlite3* handle() const { return _db; }

  private:
    std::filesystem::path _file;
    sqlite3* _db = nullptr;
};

}  // namespace platform
