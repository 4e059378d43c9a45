#include "core/CHiResTimer.h"

int64_t CHiResTimer::now() {
    return static_cast<int64_t>(Counter::now().time_since_epoch().count());
}

void CHiResTimer::Start() {
    m_start.store(now(), std::memory_order_relaxed);
}

void CHiResTimer::Stop() {
    m_stop.store(now(), std::memory_order_relaxed);
}

void CHiResTimer::Reset() {
    m_start.store(0, std::memory_order_relaxed);
    m_stop.store(0, std::memory_order_relaxed);
}

float CHiResTimer::GetTime() const {
    if (!m_installed || m_frequency == 0) {
        return 0.0f;
    }
    int64_t span = m_stop.load(std::memory_order_relaxed) - m_start.load(std::memory_order_relaxed);
    return static_cast<float>(static_cast<double>(span) / static_cast<double>(m_frequency));
}
