#include "platform/linux/CDBusJobRunner.h"

#include <QMetaObject>

namespace platform::lnx {

void CDBusJobRunner::runAndWait(const std::function<void()>& work) {
    Job job;
    job.work = &work;
    // Held until the wait releases it, so the job runs only once the caller waits for it.
    std::unique_lock caller(job.lock);
    {
        std::lock_guard queue(_lock);
        _jobs.push_back(&job);
    }
    QMetaObject::invokeMethod(this, "runJobs", Qt::QueuedConnection);
    job.done.wait(caller, [&] { return job.finished; });
}

void CDBusJobRunner::runJobs() {
    for (;;) {
        Job* job = nullptr;
        {
            std::lock_guard queue(_lock);
            if (_jobs.empty()) {
                return;
            }
            job = _jobs.front();
            _jobs.pop_front();
        }
        std::lock_guard running(job->lock);
        (*job->work)();
        job->finished = true;
        job->done.notify_all();
    }
}

}  // namespace platform::lnx
