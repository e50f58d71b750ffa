#include "WorkerThread.h"

#include "DriverLogging.h"

#include <QDeadlineTimer>

#include <mutex>
#include <vector>

namespace {

// Threads that outlived their driver; reachable to the end, so that no leak checker complains.
void keepForever(QThread *thread)
{
    static std::mutex lock;
    static auto *kept = new std::vector<QThread *>;
    std::lock_guard<std::mutex> guard(lock);
    kept->push_back(thread);
}

} // namespace

WorkerThread::WorkerThread(QObject *worker) : m_state(std::make_shared<std::atomic<int>>(Running))
{
    worker->moveToThread(this);
    // Whoever comes second deletes the worker: stop() once the thread has ended, or the ending
    // thread itself once stop() has given up waiting. Connected before the thread starts, so
    // everything the handler reads was written before it runs.
    connect(
        this, &QThread::finished, this,
        [state = m_state, worker] {
            if (state->exchange(Ended) == GivenUp)
                delete worker;
        },
        Qt::DirectConnection);
}

void WorkerThread::run()
{
    setTerminationEnabled(false);
    exec();
}

bool WorkerThread::stop(int cooperativeMs, int budgetMs)
{
    const QDeadlineTimer budget(budgetMs);
    quit();
    bool ended = wait(QDeadlineTimer(cooperativeMs));
    if (!ended) {
        qCWarning(lcDriver) << "worker still busy after" << cooperativeMs
                            << "ms: ending its thread";
        terminate();
        ended = wait(budget);
    }
    if (!ended && m_state->exchange(GivenUp) == Running) {
        qCWarning(lcDriver) << "worker thread not ended yet: it deletes the worker as it ends";
        keepForever(this);
        return false;
    }
    wait(); // ended, or past its end handler: ends at once
    // The end handler has marked the thread ended. Reading the mark orders all the thread did
    // before it ahead of what the caller does next, in terms ThreadSanitizer sees, too (the wait
    // happens inside Qt).
    m_state->load(std::memory_order_acquire);
    return true;
}
