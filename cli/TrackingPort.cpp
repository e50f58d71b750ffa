#include "TrackingPort.h"

#include <QThread>

TrackingPort::TrackingPort(PortObject *inner) : m_inner(inner) {}

void TrackingPort::note()
{
    QThread *current = QThread::currentThread();
    if (current != m_host.load())
        m_foreign.store(current);
}

int TrackingPort::read(char *buffer, int maxLength)
{
    note();
    return m_inner->read(buffer, maxLength);
}

int TrackingPort::write(const char *data, int length)
{
    note();
    ++m_writes;
    return m_inner->write(data, length);
}

bool TrackingPort::setOption(int key, const QVariant &value)
{
    note();
    return m_inner->setOption(key, value);
}

int TrackingPort::retryCount()
{
    note();
    return m_inner->retryCount();
}

void TrackingPort::setHostThread(QThread *thread)
{
    m_host.store(thread);
}

QThread *TrackingPort::lastForeignThread() const
{
    return m_foreign.load();
}
