#include "PollingThread.h"

#include "IdleProbe.h"

#include <QCoreApplication>
#include <QThread>

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
    return IdleProbe::waitUntilIdle(thread, timeoutMs);
}
