#include "platform/CSqliteStatement.h"

#include <sqlite3.h>

#include "platform/CSqliteConnection.h"
#include "platform/PlatformError.h"

namespace platform {

CSqliteStatement::CSqliteStatement(CSqliteConnection& db, const std::string& sql) : _db(db) {
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &_stmt, nullptr) != SQLITE_OK) {
        throw PlatformError(db.file().string() + ": " + db.lastError());
    }
}

CSqliteStatement::~CSqliteStatement() {
    sqlite3_finalize(_stmt);
}

CSqliteStatement& CSqliteStatement::bind(int index, long long value) {
    sqlite3_bind_int64(_stmt, index, value);
    return *this;
}

CSqliteStatement& CSqliteStatement::bind(int index, const std::string& value) {
    sqlite3_bind_text(_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
}

CSqliteStatement& CSqliteStatement::bind(int index, const std::vector<uint8_t>& value) {
    if (value.empty()) {
        // An empty vector's data() may be null, and a null pointer would bind SQL NULL instead
        // of an empty blob.
        sqlite3_bind_zeroblob(_stmt, index, 0);
    } else {
        sqlite3_bind_blob(_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    return *this;
}

CSqliteStatement& CSqliteStatement::bindNull(int index) {
    sqlite3_bind_null(_stmt, index);
    return *this;
}

bool CSqliteStatement::step() {
    int rc = sqlite3_step(_stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    std::string why = _db.lastError();
    sqlite3_reset(_stmt);
    throw PlatformError(_db.file().string() + ": " + why);
}

void CSqliteStatement::run() {
    while (step()) {
    }
}

void CSqliteStatement::reset() {
    sqlite3_reset(_stmt);
    sqlite3_clear_bindings(_stmt);
}

long long CSqliteStatement::columnInt(int index) const {
    return sqlite3_column_int64(_stmt, index);
}

std::string CSqliteStatement::columnText(int index) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(_stmt, index));
    int n = sqlite3_column_bytes(_stmt, index);
    return p ? std::string(p, static_cast<size_t>(n)) : std::string();
}

std::vector<uint8_t> CSqliteStatement::columnBlob(int index) const {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(_stmt, index));
    int n = sqlite3_column_bytes(_stmt, index);
    return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
}

bool CSqliteStatement::columnIsNull(int index) const {
    return sqlite3_column_type(_stmt, index) == SQLITE_NULL;
}

}  // namespace platform
