#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemTime.h"

// One entry of the event log: who logged it, when, how severe, a one-line summary (the resume)
// and the detail, both already translated, and the id of the thread that logged it.
class CLogEvent {
  public:
    // Severities, indexes of szSeveridades.
    static constexpr int SEVERITY_TRACE = 0;
    static constexpr int SEVERITY_DEBUG = 1;
    static constexpr int SEVERITY_INFO = 2;
    static constexpr int SEVERITY_WARNING = 3;
    static constexpr int SEVERITY_ERROR = 4;
    static constexpr int SEVERITY_FATAL = 5;
    // Sources that are not manager ids.
    static constexpr int SOURCE_APPLICATION = 300;
    static constexpr int SOURCE_SCHEDULE_ENGINE = 301;

    CLogEvent() = default;
    CLogEvent(const CLogEvent&) = default;
    CLogEvent& operator=(const CLogEvent&) = default;
    virtual ~CLogEvent() = default;

    int GetSource() const { return m_source; }
    void SetSource(int source) { m_source = source; }
    const SYSTEMTIME& GetTime() const { return m_time; }
    void SetTime(const SYSTEMTIME& time) { m_time = time; }
    int GetSeverity() const { return m_severity; }
    void SetSeverity(int severity) { m_severity = severity; }
    const std::string& GetResume() const { return m_resume; }
    void SetResume(const std::string& resume) { m_resume = resume; }
    const std::string& GetDescription() const { return m_description; }
    void SetDescription(const std::string& description) { m_description = description; }
    uint32_t GetThreadID() const { return m_threadId; }
    void SetThreadID(uint32_t threadId) { m_threadId = threadId; }

  private:
    int m_source = 0;
    SYSTEMTIME m_time{};
    int m_severity = 0;
    std::string m_resume;
    std::string m_description;
    uint32_t m_threadId = 0;
};
