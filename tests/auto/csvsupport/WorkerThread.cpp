#include "WorkerThread.h"

WorkerThread::WorkerThread()
{
    m_context.moveToThread(&m_thread);
    m_thread.start();
}

WorkerThread::~WorkerThread()
{
    run([this] {
        qDeleteAll(m_objects);
        m_context.moveToThread(nullptr);
    });
    m_thread.quit();
    m_thread.wait();
}
