#include "PollingThread.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <memory>

int PollingThread::run(const std::function<int()> &job)
{
    int result = 0;
    QThread *thread = QThread::create([&result, &job] { result = job(); });
    QObject::connect(thread, &QThread::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    thread->start();
    QCoreApplication::exec();
    thread->wait();
    delete thread;
    return result;
}

bool PollingThread::waitUntilIdle(QThread *thread, int timeoutMs)
{
    if (!thread || thread == QThread::currentThread())
        return true;
    auto done = std::make_shared<QSemaphore>();
    QObject *probe = new QObject;
    probe->moveToThread(thread);
    QMetaObject::invokeMethod(
        probe,
        [probe, done] {
            done->release();
            probe->deleteLater();
        },
        Qt::QueuedConnection);
    return done->tryAcquire(1, timeoutMs);
}
