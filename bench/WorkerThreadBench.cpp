// Latency of one posted command: from PostCommand to the start of its handler, which includes
// waking the worker and creating the command's execution thread. The phone's clock runs 1000
// times faster so that the fixed 100 ms pause after each command is 0.1 ms, and each iteration
// waits for that pause to end before it posts again, so that no pause is measured. Reported as
// the median of repetitions.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/WorkerThread.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "support/TempHome.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records when its handler starts.
class Probe : public WorkerThread {
  public:
    Probe() : WorkerThread(1, 0) {}
    ~Probe() override { Stop(); }
    void HandleCommand(int, void*) override {
        auto now = Clock::now();
        std::lock_guard lock(m);
        started = now;
        ++runs;
        changed.notify_all();
    }
    std::mutex m;
    std::condition_variable changed;
    Clock::time_point started;
    long runs = 0;
};

void BM_PostToHandlerStart(benchmark::State& state) {
    TempHome home;
    dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(1000);
    Probe probe;
    probe.Start();
    long expected = 0;
    for (auto _ : state) {
        auto posted = Clock::now();
        probe.PostCommand(1, -1, nullptr);
        ++expected;
        Clock::time_point started;
        {
            std::unique_lock lock(probe.m);
            probe.changed.wait(lock, [&] { return probe.runs == expected; });
            started = probe.started;
        }
        state.SetIterationTime(std::chrono::duration<double>(started - posted).count());
        // Let the command end and its pause (0.1 ms of real time) pass, unmeasured.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    state.counters["commands"] = static_cast<double>(expected);
}
BENCHMARK(BM_PostToHandlerStart)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
