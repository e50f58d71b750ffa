#ifndef SIMULATORLINK_H
#define SIMULATORLINK_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class SimulatorServer;

// One client line of the simulated controller (the pseudo-terminal, or one TCP connection): cuts
// the bytes received into request frames at LF, runs each through the server, and puts the reply
// on the line in real time. Replies leave in the order of their requests, one after another as
// on a half-duplex line: a late reply holds back the replies after it, and the chunks of a split
// reply are spaced by the fault's gap.
class SimulatorLink : public QObject
{
    Q_OBJECT
public:
    // Hands bytes to the line; answers how many it took (fewer when the line is full; the rest
    // is offered again shortly).
    using Sender = std::function<qint64(const QByteArray &)>;

    SimulatorLink(SimulatorServer *server, Sender sender, const QString &name,
                  QObject *parent = nullptr);

    // Bytes the client sent.
    void receive(const QByteArray &bytes);
    // Reply chunks still waiting for their time.
    int queuedChunkCount() const { return m_queue.size(); }

private slots:
    void sendDue();

private:
    struct Outgoing
    {
        qint64 dueMs;
        QByteArray bytes;
    };

    void schedule();

    SimulatorServer *m_server;
    Sender m_send;
    QString m_name;
    QByteArray m_frame;
    QList<Outgoing> m_queue;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_busyUntilMs = 0;
};

#endif
