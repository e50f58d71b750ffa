#ifndef RECORDINGLINKDRIVER_H
#define RECORDINGLINKDRIVER_H

#include "CommunicatorCommand.h"
#include "DriverInterface.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QThread>

#include <functional>

// A link driver for tests: records every call (address, count, type, port, thread) into a log
// shared with the test and answers reads from a table of canned byte arrays.
class RecordingLinkDriver : public DriverInterface
{
public:
    struct Call
    {
        QString kind, address; // kind: "read" or "write"
        PortObject *port;
        QThread *thread;
        QByteArray value;
    };

    explicit RecordingLinkDriver(QStringList *events = nullptr) : events(events) {}

    QByteArray readTag(PortObject *port, CommunicatorCommand *command) override
    {
        if (onRead)
            onRead();
        QMutexLocker l(&lock);
        calls.append({"read", command->address, port, QThread::currentThread(), QByteArray()});
        if (events)
            events->append(QStringLiteral("read %1").arg(command->key()));
        return answers.value(command->address, QByteArray(4, 0));
    }
    bool writeTag(PortObject *port, CommunicatorCommand *command, QByteArray &value) override
    {
        QMutexLocker l(&lock);
        calls.append({"write", command->address, port, QThread::currentThread(), value});
        return true;
    }

    int queryValue1() override { return 0; }
    int queryFlag4() override { return 0; }
    int queryFlag5() override { return 0; }
    QString getDeviceName() override { return QStringLiteral("recorder"); }
    QString getVendorName() override { return QString(); }
    QString getVersion() override { return QString(); }
    CommSettings *createDefaultCommSettings() override { return nullptr; }
    ProtocolSettings *createDefaultProtocolSettings() override { return nullptr; }
    QString getDefaultCommText() override { return QString(); }
    int queryValue12() override { return 0; }
    void setFlag13(bool) override {}
    int queryValue14() override { return 0; }
    int queryValue15() override { return 0; }
    bool hasError() override { return false; }
    QString getErrorMessage() override { return QString(); }
    QObject *getObject() override { return nullptr; }

    int callCount()
    {
        QMutexLocker l(&lock);
        return calls.size();
    }

    QMutex lock;
    QList<Call> calls;
    QMap<QString, QByteArray> answers; // others: 0
    std::function<void()> onRead;      // runs at the start of every read
    QStringList *events;
};

#endif
