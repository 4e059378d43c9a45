#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/CHiResTimer.h"
#include "platform/WindowMessages.h"

// A thread that executes queued commands one after another, away from the window thread.
//
// A command is a number chosen by the subclass, a time limit in milliseconds of the phone's clock
// (-1: none) and a pointer-sized argument that belongs to the handler. Each command runs in a
// short-lived execution thread of its own, so that a command that hangs in a platform call can be
// abandoned after its time limit without losing the worker; after every command the worker pauses
// 100 ms of the phone's clock.
//
// A command past its time limit is abandoned, never killed: its execution thread is detached and
// left to finish on its own, TimeoutCommand is called with its number and the worker goes on. What
// the execution thread touches after the handler returns lives in a block of shared ownership, so
// it never reaches freed memory by itself. The handler runs on this object and on its argument
// (which the handler owns): Stop (which a subclass calls before its members go) and the
// destructor therefore wait for every abandoned handler to return, so that none is left running
// on a half-destroyed or freed worker. Only once TerminateAll has run (the process is ending) is
// that wait bounded.
//
// Subclasses call Stop in their own destructor (before their members go), so that no command of
// theirs runs on a half-destroyed object. ~WorkerThread stops and joins the thread too when Stop
// was never called; commands still queued then are dropped without running, and what their
// arguments point to is not freed (only the handler knows how).
//
// A handler must neither Stop nor destroy its own worker (a Stop from the running handler only
// raises the stop flag and returns, it cannot wait for the worker that is waiting for it).
class WorkerThread {
  public:
    // Handled by the base class: sets the ping flag, reaches no handler.
    static constexpr int kPingCommand = 123456;
    static constexpr int kNoTimeLimit = -1;
    // Longest wait of a poster for the post lock (phone milliseconds).
    static constexpr uint32_t kPostLockWaitMs = 1000;
    // Longest wait for TimeoutCommand (phone milliseconds).
    static constexpr uint32_t kTimeoutCommandWaitMs = 10000;
    // Pause after every command (phone milliseconds).
    static constexpr uint32_t kPauseAfterCommandMs = 100;
    // Above this many queued commands a post leaves a line in the debug trace (it is still queued).
    static constexpr size_t kManyCommands = 1000;
    // The description holds this many characters (a buffer of 200 wide characters, 400 bytes).
    static constexpr size_t kDescripcionChars = 200;
    // Statistics messages posted to hwndThreads, first parameter the value, second 0.
    static constexpr UINT kMsgComandosPendientes = WM_USER + 100;  // 0x464
    static constexpr UINT kMsgComandosEjecutados = WM_USER + 101;  // 0x465
    static constexpr UINT kMsgHilosActivos = WM_USER + 102;        // 0x466

    // stopMode: 0 = Stop lets the queue drain, 1 = Stop stops at once, other = Stop does nothing.
    WorkerThread(int stopMode, HWND hwndContestacion);
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Called once right after the thread is created, in the creating thread.
    virtual void PostStart();
    // The subclass's command handler; runs in the command's execution thread.
    virtual void HandleCommand(int command, void* argument);
    // Called, in a thread of its own bounded by 10 s, when `command` passed its time limit.
    virtual void TimeoutCommand(int command);

    // Creates the thread, then calls PostStart. A second call does nothing.
    void Start();

    // Queues a command. Dropped (false) when the post lock is not had within 1000 ms, the worker
    // has not been started, is stopping, or refuses commands. What a dropped argument points to
    // stays the caller's to free.
    bool PostCommand(int command, int timeLimit, void* argument);
    // As PostCommand, but dropped (false) when a command with the same number is already waiting.
    bool PostCommandNotRepeteated(int command, int timeLimit, void* argument);
    // The same for an argument the queue owns until the handler takes it: a command still queued
    // when the worker goes (a stop at once leaves them) frees its argument with `discard`.
    using Discard = void (*)(void*);
    bool PostCommand(int command, int timeLimit, void* argument, Discard discard);
    bool PostCommandNotRepeteated(int command, int timeLimit, void* argument, Discard discard);
    template <typename T>
    static void DiscardAs(void* argument) {
        delete static_cast<T*>(argument);
    }
    // Whether a command with this number is waiting (read under the queue lock).
    bool IsComandoEnCola(int command) const;
    int GetCountCommandsPending() const;
    // Copies of the queues taken under the queue lock, front = next to run (for diagnostics).
    std::deque<int> GetQueueCommands() const;
    std::deque<int> GetQueueTimeouts() const;
    std::deque<void*> GetQueueArguments() const;

    // The base dispatch: the ping command sets the ping flag, anything else goes to HandleCommand.
    void HandleCommandWorkerThread(int command, void* argument);

    // Refuses new commands, then by stop mode: 0 waits for the queue to drain, stops the thread
    // and waits for it to end; 1 stops the thread (after the running command) and waits for it;
    // any other mode returns at once. Modes 0 and 1 then wait for handlers abandoned past their
    // limit to return (briefly only once TerminateAll has run).
    void Stop();
    int GetStop() const;
    // A non-zero value also wakes the thread so that it leaves its wait.
    void SetStop(int stop);

    // Ends the program's use of every worker, as its very last step: every registered worker
    // refuses commands and is told to stop; the call waits at most about one second for them to
    // end and detaches those still running (a command that hangs), so that the process can exit
    // and no thread object is destroyed while it still runs. From then on a worker that finishes
    // its command ends without its pause and without touching the platform services.
    static void TerminateAll();

    static long GetNumeroInstancias();
    static long GetNumeroComandos();
    static long GetNumeroComandosEjecutadosTotal();
    // Posts dropped because the post lock was not had in time (a command lost to contention).
    static long GetNumeroComandosPerdidos();
    long GetNumeroComandosEjecutados() const;
    // One line per live worker, "worker=DESCRIPTION|EXECUTED|PENDING", and the process-wide
    // totals (workers, workers_pending, workers_executed, workers_lost), for diagnostics.
    static std::string DescribeAll();

    // Post the statistics to hwndThreads when it is set (0x464 pending, 0x465 executed in total,
    // 0x466 worker threads alive). The pending count is recomputed from the queues first when it
    // has gone below zero.
    static void EnviarComandosPendientes();
    static void EnviarComandosEjecutados();
    static void EnviarHilosActivos();

    // The ping flag: 1 at construction, set to 1 again by the ping command.
    void ping() { m_ping.store(1); }
    int GetPing() const { return m_ping.load(); }
    void SetPing(int value) { m_ping.store(value); }

    HWND GetWindowHandleContestacion() const { return m_hwndContestacion.load(); }
    void SetWindowHandleContestacion(HWND hwnd) { m_hwndContestacion.store(hwnd); }

    int GetAceptacionDeMasComandos() const { return m_aceptacion.load(); }
    void SetAceptacionDeMasComandos(int accept) { m_aceptacion.store(accept); }

    // Id of the worker's own thread (0 until it runs).
    uint32_t GetThreadID() const { return m_threadId.load(); }
    // The calling thread's id, as the system numbers threads.
    static uint32_t GetCurrentThreadId();

    std::string GetDescripcion() const;
    // Cut to 199 characters, never inside a character.
    void SetDescripcion(const std::string& text);
    static constexpr int GetSizeDescripcion() { return static_cast<int>(kDescripcionChars * 2); }

    // Tick count of the phone's clock when the last command finished.
    uint32_t GetEllapseUltimoComando() const { return m_ellapseUltimoComando.load(); }
    void SetEllapseUltimoComando(uint32_t ticks) { m_ellapseUltimoComando.store(ticks); }

    int GetStopMode() const { return m_stopMode; }

    // Process-wide statistics and registry of workers.
    static std::atomic<long> m_iNumeroInstancias;
    static std::atomic<long> m_iNumeroComandos;
    static std::atomic<long> m_iNumeroComandosEjecutadosTotal;
    static std::atomic<long> m_iNumeroComandosPerdidos;
    // Every constructed worker; allocated on first use and never freed, so that it outlives
    // static destruction. Guarded by m_hmuListaGlobalHilos.
    static std::list<WorkerThread*>* m_pListaGlobalHilos;
    static std::mutex m_hmuListaGlobalHilos;
    // Optional statistics window (0: none).
    static std::atomic<HWND> hwndThreads;

  private:
    // What an execution thread shares with the worker; it outlives whichever of them ends last.
    struct Execution {
        std::mutex lock;
        std::condition_variable finished;
        bool done = false;
        std::thread::id thread;  // the execution thread, once it is made
    };

    bool post(int command, int timeLimit, void* argument, Discard discard, bool notRepeated);
    void threadProc();
    // Runs `work` in a thread of its own and waits at most `limitMs` for it (negative: no limit).
    // False when the limit passed; the thread is then detached and remembered as abandoned.
    template <typename Work>
    bool runBounded(Work work, int limitMs);
    // Waits until every abandoned handler has returned; `bounded` (the process is ending) waits
    // a short while only.
    void waitForAbandoned(bool bounded);
    bool isExecutionThread() const;

    // The four events (manual reset), under one lock so that the worker can wait for either
    // of two of them.
    mutable std::mutex m_eventsLock;
    std::condition_variable m_eventsChanged;
    bool m_evWork = false;   // commands were queued
    bool m_evIdle = true;    // the queue was drained
    bool m_evStop = false;   // leave the wait
    bool m_evEnded = false;  // set by the thread as its last act

    // A lock whose taking can give up after a while (used with std::unique_lock).
    class TimedLock {
      public:
        bool try_lock_for(std::chrono::nanoseconds wait);
        void unlock();

      private:
        std::mutex m_lock;
        std::condition_variable m_released;
        bool m_held = false;
    };

    mutable std::mutex m_stopLock;
    mutable std::mutex m_queueLock;
    TimedLock m_postLock;

    // The thread object; every start, join and detach happens under m_threadLock.
    std::mutex m_threadLock;
    std::thread m_thread;
    std::atomic<bool> m_started{false};

    std::deque<int> m_commands;
    std::deque<int> m_timeouts;
    std::deque<void*> m_arguments;
    std::deque<Discard> m_discards;  // beside m_arguments: null for arguments the queue does not own

    std::atomic<long> m_numeroComandosEjecutados{0};
    std::atomic<int> m_ping{1};
    std::atomic<HWND> m_hwndContestacion;
    int m_stop = 0;  // under m_stopLock
    const int m_stopMode;
    std::atomic<int> m_aceptacion{1};
    std::atomic<uint32_t> m_threadId{0};
    mutable std::mutex m_descripcionLock;
    std::string m_descripcion;
    std::atomic<uint32_t> m_ellapseUltimoComando{0};

    // Execution threads abandoned past their limit and perhaps still running.
    mutable std::mutex m_executionsLock;
    std::vector<std::shared_ptr<Execution>> m_abandoned;
};
