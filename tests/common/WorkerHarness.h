#ifndef WORKERHARNESS_H
#define WORKERHARNESS_H

#include "FileAccessor.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QStringList>
#include <QThread>

#include <utility>

// Runs a FileAccessor on a thread of its own, as the driver does, with the pauses recorded
// instead of slept, and records every signal it emits in order as text
// ("progress 33", "RF false", "message DCP30|...").
class WorkerHarness : public QObject
{
public:
    WorkerHarness()
    {
        worker = new FileAccessor;
        worker->setPauseHook([this](int ms) {
            QMutexLocker l(&lock);
            pauses << ms;
        });
        worker->moveToThread(&thread);
        auto record = [this](const QString &text) {
            QMutexLocker l(&lock);
            events << text;
        };
        const auto flag = [&](void (FileAccessor::*signal)(bool), const char *name) {
            connect(
                worker, signal, worker,
                [=](bool on) { record(QStringLiteral("%1 %2").arg(name, on ? "true" : "false")); },
                Qt::DirectConnection);
        };
        flag(&FileAccessor::setRF, "RF");
        flag(&FileAccessor::setWF, "WF");
        flag(&FileAccessor::setRE, "RE");
        flag(&FileAccessor::setWE, "WE");
        for (auto signal : {&FileAccessor::setReadProgress, &FileAccessor::setWriteProgress}) {
            connect(
                worker, signal, worker,
                [=](quint8 p) { record(QStringLiteral("progress %1").arg(p)); },
                Qt::DirectConnection);
        }
        connect(
            worker, &FileAccessor::showMessage, worker,
            [=](const QString &source, const QString &text, bool on) {
                record(QStringLiteral("message %1|%2|%3").arg(source, text, on ? "true" : "false"));
            },
            Qt::DirectConnection);
        thread.start();
    }
    ~WorkerHarness() override
    {
        // Like the driver: end the thread, then delete the worker it no longer runs.
        thread.quit();
        thread.wait();
        delete worker;
    }

    void read(int program, int segments, int storage = 0)
    {
        QMetaObject::invokeMethod(worker, "readProgramFileProcess", Qt::BlockingQueuedConnection,
                                  Q_ARG(int, program), Q_ARG(int, segments), Q_ARG(int, storage));
    }
    void write(const QList<int> &paras, int program, int segments, int storage = 0)
    {
        QMetaObject::invokeMethod(worker, "writeProgramFileProcess", Qt::BlockingQueuedConnection,
                                  Q_ARG(QList<int>, paras), Q_ARG(int, program),
                                  Q_ARG(int, segments), Q_ARG(int, storage));
    }

    QStringList takeEvents()
    {
        QMutexLocker l(&lock);
        return std::exchange(events, {});
    }
    QList<int> takePauses()
    {
        QMutexLocker l(&lock);
        return std::exchange(pauses, {});
    }

    // Removes the program files and logs a test may leave in the application directory.
    static void removeAppFiles()
    {
        QDir dir(QCoreApplication::applicationDirPath());
        for (const QString &f : dir.entryList(
                 {"PROG_*.txt", "READ_PROG_*_ERROR.txt", "WRITE_PROG_*_ERROR.txt"}, QDir::Files))
            dir.remove(f);
    }

    FileAccessor *worker;
    QThread thread;
    QMutex lock;
    QStringList events;
    QList<int> pauses;
};

#endif
