#include "core/CPeriodicThread.h"

#include <algorithm>
#include <chrono>

#include "core/DebugTrace.h"
#include "platform/Services.h"

namespace {
constexpr auto kPauseStep = std::chrono::milliseconds(50);
}

CPeriodicThread::CPeriodicThread(uint32_t periodMs, std::function<void()> work)
    : _periodMs(periodMs), _work(std::move(work)), _thread([this] { Run(); }) {}

CPeriodicThread::~CPeriodicThread() {
    Stop();
}

void CPeriodicThread::Stop() {
    {
        std::lock_guard lock(_lock);
        _stop = true;
    }
    _signal.notify_all();
    if (_thread.joinable() && _thread.get_id() != std::this_thread::get_id()) {
        _thread.join();
    }
}

bool CPeriodicThread::PauseUnless(std::mutex& lock, std::condition_variable& signal, const bool& stop,
                                  uint32_t ms) {
    auto& clock = platform::Services::get().clock();
    const uint32_t start = clock.tickCount();
    std::unique_lock held(lock);
    for (;;) {
        if (stop) {
            return false;
        }
        uint32_t elapsed = clock.tickCount() - start;
        if (elapsed >= ms) {
            return true;
        }
        auto step = std::min<std::chrono::nanoseconds>(clock.realDuration(ms - elapsed), kPauseStep);
        signal.wait_for(held, step);
    }
}

void CPeriodicThread::Run() {
    try {
        while (PauseUnless(_lock, _signal, _stop, _periodMs)) {
            _work();
        }
    } catch (const std::exception& e) {
        // Without platform services (the program is ending) there is nothing left to poll.
        LogFormateado(1, "periodic thread ended: %s", e.what());
    }
}
