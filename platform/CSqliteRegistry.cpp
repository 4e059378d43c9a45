#include "platform/CSqliteRegistry.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/CSqliteConnection.h"
#include "platform/CSqliteStatement.h"
#include "platform/CSqliteTransaction.h"
#include "platform/PlatformError.h"

// The file holds two tables:
//   reg_keys(root, path, parent, name)      one row per key; `path` is the key's full path without
//                                           leading or trailing backslash, `parent` its parent's
//                                           path ("" under the root), `name` its last component
//                                           in the case it was first written.
//   reg_values(root, key, name, type, data) one row per value; `key` is the path of its key.
// Paths and value names are compared with SQLite's NOCASE collation (ASCII letters without regard
// to case). The file's application_id marks it as a registry and user_version is its format.

namespace platform {

namespace {

constexpr int kApplicationId = 0x5A565247;  // "ZVRG"
constexpr int kFormat = 1;
constexpr auto kPollInterval = std::chrono::milliseconds(25);

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    " root INTEGER NOT NULL,"
    " path TEXT NOT NULL COLLATE NOCASE,"
    " parent TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " PRIMARY KEY(root, path)) WITHOUT ROWID;"
    "CREATE INDEX IF NOT EXISTS reg_keys_parent ON reg_keys(root, parent);"
    "CREATE TABLE IF NOT EXISTS reg_values("
    " root INTEGER NOT NULL,"
    " key TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " PRIMARY KEY(root, key, name));";

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

// True when `path` is `key` itself or lies below it.
bool isAtOrBelow(const std::string& path, const std::string& key) {
    if (key.empty()) {
        return true;
    }
    if (path.size() < key.size() || !equalsNoCase(path.substr(0, key.size()), key)) {
        return false;
    }
    return path.size() == key.size() || path[key.size()] == '\\';
}

// "\A\\B\" -> "A\B": leading, trailing and doubled backslashes do not count.
std::string normalizeKey(const std::string& key) {
    std::string out;
    out.reserve(key.size());
    size_t i = 0;
    while (i < key.size()) {
        size_t end = key.find('\\', i);
        if (end == std::string::npos) {
            end = key.size();
        }
        if (end > i) {
            if (!out.empty()) {
                out += '\\';
            }
            out.append(key, i, end - i);
        }
        i = end + 1;
    }
    return out;
}

std::string parentOf(const std::string& path) {
    size_t pos = path.rfind('\\');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string leafOf(const std::string& path) {
    size_t pos = path.rfind('\\');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

uint32_t dwordOf(const std::vector<uint8_t>& d) {
    return static_cast<uint32_t>(d[0]) | (static_cast<uint32_t>(d[1]) << 8) |
           (static_cast<uint32_t>(d[2]) << 16) | (static_cast<uint32_t>(d[3]) << 24);
}

std::vector<uint8_t> dwordBytes(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

// Does the change from `before` to `after` (nullopt: no such value) count for a watch with `mask`?
bool counts(const std::optional<RegValue>& before, const std::optional<RegValue>& after, uint32_t mask) {
    if (!before && !after) {
        return false;
    }
    if (!before || !after) {
        return true;  // created or deleted
    }
    if (before->type != after->type) {
        return true;
    }
    if (after->type == RegType::Dword && before->data.size() == 4 && after->data.size() == 4) {
        return ((dwordOf(before->data) ^ dwordOf(after->data)) & mask) != 0;
    }
    return before->data != after->data;
}

long long rootId(RegRoot root) {
    return static_cast<long long>(root);
}

const char* const kReadValue = "SELECT type, data FROM reg_values WHERE root = ?1 AND key = ?2 AND name = ?3";

std::optional<RegValue> readValue(CSqliteStatement& st, RegRoot root, const std::string& key,
                                  const std::string& name) {
    st.reset();
    st.bind(1, rootId(root)).bind(2, key).bind(3, name);
    std::optional<RegValue> out;
    if (st.step()) {
        RegValue v;
        v.type = static_cast<RegType>(static_cast<uint32_t>(st.columnInt(0)));
        v.data = st.columnBlob(1);
        out = std::move(v);
    }
    st.reset();  // ends the statement's read transaction
    return out;
}

std::optional<RegValue> readValue(CSqliteConnection& db, RegRoot root, const std::string& key,
                                  const std::string& name) {
    CSqliteStatement st(db, kReadValue);
    return readValue(st, root, key, name);
}

bool keyRowExists(CSqliteConnection& db, RegRoot root, const std::string& key) {
    if (key.empty()) {
        return true;  // the root itself
    }
    CSqliteStatement st(db, "SELECT 1 FROM reg_keys WHERE root = ?1 AND path = ?2");
    st.bind(1, rootId(root)).bind(2, key);
    return st.step();
}

// Creates the key and every missing parent; existing keys keep the case they were written in.
void ensureKey(CSqliteConnection& db, RegRoot root, const std::string& key) {
    if (key.empty() || keyRowExists(db, root, key)) {
        return;
    }
    CSqliteStatement st(db,
                        "INSERT OR IGNORE INTO reg_keys(root, path, parent, name) VALUES(?1, ?2, ?3, ?4)");
    size_t pos = 0;
    while (true) {
        size_t end = key.find('\\', pos);
        std::string path = key.substr(0, end);
        st.reset();
        st.bind(1, rootId(root)).bind(2, path).bind(3, parentOf(path)).bind(4, leafOf(path));
        st.run();
        if (end == std::string::npos) {
            break;
        }
        pos = end + 1;
    }
}

}  // namespace

struct CSqliteRegistry::Impl {
    struct Watch {
        RegRoot root = RegRoot::LocalMachine;
        std::string key;  // normalized
        std::string name;
        uint32_t mask = 0;
        bool toQueue = false;
        std::string queueName;
        std::shared_ptr<RegNotifyCallback> callback;
        std::optional<RegValue> last;  // last known value, nullopt when missing
    };
    struct Delivery {
        HREGNOTIFY handle;
        RegValue value;
    };

    Impl(const std::filesystem::path& f, IMessageQueues& q) : file(f), queues(q) {
        db = std::make_unique<CSqliteConnection>(file, true);
        setUp();
    }

    ~Impl() {
        {
            std::lock_guard lock(watchLock);
            stop = true;
        }
        watchCv.notify_all();
        if (thread.joinable()) {
            if (std::this_thread::get_id() == thread.get_id()) {
                // Destroyed from one of its own callbacks, which is not supported: the thread
                // cannot wait for itself. Detach rather than terminate the process.
                thread.detach();
            } else {
                thread.join();
            }
        }
    }

    void setUp();
    void runNotifications();
    bool rescanLocked();
    void deliver(const Delivery& d, bool toQueue, const std::string& queueName,
                 const std::shared_ptr<RegNotifyCallback>& callback);
    // After a commit of this process (called with dbLock held): records the new value of every
    // watch that `affected` selects and queues a delivery when the change counts.
    template <typename Affected>
    void changedHere(Affected affected, const std::optional<RegValue>& now);
    // A watch of `name` (empty: the whole key) in `key` of `root` for the changes in `mask`; the
    // caller adds where it reports to.
    static Watch watchOf(RegRoot root, const std::string& key, const std::string& name, uint32_t mask) {
        Watch w;
        w.root = root;
        w.key = key;
        w.name = name;
        w.mask = mask;
        return w;
    }
    Result addWatch(Watch w, HREGNOTIFY& handle);

    const std::filesystem::path file;
    IMessageQueues& queues;

    // The connection of the callers' threads, one call at a time.
    std::mutex dbLock;
    std::unique_ptr<CSqliteConnection> db;
    // The value read of getValue on db, prepared on its first use and kept: every setting, state
    // value and manager reading goes through it, and preparing costs more than the lookup.
    std::unique_ptr<CSqliteStatement> readStatement;

    // Watches and the notification thread. Lock order: dbLock before watchLock.
    std::mutex watchLock;
    std::condition_variable watchCv;      // deliveries queued, a watch added, or stop
    std::condition_variable deliveredCv;  // a delivery finished
    std::map<HREGNOTIFY, Watch> watches;
    std::deque<Delivery> deliveries;
    HREGNOTIFY nextHandle = 1;
    HREGNOTIFY delivering = 0;  // handle whose callback runs now on the notification thread
    bool stop = false;
    std::thread thread;
    std::thread::id threadId;
    std::unique_ptr<CSqliteConnection> watchDb;  // the notification thread's own connection
};

void CSqliteRegistry::Impl::setUp() {
    const std::string where = file.string() + ": ";
    // Write-ahead logging lets readers of other processes go on while one writes.
    db->useWriteAheadLog();

    try {
        CSqliteTransaction tx(*db);
        std::set<std::string> tables;
        {
            CSqliteStatement st(*db,
                                "SELECT lower(name) FROM sqlite_master WHERE type = 'table' "
                                "AND name NOT LIKE 'sqlite^_%' ESCAPE '^'");
            while (st.step()) {
                tables.insert(st.columnText(0));
            }
        }
        long long appId = 0;
        long long format = 0;
        {
            CSqliteStatement st(*db, "PRAGMA application_id");
            appId = st.step() ? st.columnInt(0) : 0;
        }
        {
            CSqliteStatement st(*db, "PRAGMA user_version");
            format = st.step() ? st.columnInt(0) : 0;
        }
        bool ours = tables.count("reg_keys") || tables.count("reg_values");
        if (!tables.empty() && !ours) {
            std::string list;
            for (const auto& t : tables) {
                list += (list.empty() ? "" : ", ") + t;
            }
            throw PlatformError(where + "not a registry file: it is a database with other tables (" + list +
                                ")");
        }
        if (appId != 0 && appId != kApplicationId) {
            throw PlatformError(where + "not a registry file: it is a database of another application (id " +
                                std::to_string(appId) + ")");
        }
        if (format > kFormat) {
            throw PlatformError(where + "registry format " + std::to_string(format) +
                                " is newer than this program knows (" + std::to_string(kFormat) + ")");
        }
        if (!tables.count("reg_keys") || !tables.count("reg_values") || appId == 0 || format == 0) {
            db->exec(kSchema);
            db->exec("PRAGMA application_id=" + std::to_string(kApplicationId));
            db->exec("PRAGMA user_version=" + std::to_string(kFormat));
        }
        tx.commit();
    } catch (const PlatformError& e) {
        std::string what = e.what();
        if (what.rfind(where, 0) == 0) {
            throw;
        }
        throw PlatformError(where + what);
    }
}

Result CSqliteRegistry::Impl::addWatch(Watch w, HREGNOTIFY& handle) {
    handle = 0;
    w.key = normalizeKey(w.key);
    // The first value is read with both locks held: no write of this process can come between
    // it and the watch, and the notification thread cannot take a data version meanwhile (a
    // commit of another process after this read is therefore seen by its next scan).
    std::lock_guard dbGuard(dbLock);
    std::lock_guard lock(watchLock);
    try {
        w.last = readValue(*db, w.root, w.key, w.name);
    } catch (const std::exception&) {
        return ERROR_READ_FAULT;
    }
    if (!thread.joinable()) {
        try {
            watchDb = std::make_unique<CSqliteConnection>(file, false);
            thread = std::thread([this] { runNotifications(); });
            threadId = thread.get_id();
        } catch (const std::exception&) {
            watchDb.reset();
            return ERROR_READ_FAULT;
        }
    }
    while (nextHandle == 0 || watches.count(nextHandle)) {
        ++nextHandle;
    }
    handle = nextHandle++;
    watches.emplace(handle, std::move(w));
    watchCv.notify_all();
    return ERROR_SUCCESS;
}

template <typename Affected>
void CSqliteRegistry::Impl::changedHere(Affected affected, const std::optional<RegValue>& now) {
    bool queued = false;
    {
        std::lock_guard lock(watchLock);
        for (auto& [handle, w] : watches) {
            if (!affected(w)) {
                continue;
            }
            if (counts(w.last, now, w.mask)) {
                deliveries.push_back({handle, now.value_or(RegValue{})});
                queued = true;
            }
            w.last = now;
        }
    }
    if (queued) {
        watchCv.notify_all();
    }
}

// Re-reads every watched value on the thread's own connection and queues a delivery for each
// change that counts. Called with watchLock held; false when the database could not be read.
bool CSqliteRegistry::Impl::rescanLocked() {
    try {
        CSqliteStatement st(*watchDb, kReadValue);
        for (auto& [handle, w] : watches) {
            auto now = readValue(st, w.root, w.key, w.name);
            if (counts(w.last, now, w.mask)) {
                deliveries.push_back({handle, now.value_or(RegValue{})});
            }
            w.last = std::move(now);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void CSqliteRegistry::Impl::deliver(const Delivery& d, bool toQueue, const std::string& queueName,
                                    const std::shared_ptr<RegNotifyCallback>& callback) {
    try {
        if (toQueue) {
            auto queue = queues.find(queueName);
            if (!queue) {
                return;  // nobody listens on that queue now
            }
            std::vector<uint8_t> message = dwordBytes(d.handle);
            message.insert(message.end(), d.value.data.begin(), d.value.data.end());
            // Never block the notification thread: a full queue loses this message.
            queue->write(message.data(), message.size(), 0);
        } else if (callback && *callback) {
            (*callback)(d.handle, d.value);
        }
    } catch (...) {
        // A callback that throws must not end the notification thread.
    }
}

void CSqliteRegistry::Impl::runNotifications() {
    long long lastVersion = -1;  // forces a first scan
    auto nextPoll = std::chrono::steady_clock::now();
    std::unique_lock lock(watchLock);
    while (!stop) {
        if (!deliveries.empty()) {
            Delivery d = std::move(deliveries.front());
            deliveries.pop_front();
            auto it = watches.find(d.handle);
            if (it == watches.end()) {
                continue;  // closed meanwhile
            }
            bool toQueue = it->second.toQueue;
            std::string queueName = it->second.queueName;
            auto callback = it->second.callback;
            delivering = d.handle;
            lock.unlock();
            deliver(d, toQueue, queueName, callback);
            lock.lock();
            delivering = 0;
            deliveredCv.notify_all();
            continue;
        }
        if (watches.empty()) {
            // Nothing to watch: sleep until a watch is added (its value was read then; the next
            // scan compares with that).
            watchCv.wait(lock, [this] { return stop || !deliveries.empty() || !watches.empty(); });
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= nextPoll) {
            nextPoll = now + kPollInterval;
            // Commits of other processes (and of this one) change the data version seen by
            // this connection.
            long long version = -1;
            try {
                version = watchDb->dataVersion();
            } catch (const std::exception&) {
                version = -1;
            }
            if (version < 0 || version != lastVersion) {
                lastVersion = rescanLocked() ? version : -1;
            }
            continue;
        }
        watchCv.wait_until(lock, nextPoll, [this] { return stop || !deliveries.empty(); });
    }
}

CSqliteRegistry::CSqliteRegistry(const std::filesystem::path& file, IMessageQueues& queues)
    : _impl(std::make_unique<Impl>(file, queues)) {}

CSqliteRegistry::~CSqliteRegistry() = default;

Result CSqliteRegistry::createKey(RegRoot root, const std::string& key) {
    std::string k = normalizeKey(key);
    std::lock_guard lock(_impl->dbLock);
    try {
        CSqliteTransaction tx(*_impl->db);
        ensureKey(*_impl->db, root, k);
        tx.commit();
    } catch (const std::exception&) {
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

bool CSqliteRegistry::keyExists(RegRoot root, const std::string& key) {
    std::string k = normalizeKey(key);
    std::lock_guard lock(_impl->dbLock);
    try {
        return keyRowExists(*_impl->db, root, k);
    } catch (const std::exception&) {
        return false;
    }
}

Result CSqliteRegistry::deleteKey(RegRoot root, const std::string& key) {
    std::string k = normalizeKey(key);
    if (k.empty()) {
        return ERROR_ACCESS_DENIED;  // a root cannot be deleted
    }
    std::lock_guard lock(_impl->dbLock);
    auto& db = *_impl->db;
    try {
        CSqliteTransaction tx(db);
        if (!keyRowExists(db, root, k)) {
            return ERROR_FILE_NOT_FOUND;
        }
        // Everything below K sorts (without regard to case) between "K\" and "K]": ']' follows
        // '\' and no letter lies between them.
        std::string low = k + "\\";
        std::string high = k + "]";
        {
            CSqliteStatement st(
                db, "DELETE FROM reg_values WHERE root = ?1 AND (key = ?2 OR (key >= ?3 AND key < ?4))");
            st.bind(1, rootId(root)).bind(2, k).bind(3, low).bind(4, high);
            st.run();
        }
        {
            CSqliteStatement st(
                db, "DELETE FROM reg_keys WHERE root = ?1 AND (path = ?2 OR (path >= ?3 AND path < ?4))");
            st.bind(1, rootId(root)).bind(2, k).bind(3, low).bind(4, high);
            st.run();
        }
        tx.commit();
    } catch (const std::exception&) {
        return ERROR_WRITE_FAULT;
    }
    _impl->changedHere([&](const Impl::Watch& w) { return w.root == root && isAtOrBelow(w.key, k); },
                       std::nullopt);
    return ERROR_SUCCESS;
}

Result CSqliteRegistry::getValue(RegRoot root, const std::string& key, const std::string& name,
                                 RegValue& out) {
    std::string k = normalizeKey(key);
    std::optional<RegValue> v;
    {
        std::lock_guard lock(_impl->dbLock);
        try {
            if (!_impl->readStatement) {
                _impl->readStatement = std::make_unique<CSqliteStatement>(*_impl->db, kReadValue);
            }
            v = readValue(*_impl->readStatement, root, k, name);
        } catch (const std::exception&) {
            return ERROR_READ_FAULT;
        }
    }
    if (!v) {
        return ERROR_FILE_NOT_FOUND;
    }
    out = std::move(*v);
    return ERROR_SUCCESS;
}

Result CSqliteRegistry::getDword(RegRoot root, const std::string& key, const std::string& name,
                                 uint32_t& out) {
    RegValue v;
    Result r = getValue(root, key, name, v);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (v.type != RegType::Dword || v.data.size() != 4) {
        return ERROR_INVALID_DATA;
    }
    out = dwordOf(v.data);
    return ERROR_SUCCESS;
}

Result CSqliteRegistry::getString(RegRoot root, const std::string& key, const std::string& name,
                                  std::string& out) {
    RegValue v;
    Result r = getValue(root, key, name, v);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (v.type != RegType::Sz) {
        return ERROR_INVALID_DATA;
    }
    // Tolerate strings written with their terminator.
    while (!v.data.empty() && v.data.back() == 0) {
        v.data.pop_back();
    }
    out.assign(v.data.begin(), v.data.end());
    return ERROR_SUCCESS;
}

Result CSqliteRegistry::getBinary(RegRoot root, const std::string& key, const std::string& name,
                                  std::vector<uint8_t>& out) {
    RegValue v;
    Result r = getValue(root, key, name, v);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    if (v.type != RegType::Binary) {
        return ERROR_INVALID_DATA;
    }
    out = std::move(v.data);
    return ERROR_SUCCESS;
}

Result CSqliteRegistry::setValue(RegRoot root, const std::string& key, const std::string& name,
                                 const RegValue& v) {
    std::string k = normalizeKey(key);
    std::lock_guard lock(_impl->dbLock);
    auto& db = *_impl->db;
    try {
        CSqliteTransaction tx(db);
        ensureKey(db, root, k);
        // On conflict the row keeps the name's first case.
        CSqliteStatement st(
            db,
            "INSERT INTO reg_values(root, key, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
            "ON CONFLICT(root, key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        st.bind(1, rootId(root))
            .bind(2, k)
            .bind(3, name)
            .bind(4, static_cast<long long>(v.type))
            .bind(5, v.data);
        st.run();
        tx.commit();
    } catch (const std::exception&) {
        return ERROR_WRITE_FAULT;
    }
    _impl->changedHere(
        [&](const Impl::Watch& w) {
            return w.root == root && equalsNoCase(w.key, k) && equalsNoCase(w.name, name);
        },
        v);
    return ERROR_SUCCESS;
}

Result CSqliteRegistry::setDword(RegRoot root, const std::string& key, const std::string& name, uint32_t v) {
    return setValue(root, key, name, RegValue{RegType::Dword, dwordBytes(v)});
}

Result CSqliteRegistry::setString(RegRoot root, const std::string& key, const std::string& name,
                                  const std::string& v) {
    return setValue(root, key, name, RegValue{RegType::Sz, std::vector<uint8_t>(v.begin(), v.end())});
}

Result CSqliteRegistry::setBinary(RegRoot root, const std::string& key, const std::string& name,
                                  const std::vector<uint8_t>& v) {
    return setValue(root, key, name, RegValue{RegType::Binary, v});
}

Result CSqliteRegistry::deleteValue(RegRoot root, const std::string& key, const std::string& name) {
    std::string k = normalizeKey(key);
    std::lock_guard lock(_impl->dbLock);
    auto& db = *_impl->db;
    try {
        CSqliteTransaction tx(db);
        CSqliteStatement st(db, "DELETE FROM reg_values WHERE root = ?1 AND key = ?2 AND name = ?3");
        st.bind(1, rootId(root)).bind(2, k).bind(3, name);
        st.run();
        if (db.changes() == 0) {
            return ERROR_FILE_NOT_FOUND;
        }
        tx.commit();
    } catch (const std::exception&) {
        return ERROR_WRITE_FAULT;
    }
    _impl->changedHere(
        [&](const Impl::Watch& w) {
            return w.root == root && equalsNoCase(w.key, k) && equalsNoCase(w.name, name);
        },
        std::nullopt);
    return ERROR_SUCCESS;
}

namespace {

// Lists one column of the names under a key; `sql` selects them with ?1 = root, ?2 = the key.
Result listNames(std::mutex& dbLock, CSqliteConnection& db, RegRoot root, const std::string& k,
                 const char* sql, std::vector<std::string>& names) {
    names.clear();
    std::lock_guard lock(dbLock);
    try {
        if (!keyRowExists(db, root, k)) {
            return ERROR_FILE_NOT_FOUND;
        }
        CSqliteStatement st(db, sql);
        st.bind(1, rootId(root)).bind(2, k);
        while (st.step()) {
            names.push_back(st.columnText(0));
        }
    } catch (const std::exception&) {
        names.clear();
        return ERROR_READ_FAULT;
    }
    return ERROR_SUCCESS;
}

}  // namespace

Result CSqliteRegistry::enumValues(RegRoot root, const std::string& key, std::vector<std::string>& names) {
    return listNames(_impl->dbLock, *_impl->db, root, normalizeKey(key),
                     "SELECT name FROM reg_values WHERE root = ?1 AND key = ?2 ORDER BY name COLLATE NOCASE",
                     names);
}

Result CSqliteRegistry::enumSubKeys(RegRoot root, const std::string& key, std::vector<std::string>& names) {
    return listNames(_impl->dbLock, *_impl->db, root, normalizeKey(key),
                     "SELECT name FROM reg_keys WHERE root = ?1 AND parent = ?2 ORDER BY name COLLATE NOCASE",
                     names);
}

Result CSqliteRegistry::notifyToQueue(RegRoot root, const std::string& key, const std::string& name,
                                      uint32_t mask, const std::string& queueName, HREGNOTIFY& handle) {
    if (queueName.empty()) {
        handle = 0;
        return ERROR_INVALID_PARAMETER;
    }
    Impl::Watch w = Impl::watchOf(root, key, name, mask);
    w.toQueue = true;
    w.queueName = queueName;
    return _impl->addWatch(std::move(w), handle);
}

Result CSqliteRegistry::notifyCallback(RegRoot root, const std::string& key, const std::string& name,
                                       uint32_t mask, RegNotifyCallback callback, HREGNOTIFY& handle) {
    if (!callback) {
        handle = 0;
        return ERROR_INVALID_PARAMETER;
    }
    Impl::Watch w = Impl::watchOf(root, key, name, mask);
    w.callback = std::make_shared<RegNotifyCallback>(std::move(callback));
    return _impl->addWatch(std::move(w), handle);
}

Result CSqliteRegistry::closeNotification(HREGNOTIFY handle) {
    std::unique_lock lock(_impl->watchLock);
    auto it = _impl->watches.find(handle);
    if (handle == 0 || it == _impl->watches.end()) {
        return ERROR_INVALID_HANDLE;
    }
    _impl->watches.erase(it);
    std::erase_if(_impl->deliveries, [handle](const Impl::Delivery& d) { return d.handle == handle; });
    // A delivery to this watch that runs now must end before we return, unless this is that
    // delivery's own callback (or another callback) closing it on the notification thread.
    if (std::this_thread::get_id() != _impl->threadId) {
        _impl->deliveredCv.wait(lock, [&] { return _impl->delivering != handle; });
    }
    return ERROR_SUCCESS;
}

}  // namespace platform
