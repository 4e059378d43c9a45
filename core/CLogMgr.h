#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/CLogEvent.h"
#include "core/ILogListener.h"
#include "core/WorkerThread.h"

// Names of the severities 0 to 5: "TRACE", "DEBUG", "INFO", "WARNING", "ERROR", "FATAL".
extern const char* const szSeveridades[6];

// The event log: keeps the most recent events in memory, tells its listeners whenever the list
// changes, and appends each event as a line to a UTF-16LE text file (no byte-order mark) that is
// moved to a backup when it grows past its configured size.
//
// Settings (read through CConfigurationZentrova::GetInstance): "events_log_path" (an empty path
// becomes "<program folder>/log.txt" and is stored back), "events_log_items_screen" (events kept
// in memory, read once; 0 keeps one), "events_log_write_to_file" and "events_log_file_max_size"
// (kilobytes), both read again for every event.
//
// Thread safety: Log, LogAsync, SaveToFile, vaciar and GetQueue may be called from any thread;
// one lock covers the file and the list. Listeners are called after it is released, in the
// logging thread. Destroy must not run while another thread logs.
class CLogMgr : public WorkerThread {
  public:
    // Command of the log's worker: the argument is a CLogEvent* to store (ownership passes).
    static constexpr int kCommandLog = 0;
    // A file line holds at most this many characters, its CR LF included.
    static constexpr size_t kLineChars = 998;

    // Prefer GetInstance. Opens (or creates) the log file whether or not writing is on; a file
    // that cannot be opened leaves the in-memory log working. Becomes the singleton.
    CLogMgr();
    // Lets queued events be stored, then deletes every event and closes the file.
    ~CLogMgr() override;

    // The singleton; on first use it is created and its worker thread started.
    static CLogMgr* GetInstance();
    // Deletes the singleton (GetInstance would create a new one).
    static void Destroy();

    // The one entry point for writers: records an event with the phone's local time and the
    // calling thread's id, synchronously in the calling thread. Never throws.
    static void Log(int source, int severity, const std::string& resume, const std::string& description);

    // Stores an already built event (file, list, listeners); takes ownership. Null is ignored.
    void LogAsync(CLogEvent* event);
    // Command 0: LogAsync of the CLogEvent* argument; other commands are ignored.
    void HandleCommand(int command, void* argument) override;

    void AddLogListener(ILogListener* listener);
    // Removes the first matching entry; nothing for an absent listener. When no entry of the
    // listener is left, waits until no other thread is still calling it, so that the caller may
    // destroy it on return (calls from within its own LogChanged are not waited for).
    void RemoveLogListener(ILogListener* listener);

    // Deletes every held event and tells the listeners (count 0), even when the list was empty.
    void vaciar();

    // A copy of the events, oldest first, taken under the lock: the list itself changes under
    // other threads and its events are deleted when they fall out of it, so readers get values.
    std::deque<CLogEvent> GetQueue() const;
    int GetCount() const;

    // Appends one line for `event` to the file when "events_log_write_to_file" is on, first
    // moving a file that would grow past "events_log_file_max_size" kilobytes to its backup.
    // The event stays the caller's.
    void SaveToFile(CLogEvent* event);

    // The file line of an event (UTF-8): "YYYY-MM-DD hh:mm:ss   SEVERITY. resume. description.\r\n",
    // cut to 998 characters and still ending with CR LF.
    static std::string FormatLine(const CLogEvent& event);
    // The same line, written into `line` (whose room is used again).
    static void FormatLineInto(const CLogEvent& event, std::string& line);
    static const char* SeverityName(int severity);

    std::string GetLogPath() const;
    // Bytes in the open log file, as tracked from its opening.
    uint32_t GetFileSize() const;
    int GetMaxEvents() const { return m_maxEvents; }

  private:
    class File;

    void saveToFileLocked(const CLogEvent& event);
    // Keeps an event in the list (dropping the oldest beyond the maximum); the number kept.
    int keepLocked(std::unique_ptr<CLogEvent> event);
    // An event object to fill: the oldest one when the list is full (it is about to go), so
    // that a full list logs without allocating.
    std::unique_ptr<CLogEvent> reusableLocked();
    void rotateLocked();
    void openLocked(const std::string& path);
    void notifyListeners(int count);

    static std::atomic<CLogMgr*> _me;

    // Listeners and the calls to them now running (thread, listener).
    mutable std::mutex m_listenersLock;
    std::condition_variable m_listenerCallEnded;
    std::vector<ILogListener*> m_listeners;
    std::vector<std::pair<std::thread::id, ILogListener*>> m_calling;

    // The lock of the list and the file.
    mutable std::mutex m_lock;
    std::deque<CLogEvent*> m_events;  // owned, oldest first
    int m_maxEvents = 0;
    std::string m_path;
    std::unique_ptr<File> m_file;
    // The backup file, kept open once known so that a rotation needs no new file.
    std::unique_ptr<File> m_backup;
    // The line being written, as text and as the file's bytes: kept to use their room again.
    std::string m_line;
    std::string m_bytes;
};
