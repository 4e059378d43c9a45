#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// A thread that calls its work every `periodMs` milliseconds of the phone's clock (the first call
// one period after the start) until it is stopped. Stopping wakes it from its wait and joins it; a
// call of the work under way is waited for.
class CPeriodicThread {
  public:
    CPeriodicThread(uint32_t periodMs, std::function<void()> work);
    ~CPeriodicThread();
    CPeriodicThread(const CPeriodicThread&) = delete;
    CPeriodicThread& operator=(const CPeriodicThread&) = delete;

    // Idempotent; must not be called from the work itself.
    void Stop();

    // Sleeps `ms` phone milliseconds unless `stop` is raised first (then false). The clock's speed
    // is looked at again every step, so that a speed change is followed.
    static bool PauseUnless(std::mutex& lock, std::condition_variable& signal, const bool& stop, uint32_t ms);

  private:
    void Run();

    const uint32_t _periodMs;
    std::function<void()> _work;
    std::mutex _lock;
    std::condition_variable _signal;
    bool _stop = false;
    std::thread _thread;
};
