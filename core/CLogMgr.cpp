#include "core/CLogMgr.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/DebugTrace.h"
#include "core/ProgramFolder.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "platform/Services.h"

const char* const szSeveridades[6] = {"TRACE", "DEBUG", "INFO", "WARNING", "ERROR", "FATAL"};

std::atomic<CLogMgr*> CLogMgr::_me{nullptr};

namespace {

// Serialises the creation and the destruction of the singleton.
std::mutex g_singletonLock;

// Reads a number setting; false (with a trace) when it cannot be read.
bool readNumber(const std::string& name, uint32_t& value) {
    try {
        value = CConfigurationZentrova::GetInstance()->GetLongParameter(name);
        return true;
    } catch (const CBaseException& e) {
        LogFormateado(1, "CLogMgr: %s", e.GetMessageW());
    } catch (const std::exception& e) {
        LogFormateado(1, "CLogMgr: %s: %s", name, e.what());
    }
    return false;
}

bool readText(const char* name, std::string& value) {
    try {
        CConfigurationZentrova::GetInstance()->GetStringParameter(name, value);
        return true;
    } catch (const CBaseException& e) {
        LogFormateado(1, "CLogMgr: %s", e.GetMessageW());
    } catch (const std::exception& e) {
        LogFormateado(1, "CLogMgr: %s: %s", name, e.what());
    }
    return false;
}

// The backup of a log path: its last three characters replaced by "bak" ("log.txt" gives
// "log.bak").
std::string backupPath(const std::string& path) {
    if (path.size() < 3) {
        return path + ".bak";
    }
    return path.substr(0, path.size() - 3) + "bak";
}

}  // namespace

// An open log file (the log or its backup): appended to at its end, its size tracked from the
// opening on.
class CLogMgr::File {
  public:
    // With `create` a missing file is created; without, a missing file leaves the object closed
    // (without a trace: the backup of a log that never rotated does not exist yet).
    File(const std::string& path, bool create) {
        const int flags = O_RDWR | O_APPEND | O_CLOEXEC | (create ? O_CREAT : 0);
        _fd = ::open(path.c_str(), flags, 0644);
        if (_fd < 0) {
            if (create || errno != ENOENT) {
                LogFormateado(1, "CLogMgr: cannot open %s: %s", path, std::strerror(errno));
            }
            return;
        }
        struct stat st {};
        if (::fstat(_fd, &st) == 0) {
            _size = static_cast<uint32_t>(st.st_size);
        }
    }
    ~File() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return _fd >= 0; }

    // False when the file no longer has a name (deleted or replaced by someone else).
    bool linked() const {
        struct stat st {};
        return _fd >= 0 && ::fstat(_fd, &st) == 0 && st.st_nlink > 0;
    }

    bool truncate() {
        if (_fd < 0 || ::ftruncate(_fd, 0) != 0) {
            return false;
        }
        _size = 0;
        return true;
    }

    // Adds the bytes actually written to the size.
    void append(const std::string& bytes) {
        if (_fd < 0) {
            return;
        }
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                LogFormateado(1, "CLogMgr: write failed: %s", std::strerror(errno));
                break;
            }
            done += static_cast<size_t>(n);
        }
        _size += static_cast<uint32_t>(done);
    }

    uint32_t size() const { return _size; }

  private:
    int _fd = -1;
    uint32_t _size = 0;
};

CLogMgr::CLogMgr() : WorkerThread(0, 0) {
    SetDescripcion("CLogMgr");
    std::string path;
    readText("events_log_path", path);
    if (path.empty()) {
        path = GetCurrentDirectory() + "/log.txt";
        try {
            CConfigurationZentrova::GetInstance()->SetRegistryParameter("events_log_path", path);
        } catch (const CBaseException& e) {
            LogFormateado(1, "CLogMgr: %s", e.GetMessageW());
        } catch (const std::exception& e) {
            LogFormateado(1, "CLogMgr: events_log_path not stored: %s", e.what());
        }
    }
    uint32_t maxEvents = 0;
    readNumber("events_log_items_screen", maxEvents);
    m_maxEvents = static_cast<int>(std::min<uint32_t>(maxEvents, 0x7FFFFFFF));
    {
        std::lock_guard lock(m_lock);
        openLocked(path);
    }
    _me.store(this);
}

CLogMgr::~CLogMgr() {
    // Events posted to the worker are stored before the members go.
    Stop();
    CLogMgr* self = this;
    _me.compare_exchange_strong(self, nullptr);
    std::lock_guard lock(m_lock);
    for (CLogEvent* event : m_events) {
        delete event;
    }
    m_events.clear();
    m_file.reset();
    m_backup.reset();
}

CLogMgr* CLogMgr::GetInstance() {
    if (CLogMgr* me = _me.load()) {
        return me;
    }
    std::lock_guard lock(g_singletonLock);
    if (CLogMgr* me = _me.load()) {
        return me;
    }
    auto* me = new CLogMgr();
    me->Start();
    return me;
}

void CLogMgr::Destroy() {
    std::lock_guard lock(g_singletonLock);
    // The destructor clears _me once the queued events are stored, so that a listener that logs
    // meanwhile still reaches this instance.
    delete _me.load();
}

void CLogMgr::Log(int source, int severity, const std::string& resume, const std::string& description) {
    try {
        CLogMgr* me = GetInstance();
        const SYSTEMTIME now = platform::Services::get().clock().localTime();
        const uint32_t thread = GetCurrentThreadId();
        int count;
        {
            std::lock_guard lock(me->m_lock);
            std::unique_ptr<CLogEvent> event = me->reusableLocked();
            event->SetSource(source);
            event->SetSeverity(severity);
            event->SetResume(resume);
            event->SetDescription(description);
            event->SetTime(now);
            event->SetThreadID(thread);
            me->saveToFileLocked(*event);
            count = me->keepLocked(std::move(event));
        }
        me->notifyListeners(count);
    } catch (const CBaseException& e) {
        LogFormateado(1, "CLogMgr::Log: %s", e.GetMessageW());
    } catch (const std::exception& e) {
        LogFormateado(1, "CLogMgr::Log: %s", e.what());
    }
}

void CLogMgr::LogAsync(CLogEvent* event) {
    if (!event) {
        return;
    }
    std::unique_ptr<CLogEvent> owned(event);
    int count;
    {
        std::lock_guard lock(m_lock);
        saveToFileLocked(*owned);
        count = keepLocked(std::move(owned));
    }
    notifyListeners(count);
}

int CLogMgr::keepLocked(std::unique_ptr<CLogEvent> event) {
    m_events.push_back(event.get());
    event.release();
    // A maximum of 0 still keeps the newest event.
    while (m_events.size() > static_cast<size_t>(std::max(m_maxEvents, 1))) {
        delete m_events.front();
        m_events.pop_front();
    }
    return static_cast<int>(m_events.size());
}

std::unique_ptr<CLogEvent> CLogMgr::reusableLocked() {
    if (m_events.size() >= static_cast<size_t>(std::max(m_maxEvents, 1))) {
        std::unique_ptr<CLogEvent> oldest(m_events.front());
        m_events.pop_front();
        return oldest;
    }
    return std::make_unique<CLogEvent>();
}

void CLogMgr::HandleCommand(int command, void* argument) {
    if (command == kCommandLog) {
        LogAsync(static_cast<CLogEvent*>(argument));
    }
}

void CLogMgr::AddLogListener(ILogListener* listener) {
    std::lock_guard lock(m_listenersLock);
    m_listeners.push_back(listener);
}

void CLogMgr::RemoveLogListener(ILogListener* listener) {
    std::unique_lock lock(m_listenersLock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it == m_listeners.end()) {
        return;
    }
    m_listeners.erase(it);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end()) {
        return;  // still registered: its calls go on
    }
    auto me = std::this_thread::get_id();
    m_listenerCallEnded.wait(lock, [&] {
        return std::none_of(m_calling.begin(), m_calling.end(),
                            [&](const auto& call) { return call.second == listener && call.first != me; });
    });
}

void CLogMgr::notifyListeners(int count) {
    std::vector<ILogListener*> listeners;
    {
        std::lock_guard lock(m_listenersLock);
        if (m_listeners.empty()) {
            return;
        }
        listeners = m_listeners;
    }
    auto me = std::this_thread::get_id();
    for (ILogListener* listener : listeners) {
        {
            std::lock_guard lock(m_listenersLock);
            // Removed since the copy was taken: its owner may already have destroyed it.
            if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
                continue;
            }
            m_calling.emplace_back(me, listener);
        }
        try {
            listener->LogChanged(count);
        } catch (...) {
            LogFormateado(1, "CLogMgr: a listener threw");
        }
        std::lock_guard lock(m_listenersLock);
        auto call = std::find(m_calling.begin(), m_calling.end(), std::make_pair(me, listener));
        if (call != m_calling.end()) {
            m_calling.erase(call);
        }
        m_listenerCallEnded.notify_all();
    }
}

void CLogMgr::vaciar() {
    {
        std::lock_guard lock(m_lock);
        for (CLogEvent* event : m_events) {
            delete event;
        }
        m_events.clear();
    }
    notifyListeners(0);
}

std::deque<CLogEvent> CLogMgr::GetQueue() const {
    std::lock_guard lock(m_lock);
    std::deque<CLogEvent> copy;
    for (const CLogEvent* event : m_events) {
        copy.push_back(*event);
    }
    return copy;
}

int CLogMgr::GetCount() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_events.size());
}

void CLogMgr::SaveToFile(CLogEvent* event) {
    if (!event) {
        return;
    }
    std::lock_guard lock(m_lock);
    saveToFileLocked(*event);
}

const char* CLogMgr::SeverityName(int severity) {
    if (severity < 0 || severity > 5) {
        return "?";
    }
    return szSeveridades[severity];
}

std::string CLogMgr::FormatLine(const CLogEvent& event) {
    std::string line;
    FormatLineInto(event, line);
    return line;
}

void CLogMgr::FormatLineInto(const CLogEvent& event, std::string& line) {
    const SYSTEMTIME& t = event.GetTime();
    // "YYYY-MM-DD hh:mm:ss   ", digit by digit: the stamp of every line, without a format parse.
    char stamp[] = "0000-00-00 00:00:00   ";
    auto put = [&stamp](size_t at, unsigned value, int digits) {
        for (int k = digits - 1; k >= 0; --k) {
            stamp[at + static_cast<size_t>(k)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(0, t.wYear, 4);
    put(5, t.wMonth, 2);
    put(8, t.wDay, 2);
    put(11, t.wHour, 2);
    put(14, t.wMinute, 2);
    put(17, t.wSecond, 2);
    line.assign(stamp, sizeof stamp - 1);
    if (t.wYear > 9999) {
        line.insert(0, std::to_string(t.wYear / 10000));
    }
    // Each part ends in one full stop: translations that end with their own get no second one.
    auto sentence = [&line](const std::string& text) {
        line += text;
        if (text.empty() || text.back() != '.') {
            line += '.';
        }
    };
    line += SeverityName(event.GetSeverity());
    line += ". ";
    sentence(event.GetResume());
    line += ' ';
    sentence(event.GetDescription());
    // Cut the text, never the line end: a cut line still ends with CR LF.
    line.resize(FitLength(line, kLineChars - 2 + 1));
    line += "\r\n";
}

std::string CLogMgr::GetLogPath() const {
    std::lock_guard lock(m_lock);
    return m_path;
}

uint32_t CLogMgr::GetFileSize() const {
    std::lock_guard lock(m_lock);
    return m_file ? m_file->size() : 0;
}

void CLogMgr::saveToFileLocked(const CLogEvent& event) {
    // Read at every event, so that a change of the settings counts from the next one on. The
    // names are made once: the configuration looks them up without a text of its own.
    static const std::string kWriteToFile = "events_log_write_to_file";
    static const std::string kMaxSize = "events_log_file_max_size";
    uint32_t writeToFile = 0;
    if (!readNumber(kWriteToFile, writeToFile) || writeToFile == 0) {
        return;
    }
    FormatLineInto(event, m_line);
    m_bytes.clear();
    AppendUtf8AsUtf16Le(m_line, m_bytes);
    uint32_t maxKb = 0;
    if (readNumber(kMaxSize, maxKb)) {
        uint64_t size = m_file ? m_file->size() : 0;
        if (size + m_bytes.size() > static_cast<uint64_t>(maxKb) * 1024) {
            rotateLocked();
        }
    }
    if (m_file) {
        m_file->append(m_bytes);
    }
}

void CLogMgr::rotateLocked() {
    std::string path;
    if (!readText("events_log_path", path) || path.empty()) {
        path = m_path;
    }
    const std::string backup = backupPath(path);
    if (path == m_path && m_file && m_file->isOpen()) {
        // The usual case: the backup file is emptied and its name exchanged with the log's, so
        // that the full log becomes the backup and the emptied file the new log without a file
        // being created or deleted (on ext4 both are costly next to the writes, and a rename
        // over an existing file also starts the write-back of the moved one).
        if (m_backup && !m_backup->linked()) {
            m_backup.reset();
        }
        if (!m_backup) {
            auto existing = std::make_unique<File>(backup, false);
            if (existing->isOpen()) {
                m_backup = std::move(existing);
            }
        }
        if (m_backup && m_backup->truncate() &&
            ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, backup.c_str(), RENAME_EXCHANGE) == 0) {
            std::swap(m_file, m_backup);
            return;
        }
    }
    // No backup yet, another path, or a file system that cannot exchange names: the log is moved
    // to the backup and a new one created. The file just moved stays open as the backup.
    m_backup.reset();
    const bool samePath = path == m_path;
    if (!samePath) {
        m_file.reset();
    }
    if (::unlink(backup.c_str()) != 0 && errno != ENOENT) {
        LogFormateado(1, "CLogMgr: cannot delete %s: %s", backup, std::strerror(errno));
    }
    if (::rename(path.c_str(), backup.c_str()) != 0) {
        LogFormateado(1, "CLogMgr: cannot rename %s: %s", path, std::strerror(errno));
    } else if (samePath) {
        m_backup = std::move(m_file);
    }
    openLocked(path);
}

void CLogMgr::openLocked(const std::string& path) {
    m_path = path;
    m_file = std::make_unique<File>(path, true);
}
