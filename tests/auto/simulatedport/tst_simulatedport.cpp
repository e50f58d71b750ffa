#include "SimulatedPort.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Direction = SimulatedPort::Direction;

QByteArray frame(const QString &text)
{
    return ControllerSimulator::buildRequest("0100X" + text);
}

int send(SimulatedPort &port, const QByteArray &bytes)
{
    return port.write(bytes.constData(), bytes.size());
}

// Reads the way the transfer worker does: a zeroed buffer, a read limit, the result as text.
QByteArray receive(SimulatedPort &port, int limit = 200)
{
    char buffer[255] = {};
    return QByteArray(buffer, port.read(buffer, limit));
}

FaultPlan planOf(const QString &rule)
{
    FaultPlan plan;
    if (!plan.addRule(rule))
        qFatal("bad fault rule %s", qPrintable(rule));
    return plan;
}

const QByteArray OkReply = ControllerSimulator::buildReply("00");

QByteArray blockReply(SimulatedPort &port, int segment)
{
    const QString text =
        QString("XFR,1,%1,").arg(segment) + port.simulator().segmentRecord(1, segment);
    return ControllerSimulator::buildReply("00", text.toLatin1());
}

} // namespace

class tst_SimulatedPort : public QObject
{
    Q_OBJECT

private slots:
    void readsHandOverOneWholeReplyAtATime();
    void frameAssembledAcrossWrites();
    void refusedCallsChangeNothing();
    void splitAndTruncatedReplies();
    void lateRepliesArriveAfterTheRead();
    void readWaitsForReplyFromAnotherThread();
    void sharedController();
    void concurrentCallers();
};

void tst_SimulatedPort::readsHandOverOneWholeReplyAtATime()
{
    SimulatedPort port;
    QCOMPARE(port.retryCount(), 3);
    port.injectInput("\x15\x15"); // noise already on the line comes first
    const QByteArray three = frame("FO,1,R,0") + frame("FR,1,2") + frame("FC,1");
    QCOMPARE(send(port, three), three.size());
    QCOMPARE(port.exchangeCount(), 3);
    QCOMPARE(port.simulator().openProgram(), 0);
    QCOMPARE(receive(port), "\x15\x15" + OkReply);
    // A read limit leaves the rest of the reply pending for the next read.
    const QByteArray head = receive(port, 16);
    QCOMPARE(head.size(), 16);
    QCOMPARE(port.pendingByteCount(), blockReply(port, 2).size() - 16 + OkReply.size());
    QCOMPARE(head + receive(port), blockReply(port, 2));
    QCOMPARE(receive(port), OkReply);
    QCOMPARE(receive(port), QByteArray());
}

void tst_SimulatedPort::frameAssembledAcrossWrites()
{
    SimulatedPort port;
    const QByteArray request = frame("WS,7W,-5");
    QCOMPARE(send(port, request.left(4)), 4);
    QCOMPARE(send(port, request.mid(4, 8)), 8);
    QCOMPARE(port.exchangeCount(), 0);
    QCOMPARE(receive(port), QByteArray());
    send(port, request.mid(12));
    QCOMPARE(port.exchangeCount(), 1);
    QCOMPARE(port.simulator().word(7), qint16(-5));
}

void tst_SimulatedPort::refusedCallsChangeNothing()
{
    SimulatedPort port;
    send(port, frame("FO,1,R,0"));
    char buffer[8] = {};
    const QList<int> answers{port.write(nullptr, 5), port.write("x", 0),   port.write("x", -1),
                             port.read(nullptr, 8),  port.read(buffer, 0), port.read(buffer, -3)};
    QCOMPARE(answers, (QList<int>{0, 0, 0, 0, 0, 0}));
    // Only option 12 with the value 0 discards the input.
    QVERIFY(!port.setOption(12, 1));
    QVERIFY(!port.setOption(12, "x"));
    QVERIFY(!port.setOption(11, 0));
    QCOMPARE(port.exchangeCount(), 1);
    QCOMPARE(port.pendingByteCount(), OkReply.size());
    QVERIFY(port.setOption(12, 0));
    QCOMPARE(port.pendingByteCount(), 0);
}

void tst_SimulatedPort::splitAndTruncatedReplies()
{
    SimulatedPort port;
    port.setReadTimeout(20);
    QCOMPARE(port.readTimeout(), 20);
    FaultPlan plan;
    QVERIFY(FaultPlan::parse({"any:nth=1:split=5", "any:nth=2:truncated=5"}, plan));
    port.setFaultPlan(plan);
    // The chunks of a split reply queue up and are read as one reply.
    send(port, frame("FO,1,R,0"));
    QCOMPARE(receive(port), OkReply);
    // No whole reply arrives: after the read timeout the read takes what there is.
    send(port, frame("FC,1"));
    QCOMPARE(receive(port), OkReply.left(5));
    QCOMPARE(receive(port), QByteArray());
    QCOMPARE(port.faultPlan().totalInjected(), 2);
}

void tst_SimulatedPort::lateRepliesArriveAfterTheRead()
{
    SimulatedPort port;
    port.setFaultPlan(planOf("block-read:nth=1:count=2:late"));
    send(port, frame("FO,1,R,0"));
    receive(port);

    send(port, frame("FR,1,1"));
    // Discarding before the read changes nothing: the late reply is still on its way.
    QVERIFY(port.setOption(PortObject::OptionDiscardInput, 0));
    QCOMPARE(receive(port), QByteArray());                         // gave up: nothing yet ...
    QCOMPARE(port.pendingByteCount(), blockReply(port, 1).size()); // ... and then it arrived
    // The worker's retry discards it.
    QVERIFY(port.setOption(PortObject::OptionDiscardInput, 0));
    QCOMPARE(port.pendingByteCount(), 0);
    QCOMPARE(port.trace().last().bytes, blockReply(port, 1));

    // Without a discard the next read takes the stale reply.
    send(port, frame("FR,1,2"));
    QCOMPARE(receive(port), QByteArray());
    send(port, frame("FR,1,3"));
    QCOMPARE(receive(port), blockReply(port, 2));
    QCOMPARE(receive(port), blockReply(port, 3));
    QCOMPARE(port.faultPlan().injectedCount(FaultRule::Fault::Late), 2);

    // The trace numbers late replies and discarded bytes by the request they belong to.
    QList<QPair<Direction, int>> steps;
    for (const SimulatedPort::TraceEntry &entry : port.trace())
        steps << qMakePair(entry.direction, entry.exchange);
    const Direction request = Direction::Request, reply = Direction::Reply;
    QCOMPARE(steps, (QList<QPair<Direction, int>>{{request, 1},
                                                  {reply, 1},
                                                  {request, 2},
                                                  {reply, 2},
                                                  {Direction::Discarded, 2},
                                                  {request, 3},
                                                  {reply, 3},
                                                  {request, 4},
                                                  {reply, 4}}));
    port.clearTrace();
    QVERIFY(port.trace().isEmpty());
    QCOMPARE(port.exchangeCount(), 4);
}

void tst_SimulatedPort::readWaitsForReplyFromAnotherThread()
{
    SimulatedPort port;
    port.setReadTimeout(10000);
    std::thread writer([&port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        send(port, frame("FO,1,R,0"));
    });
    const QByteArray reply = receive(port);
    writer.join();
    QCOMPARE(reply, OkReply);
}

void tst_SimulatedPort::sharedController()
{
    ControllerSimulator sim;
    SimulatedPort a(&sim);
    SimulatedPort b(&sim);
    QCOMPARE(&a.simulator(), &sim);
    send(a, frame("FO,5,W,0"));
    QCOMPARE(receive(a), OkReply);
    send(b, frame("FO,6,W,0"));
    QCOMPARE(receive(b), ControllerSimulator::buildReply("50"));
    QCOMPARE(receive(a), QByteArray());
}

void tst_SimulatedPort::concurrentCallers()
{
    // A worker thread exchanging frames while a host thread pokes the same port: every reply the
    // worker reads must belong to its own request.
    SimulatedPort port;
    std::atomic<bool> done{false};
    std::thread host([&] {
        while (!done) {
            port.retryCount();
            port.setOption(3, 0);
            port.trace();
            port.faultPlan();
        }
    });
    int wrong = 0;
    for (int i = 0; i < 2000; ++i) {
        const int address = 100 + i % 16;
        port.setOption(12, 0);
        send(port, frame(QString("WS,%1W,%2").arg(address).arg(i)));
        wrong += receive(port) != OkReply;
        send(port, frame(QString("RS,%1W,1").arg(address)));
        wrong +=
            receive(port) != ControllerSimulator::buildReply("00", "," + QByteArray::number(i));
        if (i % 100 == 0)
            port.clearTrace();
    }
    done = true;
    host.join();
    QCOMPARE(wrong, 0);
}

QTEST_GUILESS_MAIN(tst_SimulatedPort)
#include "tst_simulatedport.moc"
