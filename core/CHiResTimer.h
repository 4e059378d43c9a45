#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// A stopwatch on the machine's high-resolution monotonic counter, for timing commands in the
// debug trace. It measures real time, not the phone's (possibly sped-up) clock. The counts are
// atomic so that one process-wide timer may be restarted from several worker threads.
class CHiResTimer {
  public:
    constexpr CHiResTimer() noexcept
        : m_installed(Counter::is_steady),
          m_frequency(static_cast<int64_t>(Counter::period::den / Counter::period::num)) {}
    CHiResTimer(const CHiResTimer&) = delete;
    CHiResTimer& operator=(const CHiResTimer&) = delete;

    // Record the counter as the start, or as the stop, of the measured span.
    void Start();
    void Stop();
    // Zeroes both counts.
    void Reset();
    // (stop - start) / frequency in seconds; 0 when the counter is not installed or has no frequency.
    float GetTime() const;
    bool IsTimerInstalled() const { return m_installed; }

  private:
    using Counter = std::chrono::steady_clock;
    static int64_t now();

    bool m_installed;
    std::atomic<int64_t> m_start{0};
    std::atomic<int64_t> m_stop{0};
    int64_t m_frequency;  // counts per second
};
