#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/CHiResTimer.h"
#include "core/WorkerThread.h"
#include "platform/CWindowHandles.h"
#include "platform/sim/CSimClock.h"
#include "support/TempHome.h"

namespace {

using namespace std::chrono_literals;

constexpr int kBlock = 100;  // waits for the gate to open
constexpr int kThrowStd = 101;
constexpr int kThrowOther = 102;
constexpr int kBlockBoth = 103;  // its handler and its TimeoutCommand wait for the gate
constexpr int kPostAgain = 104;  // its handler posts command 1 to its own worker

// Phone time runs 50 times faster: the 100 ms pause is 2 ms, a 5000 ms limit 100 ms.
constexpr double kSpeed = 50;

// A worker that records what it runs; command kBlock waits until the gate opens.
class Recorder : public WorkerThread {
  public:
    explicit Recorder(int stopMode = 1) : WorkerThread(stopMode, 0) {}
    ~Recorder() override {
        open();
        Stop();
    }

    void PostStart() override { postStartThread = std::this_thread::get_id(); }

    void HandleCommand(int command, void* argument) override {
        std::unique_lock lock(m);
        handled.push_back(command);
        arguments.push_back(argument);
        handlerThreads.push_back(GetCurrentThreadId());
        changed.notify_all();
        if (command == kPostAgain) {
            lock.unlock();
            PostCommand(1, -1, nullptr);
            return;
        }
        if (command == kBlock || command == kBlockBoth) {
            ++blocked;
            changed.notify_all();
            changed.wait(lock, [this] { return gateOpen; });
            ++released;
            changed.notify_all();
        } else if (command == kThrowStd) {
            throw std::runtime_error("handler failed");
        } else if (command == kThrowOther) {
            throw 42;
        }
    }

    void TimeoutCommand(int command) override {
        std::unique_lock lock(m);
        timedOut.push_back(command);
        changed.notify_all();
        if (command == kBlockBoth) {
            changed.wait(lock, [this] { return gateOpen; });
        }
    }

    void open() {
        std::lock_guard lock(m);
        gateOpen = true;
        changed.notify_all();
    }

    // Waits (real time) until `done` holds under the recorder's lock.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms) {
        std::unique_lock lock(m);
        return changed.wait_for(lock, limit, done);
    }
    std::vector<int> handledCopy() {
        std::lock_guard lock(m);
        return handled;
    }
    // Waits until the worker has nothing queued and the last command has finished.
    bool waitIdle(size_t handledCount) {
        if (!waitUntil([&] { return handled.size() >= handledCount; })) {
            return false;
        }
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (GetCountCommandsPending() == 0 &&
                GetNumeroComandosEjecutados() >= static_cast<long>(handledCount)) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    std::mutex m;
    std::condition_variable changed;
    std::vector<int> handled;
    std::vector<void*> arguments;
    std::vector<uint32_t> handlerThreads;
    std::vector<int> timedOut;
    bool gateOpen = false;
    int blocked = 0;
    int released = 0;
    std::thread::id postStartThread;
};

class WorkerThreadTest : public ::testing::Test {
  protected:
    WorkerThreadTest() { dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(kSpeed); }
    TempHome home;
};

TEST_F(WorkerThreadTest, PostsBeforeStartAreDroppedAndThePendingCountStays) {
    long before = WorkerThread::GetNumeroComandos();
    Recorder worker;
    EXPECT_FALSE(worker.PostCommand(1, -1, nullptr));
    EXPECT_FALSE(worker.PostCommandNotRepeteated(2, -1, nullptr));
    EXPECT_EQ(worker.GetCountCommandsPending(), 0);
    EXPECT_EQ(WorkerThread::GetNumeroComandos(), before);

    worker.Start();
    EXPECT_EQ(worker.postStartThread, std::this_thread::get_id());
    EXPECT_TRUE(worker.PostCommand(3, -1, nullptr));
    ASSERT_TRUE(worker.waitIdle(1));
    EXPECT_EQ(worker.handledCopy(), std::vector<int>{3});
}

TEST_F(WorkerThreadTest, CommandsRunInOrderEachInAnExecutionThreadOfItsOwn) {
    Recorder worker;
    EXPECT_EQ(worker.GetDescripcion(), "No establecido");
    EXPECT_EQ(WorkerThread::GetSizeDescripcion(), 400);
    worker.Start();
    int a = 0, b = 0;
    long totalBefore = WorkerThread::GetNumeroComandosEjecutadosTotal();
    worker.PostCommand(1, -1, &a);
    worker.PostCommand(2, -1, &b);
    worker.PostCommand(3, 1000, nullptr);
    ASSERT_TRUE(worker.waitIdle(3));
    std::lock_guard lock(worker.m);
    EXPECT_EQ(worker.handled, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(worker.arguments, (std::vector<void*>{&a, &b, nullptr}));
    EXPECT_EQ(worker.GetNumeroComandosEjecutados(), 3);
    EXPECT_GE(WorkerThread::GetNumeroComandosEjecutadosTotal() - totalBefore, 3);
    ASSERT_NE(worker.GetThreadID(), 0u);
    for (uint32_t id : worker.handlerThreads) {
        EXPECT_NE(id, worker.GetThreadID());
        EXPECT_NE(id, WorkerThread::GetCurrentThreadId());
    }
}

TEST_F(WorkerThreadTest, TheQueueCanBeReadWhileTheWorkerIsBusy) {
    Recorder worker;
    worker.Start();
    int arg = 0;
    worker.PostCommand(kBlock, -1, nullptr);
    ASSERT_TRUE(worker.waitUntil([&] { return worker.blocked == 1; }));
    worker.PostCommand(7, 250, &arg);
    worker.PostCommand(8, -1, nullptr);
    EXPECT_TRUE(worker.IsComandoEnCola(7));
    EXPECT_FALSE(worker.IsComandoEnCola(kBlock));
    EXPECT_EQ(worker.GetCountCommandsPending(), 2);
    EXPECT_EQ(worker.GetQueueCommands(), (std::deque<int>{7, 8}));
    EXPECT_EQ(worker.GetQueueTimeouts(), (std::deque<int>{250, -1}));
    EXPECT_EQ(worker.GetQueueArguments(), (std::deque<void*>{&arg, nullptr}));
    worker.open();
    ASSERT_TRUE(worker.waitIdle(3));
}

TEST_F(WorkerThreadTest, ARepeatedNumberIsQueuedOnlyOnce) {
    Recorder worker;
    worker.Start();
    worker.PostCommand(kBlock, -1, nullptr);
    ASSERT_TRUE(worker.waitUntil([&] { return worker.blocked == 1; }));
    EXPECT_TRUE(worker.PostCommandNotRepeteated(7, -1, nullptr));
    EXPECT_FALSE(worker.PostCommandNotRepeteated(7, -1, nullptr));
    EXPECT_TRUE(worker.PostCommandNotRepeteated(8, -1, nullptr));
    EXPECT_FALSE(worker.PostCommandNotRepeteated(7, -1, nullptr));
    EXPECT_EQ(worker.GetCountCommandsPending(), 2);
    worker.open();
    ASSERT_TRUE(worker.waitIdle(3));
    EXPECT_EQ(worker.handledCopy(), (std::vector<int>{kBlock, 7, 8}));
    // Once the first has run the number may be queued again.
    EXPECT_TRUE(worker.PostCommandNotRepeteated(7, -1, nullptr));
    ASSERT_TRUE(worker.waitIdle(4));
}

TEST_F(WorkerThreadTest, AHandlerPastItsLimitIsAbandonedAndTheNextCommandRuns) {
    Recorder worker;
    worker.Start();
    auto started = std::chrono::steady_clock::now();
    worker.PostCommand(kBlock, 5000, nullptr);
    worker.PostCommand(2, -1, nullptr);
    // 5000 ms of phone time are 100 ms at this speed.
    ASSERT_TRUE(worker.waitUntil([&] { return !worker.timedOut.empty(); }));
    ASSERT_TRUE(worker.waitUntil([&] { return worker.handled.size() == 2; }));
    auto elapsed = std::chrono::steady_clock::now() - started;
    std::unique_lock lock(worker.m);
    EXPECT_EQ(worker.timedOut, std::vector<int>{kBlock});
    EXPECT_EQ(worker.handled, (std::vector<int>{kBlock, 2}));
    // The abandoned handler is still blocked while the next command ran.
    EXPECT_EQ(worker.released, 0);
    EXPECT_GE(elapsed, 80ms);
    EXPECT_LT(elapsed, 3s);
    lock.unlock();
    worker.open();
    ASSERT_TRUE(worker.waitUntil([&] { return worker.released == 1; }));
}

TEST_F(WorkerThreadTest, ATimeoutHandlerThatHangsIsBoundedToo) {
    Recorder worker;
    worker.Start();
    auto started = std::chrono::steady_clock::now();
    worker.PostCommand(kBlockBoth, 1000, nullptr);
    worker.PostCommand(2, -1, nullptr);
    // 1000 ms for the command and at most 10000 ms for TimeoutCommand: 220 ms at this speed.
    ASSERT_TRUE(worker.waitUntil([&] { return worker.handled.size() == 2; }));
    auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, 200ms);
    EXPECT_LT(elapsed, 4s);
    std::unique_lock lock(worker.m);
    EXPECT_EQ(worker.timedOut, std::vector<int>{kBlockBoth});
    lock.unlock();
    worker.open();
    ASSERT_TRUE(worker.waitUntil([&] { return worker.released == 1; }));
}

// What an abandoned handler and the test share; it outlives the worker.
struct Gate {
    std::mutex m;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    bool workerDestroyed = false;
    bool handlerSawDestroyed = false;
    bool handlerDone = false;
};

// Its handler waits for the gate, then uses its own members and its argument, as handlers do.
class SlowHandler : public WorkerThread {
  public:
    explicit SlowHandler(std::shared_ptr<Gate> gate) : WorkerThread(1, 0), _gate(std::move(gate)) {}
    ~SlowHandler() override { Stop(); }
    void HandleCommand(int, void* argument) override {
        std::unique_ptr<std::vector<int>> numbers(static_cast<std::vector<int>*>(argument));
        {
            std::unique_lock lock(_gate->m);
            _gate->entered = true;
            _gate->changed.notify_all();
            _gate->changed.wait(lock, [this] { return _gate->open; });
            _gate->handlerSawDestroyed = _gate->workerDestroyed;
        }
        _sum = 0;
        for (int n : *numbers) {
            _sum += n;
        }
        _results.push_back(_sum);
        std::lock_guard lock(_gate->m);
        _gate->handlerDone = true;
        _gate->changed.notify_all();
    }

  private:
    std::shared_ptr<Gate> _gate;
    long _sum = 0;
    std::vector<long> _results;
};

// A handler past its limit is abandoned; destroying its worker meanwhile must not free the
// worker under it (run under AddressSanitizer this is a use after free otherwise).
TEST_F(WorkerThreadTest, AWorkerIsNotFreedUnderItsAbandonedHandler) {
    auto gate = std::make_shared<Gate>();
    auto worker = std::make_unique<SlowHandler>(gate);
    worker->Start();
    ASSERT_TRUE(worker->PostCommand(1, 100, new std::vector<int>{1, 2, 3}));
    {
        std::unique_lock lock(gate->m);
        ASSERT_TRUE(gate->changed.wait_for(lock, 5s, [&] { return gate->entered; }));
    }
    // 100 ms of phone time pass in 2 real ones: the command is abandoned long before this.
    std::this_thread::sleep_for(50ms);
    std::thread destroyer([&] {
        worker.reset();
        std::lock_guard lock(gate->m);
        gate->workerDestroyed = true;
        gate->changed.notify_all();
    });
    // Longer than any bounded wait of the destructor.
    std::this_thread::sleep_for(1500ms);
    {
        std::lock_guard lock(gate->m);
        EXPECT_FALSE(gate->workerDestroyed) << "the worker went while its handler still ran";
        gate->open = true;
        gate->changed.notify_all();
    }
    destroyer.join();
    std::unique_lock lock(gate->m);
    ASSERT_TRUE(gate->changed.wait_for(lock, 5s, [&] { return gate->handlerDone; }));
    EXPECT_FALSE(gate->handlerSawDestroyed);
}

TEST_F(WorkerThreadTest, AHandlerMayPostToItsOwnWorker) {
    Recorder worker;
    worker.Start();
    worker.PostCommand(kPostAgain, -1, nullptr);
    ASSERT_TRUE(worker.waitIdle(2));
    EXPECT_EQ(worker.handledCopy(), (std::vector<int>{kPostAgain, 1}));
}

TEST_F(WorkerThreadTest, AnExceptionInAHandlerIsCaughtAndTheWorkerGoesOn) {
    Recorder worker;
    worker.Start();
    worker.PostCommand(kThrowStd, -1, nullptr);
    worker.PostCommand(kThrowOther, 1000, nullptr);
    worker.PostCommand(3, -1, nullptr);
    ASSERT_TRUE(worker.waitIdle(3));
    EXPECT_EQ(worker.handledCopy(), (std::vector<int>{kThrowStd, kThrowOther, 3}));
    std::lock_guard lock(worker.m);
    EXPECT_TRUE(worker.timedOut.empty());
}

TEST_F(WorkerThreadTest, PingSetsTheFlagAndReachesNoHandler) {
    Recorder worker;
    EXPECT_EQ(worker.GetPing(), 1);
    worker.Start();
    worker.SetPing(0);
    worker.PostCommand(WorkerThread::kPingCommand, -1, nullptr);
    worker.PostCommand(5, -1, nullptr);
    ASSERT_TRUE(worker.waitIdle(1));
    EXPECT_EQ(worker.handledCopy(), std::vector<int>{5});
    EXPECT_EQ(worker.GetPing(), 1);
    EXPECT_EQ(worker.GetNumeroComandosEjecutados(), 2);
}

TEST_F(WorkerThreadTest, StopModeZeroRunsTheQueueAndRefusesPostsMeanwhile) {
    Recorder worker(0);
    worker.Start();
    worker.PostCommand(kBlock, -1, nullptr);
    ASSERT_TRUE(worker.waitUntil([&] { return worker.blocked == 1; }));
    worker.PostCommand(1, -1, nullptr);
    worker.PostCommand(2, -1, nullptr);
    worker.PostCommand(3, -1, nullptr);
    EXPECT_EQ(worker.GetCountCommandsPending(), 3);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        worker.Stop();
        stopped = true;
    });
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (worker.GetAceptacionDeMasComandos() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(worker.PostCommand(9, -1, nullptr));
    EXPECT_FALSE(stopped.load());
    worker.open();
    stopper.join();
    EXPECT_EQ(worker.handledCopy(), (std::vector<int>{kBlock, 1, 2, 3}));
    EXPECT_EQ(worker.GetCountCommandsPending(), 0);
    EXPECT_EQ(worker.GetStop(), 1);
}

TEST_F(WorkerThreadTest, StopModeOneEndsAfterTheRunningCommandAndTheCountersStayRight) {
    long pendingBefore = WorkerThread::GetNumeroComandos();
    long instancesBefore = WorkerThread::GetNumeroInstancias();
    // Arguments the queue owns, and one it does not.
    struct Owned {
        int* freed;
        ~Owned() { ++*freed; }
    };
    int freed = 0;
    Owned plain{&freed};
    auto worker = std::make_unique<Recorder>(1);
    EXPECT_EQ(WorkerThread::GetNumeroInstancias(), instancesBefore + 1);
    worker->Start();
    worker->PostCommand(kBlock, -1, nullptr);
    ASSERT_TRUE(worker->waitUntil([&] { return worker->blocked == 1; }));
    worker->PostCommand(1, -1, new Owned{&freed}, WorkerThread::DiscardAs<Owned>);
    worker->PostCommandNotRepeteated(2, -1, new Owned{&freed}, WorkerThread::DiscardAs<Owned>);
    worker->PostCommand(3, -1, &plain);
    EXPECT_EQ(WorkerThread::GetNumeroComandos(), pendingBefore + 3);
    std::thread stopper([&] { worker->Stop(); });
    std::this_thread::sleep_for(20ms);
    worker->open();
    stopper.join();
    EXPECT_EQ(worker->handledCopy(), std::vector<int>{kBlock});
    EXPECT_EQ(worker->GetCountCommandsPending(), 3);
    EXPECT_EQ(freed, 0);
    worker.reset();
    // The destructor took the commands that never ran off the pending count and freed the two
    // arguments the queue owned.
    EXPECT_EQ(freed, 2);
    EXPECT_EQ(WorkerThread::GetNumeroComandos(), pendingBefore);
    EXPECT_EQ(WorkerThread::GetNumeroInstancias(), instancesBefore);
}

TEST_F(WorkerThreadTest, AnotherStopModeLeavesTheThreadAndTheDestructorStopsIt) {
    long pendingBefore = WorkerThread::GetNumeroComandos();
    long instancesBefore = WorkerThread::GetNumeroInstancias();
    {
        auto worker = std::make_unique<Recorder>(2);
        worker->Start();
        worker->PostCommand(kBlock, -1, nullptr);
        ASSERT_TRUE(worker->waitUntil([&] { return worker->blocked == 1; }));
        worker->PostCommand(1, -1, nullptr);
        worker->WorkerThread::Stop();  // does nothing but refuse new commands
        EXPECT_EQ(worker->GetStop(), 0);
        EXPECT_FALSE(worker->PostCommand(2, -1, nullptr));
        worker->open();
        ASSERT_TRUE(worker->waitIdle(2));
        EXPECT_EQ(worker->handledCopy(), (std::vector<int>{kBlock, 1}));
    }
    EXPECT_EQ(WorkerThread::GetNumeroComandos(), pendingBefore);
    EXPECT_EQ(WorkerThread::GetNumeroInstancias(), instancesBefore);
}

TEST_F(WorkerThreadTest, DestroyingAWorkerThatWasNeverStoppedJoinsItAndUnregistersIt) {
    long pendingBefore = WorkerThread::GetNumeroComandos();
    long instancesBefore = WorkerThread::GetNumeroInstancias();
    WorkerThread* address = nullptr;
    {
        // The base class itself: a subclass would stop its worker in its own destructor.
        WorkerThread worker(1, 0);
        address = &worker;
        worker.Start();
        for (int i = 0; i < 20; ++i) {
            worker.PostCommand(i, -1, nullptr);
        }
        std::lock_guard lock(WorkerThread::m_hmuListaGlobalHilos);
        auto& list = *WorkerThread::m_pListaGlobalHilos;
        EXPECT_NE(std::find(list.begin(), list.end(), address), list.end());
    }
    EXPECT_EQ(WorkerThread::GetNumeroComandos(), pendingBefore);
    EXPECT_EQ(WorkerThread::GetNumeroInstancias(), instancesBefore);
    std::lock_guard lock(WorkerThread::m_hmuListaGlobalHilos);
    auto& list = *WorkerThread::m_pListaGlobalHilos;
    EXPECT_EQ(std::find(list.begin(), list.end(), address), list.end());
}

TEST_F(WorkerThreadTest, AThousandAndOneQueuedCommandsStillAcceptAnother) {
    Recorder worker(1);
    worker.Start();
    worker.PostCommand(kBlock, -1, nullptr);
    ASSERT_TRUE(worker.waitUntil([&] { return worker.blocked == 1; }));
    for (int i = 0; i < 1001; ++i) {
        ASSERT_TRUE(worker.PostCommand(1, -1, nullptr));
    }
    EXPECT_TRUE(worker.PostCommand(2, -1, nullptr));
    EXPECT_EQ(worker.GetCountCommandsPending(), 1002);
}

TEST_F(WorkerThreadTest, ThePauseAfterACommandFollowsThePhoneClock) {
    Recorder worker;
    worker.Start();
    uint32_t ticksBefore = home.services().clock().tickCount();
    auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        worker.PostCommand(i, -1, nullptr);
    }
    ASSERT_TRUE(worker.waitIdle(20));
    auto elapsed = std::chrono::steady_clock::now() - started;
    // Twenty pauses of 100 ms are 2 s of phone time but only 40 ms of real time at this speed.
    EXPECT_LT(elapsed, 1500ms);
    uint32_t last = worker.GetEllapseUltimoComando();
    EXPECT_GE(last - ticksBefore, 19u * 100u);
    EXPECT_LE(last - ticksBefore, 60000u);
}

TEST_F(WorkerThreadTest, StatisticsArePostedToTheStatisticsWindow) {
    std::mutex m;
    std::vector<std::pair<UINT, WPARAM>> messages;
    HWND window = platform::CWindowHandles::Register({[&](UINT msg, WPARAM w, LPARAM l) {
                                                          EXPECT_EQ(l, 0);
                                                          std::lock_guard lock(m);
                                                          messages.emplace_back(msg, w);
                                                      },
                                                      nullptr});
    WorkerThread::hwndThreads.store(window);
    {
        Recorder worker;
        worker.Start();
        worker.PostCommand(1, -1, nullptr);
        ASSERT_TRUE(worker.waitIdle(1));
    }
    WorkerThread::hwndThreads.store(0);
    platform::CWindowHandles::Unregister(window);

    std::lock_guard lock(m);
    auto count = [&](UINT msg) {
        return std::count_if(messages.begin(), messages.end(), [&](auto& p) { return p.first == msg; });
    };
    EXPECT_EQ(count(0x466), 2);  // construction and destruction
    EXPECT_GE(count(0x464), 2);  // the post and the worker's rounds
    EXPECT_EQ(count(0x465), 1);
    auto executed = std::find_if(messages.begin(), messages.end(), [](auto& p) { return p.first == 0x465; });
    EXPECT_EQ(executed->second, static_cast<WPARAM>(WorkerThread::GetNumeroComandosEjecutadosTotal()));
}

TEST_F(WorkerThreadTest, DescriptionIsCutToItsBuffer) {
    Recorder worker;
    worker.SetDescripcion(std::string(300, 'x'));
    EXPECT_EQ(worker.GetDescripcion().size(), 199u);
    worker.SetDescripcion("Wi-Fi");
    EXPECT_EQ(worker.GetDescripcion(), "Wi-Fi");
}

TEST(HiResTimerTest, MeasuresTheSpanBetweenStartAndStop) {
    CHiResTimer timer;
    ASSERT_TRUE(timer.IsTimerInstalled());
    timer.Start();
    std::this_thread::sleep_for(20ms);
    timer.Stop();
    EXPECT_GE(timer.GetTime(), 0.019f);
    EXPECT_LT(timer.GetTime(), 2.0f);
    timer.Reset();
    EXPECT_EQ(timer.GetTime(), 0.0f);
}

// TerminateAll ends the process's use of the workers: it must return soon even when a command
// hangs, and the process must then exit normally although that worker is a static object.
class Hanging : public WorkerThread {
  public:
    Hanging() : WorkerThread(1, 0) {}
    ~Hanging() override { Stop(); }
    void HandleCommand(int, void*) override {
        started = true;
        for (;;) {
            std::this_thread::sleep_for(1h);
        }
    }
    std::atomic<bool> started{false};
};

class Plain : public WorkerThread {
  public:
    Plain() : WorkerThread(1, 0) {}
    ~Plain() override { Stop(); }
    std::atomic<int> runs{0};
    void HandleCommand(int, void*) override { ++runs; }
};

void terminateAllAndExit() {
    auto home = std::make_unique<TempHome>();
    static Hanging hanging;
    auto idle = std::make_unique<Plain>();
    hanging.Start();
    idle->Start();
    hanging.PostCommand(1, -1, nullptr);
    idle->PostCommand(1, -1, nullptr);
    while (!hanging.started || idle->runs == 0) {
        std::this_thread::sleep_for(1ms);
    }
    auto started = std::chrono::steady_clock::now();
    WorkerThread::TerminateAll();
    if (std::chrono::steady_clock::now() - started > 3s) {
        std::exit(3);
    }
    if (hanging.PostCommand(2, -1, nullptr) || idle->PostCommand(2, -1, nullptr)) {
        std::exit(4);
    }
    idle.reset();
    home.reset();
    std::exit(0);  // static destruction takes the hanging worker apart
}

TEST(WorkerThreadExitTest, TerminateAllReturnsSoonAndTheProcessExitsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(terminateAllAndExit(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
