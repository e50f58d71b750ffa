#include "SimulatorLink.h"

#include "SimulatorServer.h"

namespace {
// A frame longer than this without LF is line noise, not a request: it is dropped.
const int MaxFrameLength = 4096;
// How soon bytes the line did not take are offered again.
const int RetryMs = 5;
} // namespace

SimulatorLink::SimulatorLink(SimulatorServer *server, Sender sender, const QString &name,
                             QObject *parent)
    : QObject(parent), m_server(server), m_send(std::move(sender)), m_name(name)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimulatorLink::sendDue);
}

void SimulatorLink::receive(const QByteArray &bytes)
{
    m_frame.append(bytes);
    int lf;
    while ((lf = m_frame.indexOf('\n')) >= 0) {
        const QByteArray frame = m_frame.left(lf + 1);
        m_frame.remove(0, lf + 1);
        const FaultPlan::Delivery delivery = m_server->exchange(frame, m_name);
        if (delivery.chunks.isEmpty())
            continue;
        const qint64 now = m_clock.elapsed();
        qint64 due = qMax(now + (delivery.late ? delivery.delayMs : 0), m_busyUntilMs);
        for (int i = 0; i < delivery.chunks.size(); ++i) {
            if (i > 0)
                due += delivery.chunkGapMs;
            m_queue.append({due, delivery.chunks.at(i)});
        }
        m_busyUntilMs = due;
    }
    if (m_frame.size() > MaxFrameLength)
        m_frame.clear();
    schedule();
}

void SimulatorLink::schedule()
{
    if (m_queue.isEmpty()) {
        m_timer.stop();
        return;
    }
    const qint64 wait = qMax<qint64>(0, m_queue.first().dueMs - m_clock.elapsed());
    m_timer.start(int(wait));
}

void SimulatorLink::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_queue.isEmpty() && m_queue.first().dueMs <= now) {
        Outgoing &next = m_queue.first();
        const qint64 taken = m_send(next.bytes);
        if (taken < next.bytes.size()) {
            next.bytes.remove(0, int(qMax<qint64>(0, taken)));
            next.dueMs = now + RetryMs;
            break;
        }
        m_queue.removeFirst();
    }
    schedule();
}
