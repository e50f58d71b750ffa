#ifndef POLLINGTHREAD_H
#define POLLINGTHREAD_H

#include <functional>

class QThread;

// Runs the host's side of a command the way the runtime does: the job (tag writes, polling) on
// a thread of its own while the calling main thread runs the application's event loop, in which
// the driver's status slots and the message centre run.
class PollingThread
{
public:
    // Runs job on a new thread and the event loop on this one until the job has returned;
    // answers the job's result.
    static int run(const std::function<int()> &job);

    // Waits until thread has handled every event queued to it so far (a slot running there has
    // returned), at most timeoutMs; false when it did not happen in time. Not for the calling
    // thread itself, which counts as idle.
    static bool waitUntilIdle(QThread *thread, int timeoutMs);
};

#endif
