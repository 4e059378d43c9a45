#include "core/WorkerThread.h"

#include <pthread.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <system_error>

#include "core/DebugTrace.h"
#include "core/TextBuffer.h"
#include "platform/CWindowHandles.h"
#include "platform/Services.h"

std::atomic<long> WorkerThread::m_iNumeroInstancias{0};
std::atomic<long> WorkerThread::m_iNumeroComandos{0};
std::atomic<long> WorkerThread::m_iNumeroComandosEjecutadosTotal{0};
std::atomic<long> WorkerThread::m_iNumeroComandosPerdidos{0};
std::list<WorkerThread*>* WorkerThread::m_pListaGlobalHilos = nullptr;
std::mutex WorkerThread::m_hmuListaGlobalHilos;
std::atomic<HWND> WorkerThread::hwndThreads{0};

namespace {

// The process-wide timer, restarted for every command of every worker.
CHiResTimer g_timer;

// Set by TerminateAll: workers end after their command, without pause or platform calls.
std::atomic<bool> g_terminating{false};

// The worker whose command the current thread is executing (execution threads only).
thread_local const WorkerThread* t_executingFor = nullptr;

// How long the bounded waits of the destructor and of TerminateAll last, in real time: they
// guard the exit of the process, not a duration of the phone.
constexpr auto kExitWait = std::chrono::milliseconds(1000);
// Once TerminateAll has waited that long, later waits for the same threads are kept short.
constexpr auto kAfterTerminateWait = std::chrono::milliseconds(100);

// The phone's clock, or the machine's when no platform services are set up (a worker that
// outlives them at exit must not fail for that).
std::chrono::nanoseconds realDuration(uint32_t ms) {
    try {
        return platform::Services::get().clock().realDuration(ms);
    } catch (...) {
        return std::chrono::milliseconds(ms);
    }
}

uint32_t tickCount() {
    try {
        return platform::Services::get().clock().tickCount();
    } catch (...) {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
}

void pause(uint32_t ms) {
    platform::IClock* clock = nullptr;
    try {
        clock = &platform::Services::get().clock();
    } catch (...) {
    }
    if (clock) {
        clock->sleep(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void postStatistic(UINT message, long value) {
    HWND window = WorkerThread::hwndThreads.load();
    if (window != 0) {
        platform::CWindowHandles::PostMessageW(window, message, static_cast<WPARAM>(value), 0);
    }
}

}  // namespace

WorkerThread::WorkerThread(int stopMode, HWND hwndContestacion)
    : m_hwndContestacion(hwndContestacion), m_stopMode(stopMode), m_descripcion("No establecido") {
    {
        std::lock_guard lock(m_hmuListaGlobalHilos);
        if (!m_pListaGlobalHilos) {
            m_pListaGlobalHilos = new std::list<WorkerThread*>();
        }
        m_pListaGlobalHilos->push_back(this);
    }
    ++m_iNumeroInstancias;
    EnviarHilosActivos();
}

WorkerThread::~WorkerThread() {
    // Stop the thread if the owner did not (whatever the stop mode), and join it.
    m_aceptacion.store(0);
    SetStop(1);
    {
        std::unique_lock threadLock(m_threadLock);
        if (m_thread.joinable()) {
            if (m_thread.get_id() == std::this_thread::get_id() || isExecutionThread()) {
                // Destroyed from its own thread: nothing can wait for it.
                m_thread.detach();
            } else {
                m_thread.join();
            }
        } else if (m_started.load()) {
            // Detached by TerminateAll, which already waited for it: give it a last moment.
            threadLock.unlock();
            std::unique_lock lock(m_eventsLock);
            m_eventsChanged.wait_for(lock, kAfterTerminateWait, [this] { return m_evEnded; });
        }
    }
    // A handler abandoned past its limit still runs on this object: it is not freed under it.
    // Only at the very end of the process (TerminateAll) is the wait bounded.
    waitForAbandoned(g_terminating.load());

    std::deque<void*> arguments;
    std::deque<Discard> discards;
    {
        std::lock_guard lock(m_queueLock);
        m_iNumeroComandos -= static_cast<long>(m_commands.size());
        m_commands.clear();
        m_timeouts.clear();
        arguments.swap(m_arguments);
        discards.swap(m_discards);
    }
    // Commands never run: the arguments the queue owns are freed.
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (discards[i]) {
            discards[i](arguments[i]);
        }
    }
    --m_iNumeroInstancias;
    {
        std::lock_guard lock(m_hmuListaGlobalHilos);
        m_pListaGlobalHilos->remove(this);
    }
    EnviarHilosActivos();
}

bool WorkerThread::TimedLock::try_lock_for(std::chrono::nanoseconds wait) {
    std::unique_lock lock(m_lock);
    if (!m_released.wait_for(lock, wait, [this] { return !m_held; })) {
        return false;
    }
    m_held = true;
    return true;
}

void WorkerThread::TimedLock::unlock() {
    {
        std::lock_guard lock(m_lock);
        m_held = false;
    }
    m_released.notify_one();
}

void WorkerThread::PostStart() {}

void WorkerThread::HandleCommand(int, void*) {}

void WorkerThread::TimeoutCommand(int command) {
    LogFormateado(2, "WorkerThread::TimeoutCommand %d", command);
}

void WorkerThread::Start() {
    {
        std::lock_guard lock(m_threadLock);
        if (m_started.load()) {
            LogFormateado(1, "WorkerThread::Start: already started (%s)", GetDescripcion());
            return;
        }
        m_thread = std::thread(&WorkerThread::threadProc, this);
        m_started.store(true);
    }
    PostStart();
}

bool WorkerThread::PostCommand(int command, int timeLimit, void* argument) {
    return post(command, timeLimit, argument, nullptr, false);
}

bool WorkerThread::PostCommandNotRepeteated(int command, int timeLimit, void* argument) {
    return post(command, timeLimit, argument, nullptr, true);
}

bool WorkerThread::PostCommand(int command, int timeLimit, void* argument, Discard discard) {
    return post(command, timeLimit, argument, discard, false);
}

bool WorkerThread::PostCommandNotRepeteated(int command, int timeLimit, void* argument, Discard discard) {
    return post(command, timeLimit, argument, discard, true);
}

bool WorkerThread::post(int command, int timeLimit, void* argument, Discard discard, bool notRepeated) {
    std::unique_lock postLock(m_postLock, std::defer_lock);
    if (!postLock.try_lock_for(realDuration(kPostLockWaitMs))) {
        LogFormateado(1, "PostCommand %d: post lock not obtained, command dropped", command);
        ++m_iNumeroComandosPerdidos;
        return false;
    }
    if (static_cast<size_t>(GetCountCommandsPending()) > kManyCommands) {
        LogFormateado(1, "PostCommand %d: Alto numero de parametros (%d)", command,
                      GetCountCommandsPending());
    }
    if (!m_started.load() || m_aceptacion.load() == 0 || GetStop() != 0) {
        LogFormateado(2, "PostCommand %d: worker not running or not accepting, command dropped", command);
        return false;
    }
    {
        std::lock_guard queueLock(m_queueLock);
        if (notRepeated && std::find(m_commands.begin(), m_commands.end(), command) != m_commands.end()) {
            LogFormateado(2, "PostCommand %d: Mensaje omitido por repetecicion", command);
            return false;
        }
        m_commands.push_back(command);
        m_arguments.push_back(argument);
        m_discards.push_back(discard);
        m_timeouts.push_back(timeLimit);
        ++m_iNumeroComandos;
        // Still under the queue lock, so that the worker cannot drain the queue and mark itself
        // idle between the append and these two events.
        std::lock_guard events(m_eventsLock);
        m_evWork = true;
        m_evIdle = false;
        m_eventsChanged.notify_all();
    }
    EnviarComandosPendientes();
    return true;
}

bool WorkerThread::IsComandoEnCola(int command) const {
    std::lock_guard lock(m_queueLock);
    return std::find(m_commands.begin(), m_commands.end(), command) != m_commands.end();
}

int WorkerThread::GetCountCommandsPending() const {
    std::lock_guard lock(m_queueLock);
    return static_cast<int>(m_commands.size());
}

std::deque<int> WorkerThread::GetQueueCommands() const {
    std::lock_guard lock(m_queueLock);
    return m_commands;
}

std::deque<int> WorkerThread::GetQueueTimeouts() const {
    std::lock_guard lock(m_queueLock);
    return m_timeouts;
}

std::deque<void*> WorkerThread::GetQueueArguments() const {
    std::lock_guard lock(m_queueLock);
    return m_arguments;
}

void WorkerThread::HandleCommandWorkerThread(int command, void* argument) {
    if (command == kPingCommand) {
        m_ping.store(1);
        return;
    }
    HandleCommand(command, argument);
}

int WorkerThread::GetStop() const {
    std::lock_guard lock(m_stopLock);
    return m_stop;
}

void WorkerThread::SetStop(int stop) {
    {
        std::lock_guard lock(m_stopLock);
        m_stop = stop;
    }
    if (stop != 0) {
        std::lock_guard lock(m_eventsLock);
        m_evStop = true;
        m_eventsChanged.notify_all();
    }
}

void WorkerThread::Stop() {
    {
        // Taking the post lock lets a post already under way finish (queued, work event set)
        // before the refusal, so that a stop that drains cannot miss it.
        std::unique_lock postLock(m_postLock, std::defer_lock);
        if (!postLock.try_lock_for(realDuration(kPostLockWaitMs))) {
            LogFormateado(1, "WorkerThread::Stop: post lock not obtained (%s)", GetDescripcion());
        }
        m_aceptacion.store(0);
    }
    if (m_stopMode != 0 && m_stopMode != 1) {
        return;
    }
    if (!m_started.load() || isExecutionThread()) {
        // Nothing runs, or the caller is the command the worker waits for: only raise the flag.
        SetStop(1);
        return;
    }
    bool terminating = g_terminating.load();
    if (m_stopMode == 0) {
        std::unique_lock lock(m_eventsLock);
        if (terminating) {
            m_eventsChanged.wait_for(lock, kAfterTerminateWait, [this] { return m_evIdle || m_evEnded; });
        } else {
            m_eventsChanged.wait(lock, [this] { return m_evIdle || m_evEnded; });
        }
    }
    SetStop(1);
    {
        std::unique_lock lock(m_eventsLock);
        if (terminating) {
            m_eventsChanged.wait_for(lock, kAfterTerminateWait, [this] { return m_evEnded; });
        } else {
            m_eventsChanged.wait(lock, [this] { return m_evEnded; });
        }
    }
    std::lock_guard threadLock(m_threadLock);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        bool ended;
        {
            std::lock_guard lock(m_eventsLock);
            ended = m_evEnded;
        }
        if (ended) {
            m_thread.join();  // it has nothing left to do but return
        }
    }
    // A subclass stops its worker before its own members go: a handler abandoned past its limit
    // may still use them.
    waitForAbandoned(terminating);
}

void WorkerThread::TerminateAll() {
    g_terminating.store(true);
    // Statistics posted by a detached worker must not reach the window registry while static
    // destruction takes it apart.
    hwndThreads.store(0);
    std::lock_guard listLock(m_hmuListaGlobalHilos);
    if (!m_pListaGlobalHilos) {
        return;
    }
    for (WorkerThread* worker : *m_pListaGlobalHilos) {
        worker->m_aceptacion.store(0);
        worker->SetStop(1);
    }
    auto deadline = std::chrono::steady_clock::now() + kExitWait;
    for (WorkerThread* worker : *m_pListaGlobalHilos) {
        std::unique_lock lock(worker->m_eventsLock);
        worker->m_eventsChanged.wait_until(
            lock, deadline, [worker] { return worker->m_evEnded || !worker->m_started.load(); });
    }
    int detached = 0;
    for (WorkerThread* worker : *m_pListaGlobalHilos) {
        bool ended;
        {
            std::lock_guard lock(worker->m_eventsLock);
            ended = worker->m_evEnded;
        }
        std::lock_guard threadLock(worker->m_threadLock);
        if (!worker->m_thread.joinable()) {
            continue;
        }
        if (ended && worker->m_thread.get_id() != std::this_thread::get_id()) {
            worker->m_thread.join();
        } else {
            worker->m_thread.detach();
            ++detached;
        }
    }
    LogFormateado(1, "WorkerThread::TerminateAll: %d workers, %d left running", m_pListaGlobalHilos->size(),
                  detached);
}

long WorkerThread::GetNumeroInstancias() {
    return m_iNumeroInstancias.load();
}

long WorkerThread::GetNumeroComandos() {
    return m_iNumeroComandos.load();
}

long WorkerThread::GetNumeroComandosEjecutadosTotal() {
    return m_iNumeroComandosEjecutadosTotal.load();
}

long WorkerThread::GetNumeroComandosPerdidos() {
    return m_iNumeroComandosPerdidos.load();
}

std::string WorkerThread::DescribeAll() {
    std::string out;
    long workers = 0;
    {
        std::lock_guard lock(m_hmuListaGlobalHilos);
        if (m_pListaGlobalHilos) {
            for (const WorkerThread* worker : *m_pListaGlobalHilos) {
                ++workers;
                out += "worker=" + worker->GetDescripcion() + "|" +
                       std::to_string(worker->GetNumeroComandosEjecutados()) + "|" +
                       std::to_string(worker->GetCountCommandsPending()) + "\n";
            }
        }
    }
    out += "workers=" + std::to_string(workers) + "\n";
    out += "workers_pending=" + std::to_string(GetNumeroComandos()) + "\n";
    out += "workers_executed=" + std::to_string(GetNumeroComandosEjecutadosTotal()) + "\n";
    out += "workers_lost=" + std::to_string(GetNumeroComandosPerdidos()) + "\n";
    return out;
}

long WorkerThread::GetNumeroComandosEjecutados() const {
    return m_numeroComandosEjecutados.load();
}

void WorkerThread::EnviarComandosPendientes() {
    if (hwndThreads.load() == 0) {
        return;
    }
    if (m_iNumeroComandos.load() < 0) {
        long pending = 0;
        std::lock_guard listLock(m_hmuListaGlobalHilos);
        if (m_pListaGlobalHilos) {
            for (WorkerThread* worker : *m_pListaGlobalHilos) {
                pending += worker->GetCountCommandsPending();
            }
        }
        m_iNumeroComandos.store(pending);
    }
    postStatistic(kMsgComandosPendientes, m_iNumeroComandos.load());
}

void WorkerThread::EnviarComandosEjecutados() {
    postStatistic(kMsgComandosEjecutados, m_iNumeroComandosEjecutadosTotal.load());
}

void WorkerThread::EnviarHilosActivos() {
    postStatistic(kMsgHilosActivos, m_iNumeroInstancias.load());
}

namespace {

// The calling thread's id, asked of the kernel once per thread. A forked child has only the
// forking thread, under a new id: it asks again.
thread_local pid_t t_threadId = 0;
const int g_forgetThreadIdInChild = ::pthread_atfork(nullptr, nullptr, [] { t_threadId = 0; });

}  // namespace

uint32_t WorkerThread::GetCurrentThreadId() {
    if (t_threadId == 0) {
        t_threadId = ::gettid();
    }
    return static_cast<uint32_t>(t_threadId);
}

std::string WorkerThread::GetDescripcion() const {
    std::lock_guard lock(m_descripcionLock);
    return m_descripcion;
}

void WorkerThread::SetDescripcion(const std::string& text) {
    std::lock_guard lock(m_descripcionLock);
    m_descripcion = FitBuffer(text, kDescripcionChars);
}

bool WorkerThread::isExecutionThread() const {
    return t_executingFor == this;
}

template <typename Work>
bool WorkerThread::runBounded(Work work, int limitMs) {
    auto execution = std::make_shared<Execution>();
    std::thread thread;
    try {
        thread = std::thread([this, execution, work] {
            t_executingFor = this;
            try {
                work();
            } catch (const std::exception& e) {
                LogFormateado(1, "WorkerThread: exception in a command: %s", e.what());
            } catch (...) {
                LogFormateado(1, "WorkerThread: exception in a command");
            }
            // From here on only the shared block: the worker may be gone.
            std::lock_guard lock(execution->lock);
            execution->done = true;
            execution->finished.notify_all();
        });
    } catch (const std::system_error& e) {
        LogFormateado(1, "WorkerThread: no thread for a command (%s)", e.what());
        return true;
    }
    {
        std::lock_guard lock(execution->lock);
        execution->thread = thread.get_id();
    }
    bool finished;
    {
        std::unique_lock lock(execution->lock);
        if (limitMs < 0) {
            execution->finished.wait(lock, [&] { return execution->done; });
            finished = true;
        } else {
            finished = execution->finished.wait_for(lock, realDuration(static_cast<uint32_t>(limitMs)),
                                                    [&] { return execution->done; });
        }
    }
    if (finished) {
        thread.join();
        return true;
    }
    thread.detach();
    std::lock_guard lock(m_executionsLock);
    // Forget the ones that have finished since.
    std::erase_if(m_abandoned, [](const std::shared_ptr<Execution>& e) {
        std::lock_guard l(e->lock);
        return e->done;
    });
    m_abandoned.push_back(std::move(execution));
    return false;
}

void WorkerThread::waitForAbandoned(bool bounded) {
    std::vector<std::shared_ptr<Execution>> abandoned;
    {
        std::lock_guard lock(m_executionsLock);
        abandoned.swap(m_abandoned);
    }
    const auto deadline = std::chrono::steady_clock::now() + kAfterTerminateWait;
    for (const auto& execution : abandoned) {
        std::unique_lock lock(execution->lock);
        if (execution->thread == std::this_thread::get_id()) {
            continue;  // destroyed by that very handler: it cannot be waited for
        }
        if (bounded) {
            if (!execution->finished.wait_until(lock, deadline, [&] { return execution->done; })) {
                LogFormateado(1, "~WorkerThread: an abandoned command still runs at exit (%s)",
                              GetDescripcion());
            }
            continue;
        }
        while (!execution->finished.wait_for(lock, kExitWait, [&] { return execution->done; })) {
            LogFormateado(1, "~WorkerThread: waiting for an abandoned command (%s)", GetDescripcion());
        }
    }
}

void WorkerThread::threadProc() {
    m_threadId.store(GetCurrentThreadId());
    CHiResTimer timer;
    for (;;) {
        if (GetStop() != 0) {
            break;
        }
        {
            std::unique_lock lock(m_eventsLock);
            m_eventsChanged.wait(lock, [this] { return m_evWork || m_evStop; });
            if (!m_evWork) {
                break;  // the stop event
            }
        }
        bool have = false;
        int command = 0;
        int limit = kNoTimeLimit;
        void* argument = nullptr;
        {
            std::lock_guard lock(m_queueLock);
            if (!m_commands.empty()) {
                command = m_commands.front();
                limit = m_timeouts.front();
                argument = m_arguments.front();
                m_commands.pop_front();
                m_timeouts.pop_front();
                m_arguments.pop_front();
                m_discards.pop_front();
                --m_iNumeroComandos;
                ++m_numeroComandosEjecutados;
                ++m_iNumeroComandosEjecutadosTotal;
                have = true;
            }
        }
        if (have) {
            EnviarComandosEjecutados();
            g_timer.Reset();
            g_timer.Start();
            timer.Reset();
            timer.Start();
            bool inTime = runBounded(
                [this, command, argument] { HandleCommandWorkerThread(command, argument); }, limit);
            if (!inTime) {
                LogFormateado(1, "****** Timeout ejecutando comando %d (%d ms)", command, limit);
                int timedOut = command;
                if (!runBounded([this, timedOut] { TimeoutCommand(timedOut); },
                                static_cast<int>(kTimeoutCommandWaitMs))) {
                    LogFormateado(1, "TimeoutCommand %d did not return in time", command);
                }
            }
            timer.Stop();
            g_timer.Stop();
            LogFormateado(3, "Comando %d ejecutado en %.1f ms (%s)", command, timer.GetTime() * 1000.0,
                          GetDescripcion());
            if (g_terminating.load()) {
                break;
            }
            m_ellapseUltimoComando.store(tickCount());
            pause(kPauseAfterCommandMs);
        }
        EnviarComandosPendientes();
        {
            std::lock_guard lock(m_queueLock);
            if (m_commands.empty()) {
                std::lock_guard events(m_eventsLock);
                m_evIdle = true;
                m_evWork = false;
                m_eventsChanged.notify_all();
            }
        }
    }
    std::lock_guard lock(m_eventsLock);
    m_evEnded = true;
    m_eventsChanged.notify_all();
}
