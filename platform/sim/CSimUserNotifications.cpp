#include "platform/sim/CSimUserNotifications.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <iostream>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "platform/CProcessLauncher.h"
#include "platform/CSqliteConnection.h"
#include "platform/CSqliteStatement.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimClock.h"

namespace platform::sim {

namespace {

// How often a hosting instance looks for triggers that came due, and how long the detached
// runner waits between its passes.
constexpr auto kWatchInterval = std::chrono::milliseconds(25);
constexpr auto kRunnerInterval = std::chrono::milliseconds(50);
// How long the instance lock must stay held before the runner leaves the triggers to its holder.
constexpr auto kTakeOverDelay = std::chrono::milliseconds(1000);

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS notifications ("
    " handle INTEGER PRIMARY KEY AUTOINCREMENT,"
    " type INTEGER NOT NULL,"
    " event INTEGER NOT NULL,"
    " application TEXT NOT NULL,"
    " arguments TEXT NOT NULL,"
    " start INTEGER NOT NULL,"  // phone local milliseconds
    " \"end\" INTEGER"          // phone local milliseconds; NULL when the trigger gave none
    ")";

// Owns one file descriptor and closes it with the object.
class LockFileFd {
  public:
    explicit LockFileFd(int fd) : _fd(fd) {}
    ~LockFileFd() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    LockFileFd(const LockFileFd&) = delete;
    LockFileFd& operator=(const LockFileFd&) = delete;
    int get() const { return _fd; }

  private:
    int _fd;
};

bool isUnset(const SYSTEMTIME& t) {
    return t == SYSTEMTIME{};
}

struct DueTrigger {
    uint32_t handle;
    std::string application;
    std::string arguments;
};

}  // namespace

struct CSimUserNotifications::Impl {
    Impl(const CHome& h, IClock& c, bool hostTriggers)
        : home(h), clock(c), host(hostTriggers), db(openDatabase(h)) {}

    static std::unique_ptr<CSqliteConnection> openDatabase(const CHome& home) {
        std::error_code ec;
        std::filesystem::create_directories(home.phoneDir(), ec);
        if (ec) {
            throw PlatformError(home.phoneDir().string() + ": cannot create folder: " + ec.message());
        }
        auto db = std::make_unique<CSqliteConnection>(home.notificationsFile(), true);
        db->useWriteAheadLog();
        db->exec(kSchema);
        return db;
    }

    int64_t pendingCount() {
        std::lock_guard lock(dbLock);
        CSqliteStatement st(*db, "SELECT count(*) FROM notifications");
        return st.step() ? st.columnInt(0) : 0;
    }

    // Removes the triggers that are due; a trigger is returned only to the one connection whose
    // delete removed it, so that each fires once however many processes watch the file.
    std::vector<DueTrigger> claimDue(int64_t now) {
        std::lock_guard lock(dbLock);
        std::vector<DueTrigger> due;
        {
            CSqliteStatement sel(*db,
                                 "SELECT handle, application, arguments FROM notifications "
                                 "WHERE start <= ? ORDER BY start, handle");
            sel.bind(1, static_cast<long long>(now));
            while (sel.step()) {
                due.push_back(
                    {static_cast<uint32_t>(sel.columnInt(0)), sel.columnText(1), sel.columnText(2)});
            }
        }
        std::vector<DueTrigger> claimed;
        CSqliteStatement del(*db, "DELETE FROM notifications WHERE handle = ?");
        for (auto& d : due) {
            del.reset();
            del.bind(1, static_cast<long long>(d.handle));
            del.run();
            if (db->changes() > 0) {
                claimed.push_back(std::move(d));
            }
        }
        return claimed;
    }

    // True while a program of this home holds its instance lock.
    bool programRuns() const {
        LockFileFd fd(::open(home.instanceLock().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            return false;
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
            ::flock(fd.get(), LOCK_UN);
            return false;
        }
        return errno == EWOULDBLOCK;
    }

    void watch(CSimUserNotifications& owner) {
        std::string lastError;
        std::unique_lock lock(wakeLock);
        while (!stop) {
            wake.wait_for(lock, kWatchInterval, [this] { return stop || woken; });
            if (stop) {
                break;
            }
            woken = false;
            lock.unlock();
            try {
                owner.fireDue();
                lastError.clear();
            } catch (const std::exception& e) {
                // Said once, not on every pass, while the same problem lasts.
                if (lastError != e.what()) {
                    lastError = e.what();
                    std::cerr << "notifications: " << lastError << '\n';
                }
            }
            lock.lock();
        }
    }

    void stopWatching() {
        std::lock_guard stopping(stopLock);
        if (watcher.joinable()) {
            {
                std::lock_guard lock(wakeLock);
                stop = true;
            }
            wake.notify_all();
            watcher.join();
        }
    }

    // Starts the detached runner that fires the triggers still pending after this process.
    void handOff(int64_t pending) {
        auto device = CProcessLauncher::selfExecutable().parent_path() / "zentrova-device";
        std::error_code ec;
        if (!std::filesystem::is_regular_file(device, ec)) {
            std::cerr << "notifications: " << pending
                      << " pending trigger(s) will fire only when the program "
                      << "runs again (" << device.string() << " not found)\n";
            return;
        }
        auto root = std::filesystem::absolute(home.root(), ec);
        if (ec) {
            root = home.root();
        }
        if (!CProcessLauncher::startDetached(device, {"--home", root.string(), "notifications", "run"})) {
            int err = errno;
            std::cerr << "notifications: cannot start " << device.string() << ": " << std::strerror(err)
                      << "; " << pending
                      << " pending trigger(s) will fire only when the program runs again\n";
        }
    }

    CHome home;
    IClock& clock;
    bool host;
    std::mutex dbLock;  // one statement at a time on the connection
    std::unique_ptr<CSqliteConnection> db;
    std::mutex wakeLock;
    std::condition_variable wake;
    bool stop = false;
    bool woken = false;
    std::mutex stopLock;  // one caller at a time joins the watcher
    std::thread watcher;
};

CSimUserNotifications::CSimUserNotifications(const CHome& home, IClock& clock, bool hostTriggers)
    : _impl(std::make_unique<Impl>(home, clock, hostTriggers)) {
    if (hostTriggers) {
        _impl->watcher = std::thread([this] { _impl->watch(*this); });
    }
}

CSimUserNotifications::~CSimUserNotifications() {
    handOffPending();
}

void CSimUserNotifications::handOffPending() {
    if (!_impl->host) {
        return;
    }
    _impl->stopWatching();
    try {
        if (int64_t pending = _impl->pendingCount(); pending > 0) {
            _impl->handOff(pending);
        }
    } catch (const std::exception& e) {
        std::cerr << "notifications: " << e.what() << '\n';
    }
}

uint32_t CSimUserNotifications::setUserNotification(const UserNotificationTrigger& trigger) {
    if (trigger.type != CNT_TIME) {
        return 0;
    }
    uint32_t handle = 0;
    try {
        std::lock_guard lock(_impl->dbLock);
        CSqliteStatement ins(
            *_impl->db,
            "INSERT INTO notifications (type, event, application, arguments, start, \"end\") "
            "VALUES (?, ?, ?, ?, ?, ?)");
        ins.bind(1, static_cast<long long>(trigger.type))
            .bind(2, static_cast<long long>(trigger.event))
            .bind(3, trigger.application)
            .bind(4, trigger.arguments)
            .bind(5, static_cast<long long>(CSimClock::toMillis(trigger.start)));
        if (isUnset(trigger.end)) {
            ins.bindNull(6);
        } else {
            ins.bind(6, static_cast<long long>(CSimClock::toMillis(trigger.end)));
        }
        ins.run();
        long long id = _impl->db->lastInsertRowId();
        if (id <= 0 || id > std::numeric_limits<uint32_t>::max()) {
            // A handle that does not fit cannot be given out: take the row back.
            CSqliteStatement del(*_impl->db, "DELETE FROM notifications WHERE handle = ?");
            del.bind(1, id).run();
            return 0;
        }
        handle = static_cast<uint32_t>(id);
    } catch (const std::exception& e) {
        std::cerr << "notifications: " << e.what() << '\n';
        return 0;
    }
    if (_impl->host) {
        // The trigger may already be due: let the watcher look now rather than at its next pass.
        {
            std::lock_guard lock(_impl->wakeLock);
            _impl->woken = true;
        }
        _impl->wake.notify_all();
    }
    return handle;
}

bool CSimUserNotifications::clearUserNotification(uint32_t handle) {
    try {
        std::lock_guard lock(_impl->dbLock);
        CSqliteStatement del(*_impl->db, "DELETE FROM notifications WHERE handle = ?");
        del.bind(1, static_cast<long long>(handle)).run();
        return _impl->db->changes() > 0;
    } catch (const std::exception& e) {
        std::cerr << "notifications: " << e.what() << '\n';
        return false;
    }
}

std::vector<uint32_t> CSimUserNotifications::getUserNotificationHandles() {
    std::vector<uint32_t> handles;
    try {
        std::lock_guard lock(_impl->dbLock);
        CSqliteStatement sel(*_impl->db, "SELECT handle FROM notifications ORDER BY handle");
        while (sel.step()) {
            handles.push_back(static_cast<uint32_t>(sel.columnInt(0)));
        }
    } catch (const std::exception& e) {
        std::cerr << "notifications: " << e.what() << '\n';
    }
    return handles;
}

bool CSimUserNotifications::getUserNotification(uint32_t handle, UserNotificationTrigger& out) {
    try {
        std::lock_guard lock(_impl->dbLock);
        CSqliteStatement sel(*_impl->db,
                             "SELECT type, event, application, arguments, start, \"end\" "
                             "FROM notifications WHERE handle = ?");
        sel.bind(1, static_cast<long long>(handle));
        if (!sel.step()) {
            return false;
        }
        UserNotificationTrigger t;
        t.type = static_cast<uint32_t>(sel.columnInt(0));
        t.event = static_cast<uint32_t>(sel.columnInt(1));
        t.application = sel.columnText(2);
        t.arguments = sel.columnText(3);
        t.start = CSimClock::fromMillis(sel.columnInt(4));
        t.end = sel.columnIsNull(5) ? SYSTEMTIME{} : CSimClock::fromMillis(sel.columnInt(5));
        out = std::move(t);
        return true;
    } catch (const std::exception& e) {
        std::cerr << "notifications: " << e.what() << '\n';
        return false;
    }
}

int CSimUserNotifications::fireDue() {
    auto claimed = _impl->claimDue(_impl->clock.localMillis());
    for (const auto& t : claimed) {
        std::vector<std::string> args;
        if (!t.arguments.empty()) {
            args.push_back(t.arguments);
        }
        if (!CProcessLauncher::startDetached(t.application, args)) {
            int err = errno;
            std::cerr << "notifications: cannot start " << t.application << " for trigger " << t.handle
                      << ": " << std::strerror(err) << '\n';
        }
    }
    return static_cast<int>(claimed.size());
}

void CSimUserNotifications::runUntilIdle() {
    try {
        // The program that started this runner may still hold its instance lock for a moment
        // while it ends: only a lock held for a while belongs to a program that took over.
        auto heldSince = std::chrono::steady_clock::time_point::max();
        for (;;) {
            if (!std::filesystem::exists(_impl->home.notificationsFile())) {
                return;  // the home was removed: nothing is left to fire
            }
            if (_impl->programRuns()) {
                auto now = std::chrono::steady_clock::now();
                heldSince = std::min(heldSince, now);
                if (now - heldSince >= kTakeOverDelay) {
                    return;  // a running program fires the triggers itself
                }
            } else {
                heldSince = std::chrono::steady_clock::time_point::max();
            }
            fireDue();
            if (_impl->pendingCount() == 0) {
                return;
            }
            std::this_thread::sleep_for(kRunnerInterval);
        }
    } catch (const std::exception& e) {
        std::cerr << "notifications: " << e.what() << '\n';
    }
}

}  // namespace platform::sim
