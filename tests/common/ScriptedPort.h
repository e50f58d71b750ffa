#ifndef SCRIPTEDPORT_H
#define SCRIPTEDPORT_H

#include "PortObject.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QQueue>
#include <QVariant>

#include <cstring>

// A port object for tests: answers each write with the next scripted reply and records every
// call, so a test can check the exact frames and the order of operations.
class ScriptedPort : public PortObject
{
public:
    struct Call
    {
        QByteArray what; // "read", "write", "setOption"
        QByteArray data; // written bytes, or the option key as text
    };

    void queueReply(const QByteArray &reply)
    {
        QMutexLocker l(&lock);
        replies.enqueue(reply);
    }

    int read(char *buffer, int maxLength) override
    {
        QMutexLocker l(&lock);
        calls.append({"read", QByteArray()});
        if (replies.isEmpty())
            return 0;
        const QByteArray reply = replies.dequeue();
        const int n = qMin(maxLength, reply.size());
        std::memcpy(buffer, reply.constData(), size_t(n));
        return n;
    }
    int write(const char *data, int length) override
    {
        QMutexLocker l(&lock);
        calls.append({"write", QByteArray(data, length)});
        written.append(QByteArray(data, length));
        return length;
    }
    bool setOption(int key, const QVariant &value) override
    {
        QMutexLocker l(&lock);
        calls.append({"setOption", QByteArray::number(key) + "=" + value.toByteArray()});
        return true;
    }
    int retryCount() override { return 3; }

    QMutex lock;
    QQueue<QByteArray> replies;
    QList<Call> calls;
    QList<QByteArray> written;
};

#endif
