#include "platform/CSqliteTransaction.h"

#include "platform/CSqliteConnection.h"

namespace platform {

CSqliteTransaction::CSqliteTransaction(CSqliteConnection& db) : _db(db) {
    _db.exec("BEGIN IMMEDIATE");
}

CSqliteTransaction::~CSqliteTransaction() {
    if (!_done) {
        _db.tryExec("ROLLBACK");
    }
}

void CSqliteTransaction::commit() {
    _db.exec("COMMIT");
    _done = true;
}

}  // namespace platform
