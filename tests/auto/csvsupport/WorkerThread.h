#ifndef WORKERTHREAD_H
#define WORKERTHREAD_H

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <type_traits>
#include <utility>

// A thread of its own, like the transfer worker's: objects made by make() live there, and run()
// executes a function there and waits for its result. Everything made is deleted on that thread.
class WorkerThread
{
public:
    WorkerThread();
    ~WorkerThread();

    template <typename F> auto run(F &&function) -> decltype(function())
    {
        using Result = decltype(function());
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(&m_context, std::forward<F>(function),
                                      Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(&m_context, std::forward<F>(function),
                                      Qt::BlockingQueuedConnection, &result);
            return result;
        }
    }

    template <typename T> T *make()
    {
        T *object = run([] { return new T; });
        m_objects.append(object);
        return object;
    }

    QThread *thread() { return &m_thread; }

private:
    QThread m_thread;
    QObject m_context;
    QList<QObject *> m_objects;
};

#endif
