#include "platform/CSqliteConnection.h"

#include <sqlite3.h>

#include <cctype>
#include <chrono>
#include <thread>

#include "platform/CSqliteStatement.h"
#include "platform/PlatformError.h"

namespace platform {

CSqliteConnection::CSqliteConnection(const std::filesystem::path& file, bool create, int busyTimeoutMs)
    : _file(file) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    if (create) {
        flags |= SQLITE_OPEN_CREATE;
    }
    int rc = sqlite3_open_v2(file.c_str(), &_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string why = _db ? sqlite3_errmsg(_db) : sqlite3_errstr(rc);
        sqlite3_close(_db);
        _db = nullptr;
        throw PlatformError(file.string() + ": cannot open: " + why, rc);
    }
    sqlite3_busy_timeout(_db, busyTimeoutMs);
    // In write-ahead mode the last connection to close used to delete the log and its index, and
    // the next opening created both again: two new files per opening, which costs more than the
    // opening itself. They are kept instead; see the destructor for why a kept log is harmless.
    int keep = 1;
    sqlite3_file_control(_db, "main", SQLITE_FCNTL_PERSIST_WAL, &keep);
    // A file that is not a database is only noticed on the first read: check it here so that
    // the caller gets the error at once.
    if (!tryExec("SELECT count(*) FROM sqlite_master")) {
        std::string why = lastError();
        const int code = sqlite3_errcode(_db);
        sqlite3_close(_db);
        _db = nullptr;
        throw PlatformError(file.string() + ": " + why, code);
    }
}

CSqliteConnection::~CSqliteConnection() {
    // The last connection checkpoints the log as it closes. A size limit of 0 then empties the kept
    // log file, so that no old frame is left in it to be applied to a database file copied over
    // this one later (a restore, an import).
    if (_db) {
        sqlite3_exec(_db, "PRAGMA journal_size_limit=0", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(_db);
}

void CSqliteConnection::exec(const std::string& sql) {
    if (!tryExec(sql)) {
        throw PlatformError(_file.string() + ": " + lastError(), _db ? sqlite3_errcode(_db) : 0);
    }
}

bool CSqliteConnection::tryExec(const std::string& sql) {
    return sqlite3_exec(_db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

int CSqliteConnection::changes() const {
    return sqlite3_changes(_db);
}

long long CSqliteConnection::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(_db);
}

long long CSqliteConnection::dataVersion() {
    CSqliteStatement st(*this, "PRAGMA data_version");
    return st.step() ? st.columnInt(0) : 0;
}

std::string CSqliteConnection::lastError() const {
    return _db ? sqlite3_errmsg(_db) : "not open";
}

void CSqliteConnection::useWriteAheadLog() {
    const std::string where = _file.string() + ": ";
    std::string mode;
    for (int attempt = 0;; ++attempt) {
        try {
            CSqliteStatement st(*this, "PRAGMA journal_mode=WAL");
            mode = st.step() ? st.columnText(0) : std::string();
            break;
        } catch (const PlatformError&) {
            if (attempt >= 20) {
                throw PlatformError(where + "cannot switch to write-ahead logging: " + lastError());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    std::string lower;
    for (char c : mode) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower != "wal") {
        throw PlatformError(where + "cannot use write-ahead logging (journal mode stays '" + mode +
                            "'); is the file or its folder read-only?");
    }
    exec("PRAGMA synchronous=NORMAL");
}

}  // namespace platform
