#ifndef IDLEPROBE_H
#define IDLEPROBE_H

#include <QObject>

#include <atomic>

class QThread;

// Finds out when a thread has handled every event queued to it so far: a probe object is moved
// to the thread and a call to it queued behind those events; when the call runs, everything
// before it has run too.
//
// The probe carries no data but an atomic number, and its call is queued by name, so nothing
// but Qt itself touches it on both threads. Qt's event queue hands work over with locks inside
// the Qt library, which a distribution's Qt does not build for ThreadSanitizer; the probe tells
// the sanitizer about the hand-over itself, so a sanitizer build reports only real races.
class IdleProbe : public QObject
{
    Q_OBJECT
public:
    // True once thread has run the events queued before this call, false after timeoutMs. The
    // calling thread itself counts as idle.
    static bool waitUntilIdle(QThread *thread, int timeoutMs);

private:
    explicit IdleProbe(quint64 number);
    Q_INVOKABLE void reached();

    std::atomic<quint64> m_number;
};

#endif
