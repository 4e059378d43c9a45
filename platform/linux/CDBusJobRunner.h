#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace platform::lnx {

// Runs work handed over from other threads on the bus thread it lives on, one job at a time.
// The jobs pass through a queue under a lock of our own, and the thread is woken by a queued slot
// call that carries no data: every hand-over is ordered by our own locks, which the thread
// checker follows, instead of by Qt's event queue, which it cannot see into.
class CDBusJobRunner : public QObject {
    Q_OBJECT

  public:
    // Runs `work` on the runner's thread and waits until it is done.
    void runAndWait(const std::function<void()>& work);

  public slots:
    void runJobs();

  private:
    struct Job {
        const std::function<void()>* work = nullptr;
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
    };

    std::mutex _lock;
    std::deque<Job*> _jobs;
};

}  // namespace platform::lnx
