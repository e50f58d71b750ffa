#ifndef WORKERTHREAD_H
#define WORKERTHREAD_H

#include <QThread>

#include <atomic>
#include <memory>

// The thread of the transfer worker: an event loop that can always be ended in bounded time.
//
// QThread::terminate() cancels a thread at its next cancellation point; one reached inside a
// destructor would abort the whole process. So the thread runs with termination disabled, and the
// worker enables it only around its calls into the port, where a transfer may be stuck.
class WorkerThread : public QThread
{
    Q_OBJECT
public:
    // A thread for worker, which is moved onto it. The worker stays the caller's to delete unless
    // stop() hands it over.
    explicit WorkerThread(QObject *worker);

    // Ends the thread within budgetMs: it is asked to quit, and terminated once cooperativeMs
    // have passed. True when the thread has ended: the caller deletes the worker and this
    // object. False when it still runs: it deletes the worker itself as it ends, and this object
    // is kept for the rest of the process (a QThread may not be deleted while its thread runs).
    bool stop(int cooperativeMs, int budgetMs);

protected:
    // Runs the event loop with termination disabled; answers exec()'s result.
    void run() override;

private:
    enum { Running, Ended, GivenUp };
    // Shared with the end handler, which is connected before the thread starts.
    std::shared_ptr<std::atomic<int>> m_state;
};

#endif
