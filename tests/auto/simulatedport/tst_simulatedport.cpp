#include "SimulatedPort.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

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
    const int n = port.read(buffer, limit);
    return QByteArray(buffer, n);
}

FaultPlan planOf(const QString &spec)
{
    FaultPlan plan;
    if (!plan.addRule(spec))
        qFatal("bad spec %s", qPrintable(spec));
    return plan;
}

const QByteArray OkReply = ControllerSimulator::buildReply("00");

} // namespace

class tst_SimulatedPort : public QObject
{
    Q_OBJECT

private slots:
    void writeThenReadOneReply();
    void readLimitLeavesRest();
    void repliesAreReadOneAtATime();
    void frameAssembledAcrossWrites();
    void badArguments();
    void options_data();
    void options();
    void lateReplyTakenByLaterRead();
    void lateReplyDiscardedByOption12();
    void splitReplyReadWhole();
    void incompleteReplyReturnedAfterTimeout();
    void readWaitsForReplyFromAnotherThread();
    void retryCount();
    void traceRecordsExchanges();
    void strayInputPrecedesReply();
    void sharedController();
    void concurrentCallers();
};

void tst_SimulatedPort::writeThenReadOneReply()
{
    SimulatedPort port;
    const QByteArray request = frame("FO,3,R,0");
    QCOMPARE(request.size(), 17);
    QCOMPARE(send(port, request), 17);
    QCOMPARE(receive(port, 16), OkReply);
    QCOMPARE(port.simulator().openProgram(), 3);
    QCOMPARE(receive(port), QByteArray());
}

void tst_SimulatedPort::readLimitLeavesRest()
{
    SimulatedPort port;
    send(port, frame("FO,1,R,0"));
    receive(port);
    send(port, frame("FR,1,2"));
    const QByteArray head = receive(port, 16);
    QCOMPARE(head.size(), 16);
    QCOMPARE(port.pendingByteCount(), 16 + 95 - 16);
    const QByteArray rest = receive(port);
    QCOMPARE(QString::fromLatin1((head + rest).mid(16, 92)), port.simulator().segmentRecord(1, 2));
    QCOMPARE(port.pendingByteCount(), 0);
}

void tst_SimulatedPort::repliesAreReadOneAtATime()
{
    SimulatedPort port;
    const QByteArray three = frame("FO,1,R,0") + frame("FC,1") + frame("FC,1");
    QCOMPARE(send(port, three), three.size());
    QCOMPARE(port.exchangeCount(), 3);
    QCOMPARE(receive(port), OkReply);
    QCOMPARE(receive(port), OkReply);
    QCOMPARE(receive(port), ControllerSimulator::buildReply("51"));
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
    QCOMPARE(receive(port), OkReply);
    QCOMPARE(port.simulator().word(7), qint16(-5));
}

void tst_SimulatedPort::badArguments()
{
    SimulatedPort port;
    char buffer[8] = {};
    QCOMPARE(port.write(nullptr, 5), 0);
    QCOMPARE(port.write("x", 0), 0);
    QCOMPARE(port.write("x", -1), 0);
    send(port, frame("FO,1,R,0"));
    QCOMPARE(port.read(nullptr, 8), 0);
    QCOMPARE(port.read(buffer, 0), 0);
    QCOMPARE(port.read(buffer, -3), 0);
    // Nothing was lost by the refused reads.
    QCOMPARE(receive(port), OkReply);
}

void tst_SimulatedPort::options_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("discard") << 12 << QVariant(0) << true;
    QTest::newRow("discard with 1") << 12 << QVariant(1) << false;
    QTest::newRow("discard with text") << 12 << QVariant("x") << false;
    QTest::newRow("discard without value") << 12 << QVariant() << false;
    QTest::newRow("other key") << 11 << QVariant(0) << false;
    QTest::newRow("negative key") << -12 << QVariant(0) << false;
}

void tst_SimulatedPort::options()
{
    QFETCH(int, key);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);

    SimulatedPort port;
    send(port, frame("FO,1,R,0"));
    QCOMPARE(port.setOption(key, value), accepted);
    QCOMPARE(port.pendingByteCount(), accepted ? 0 : OkReply.size());
    QCOMPARE(receive(port), accepted ? QByteArray() : OkReply);
}

void tst_SimulatedPort::lateReplyTakenByLaterRead()
{
    SimulatedPort port;
    port.setFaultPlan(planOf("block-read:nth=1:late"));
    send(port, frame("FO,1,R,0"));
    receive(port);

    send(port, frame("FR,1,1"));
    QCOMPARE(receive(port), QByteArray()); // gave up: nothing yet
    QVERIFY(port.pendingByteCount() > 0);  // ... and then it arrived
    // Without a discard the next read takes the stale reply of segment 1.
    send(port, frame("FR,1,2"));
    const QByteArray stale = receive(port);
    QVERIFY(stale.startsWith("\x02"
                             "0100X00XFR,1,1,"));
    QVERIFY(receive(port).startsWith("\x02"
                                     "0100X00XFR,1,2,"));
    QCOMPARE(port.faultPlan().injectedCount(FaultRule::Fault::Late), 1);
}

void tst_SimulatedPort::lateReplyDiscardedByOption12()
{
    SimulatedPort port;
    port.setFaultPlan(planOf("block-read:nth=1:late"));
    send(port, frame("FO,1,R,0"));
    receive(port);
    send(port, frame("FR,1,1"));
    // Discarding before the read changes nothing: the late reply is still on its way.
    QVERIFY(port.setOption(PortObject::OptionDiscardInput, 0));
    QCOMPARE(receive(port), QByteArray());

    // The worker's retry: discard, resend, read.
    QVERIFY(port.setOption(PortObject::OptionDiscardInput, 0));
    send(port, frame("FR,1,1"));
    const QByteArray reply = receive(port);
    QCOMPARE(reply.mid(16).size(), 123);
    QCOMPARE(port.pendingByteCount(), 0);

    const QList<SimulatedPort::TraceEntry> trace = port.trace();
    QVERIFY(std::any_of(trace.begin(), trace.end(), [](const SimulatedPort::TraceEntry &e) {
        return e.direction == SimulatedPort::Direction::Discarded && e.exchange == 2 &&
               e.bytes.startsWith("\x02"
                                  "0100X00XFR,1,1,");
    }));
}

void tst_SimulatedPort::splitReplyReadWhole()
{
    SimulatedPort port;
    port.setFaultPlan(planOf("data-read:split=5"));
    send(port, frame("RS,4509W,2"));
    QCOMPARE(receive(port), ControllerSimulator::buildReply("00", ",-200,1300"));
}

void tst_SimulatedPort::incompleteReplyReturnedAfterTimeout()
{
    SimulatedPort port;
    port.setReadTimeout(20);
    QCOMPARE(port.readTimeout(), 20);
    port.setFaultPlan(planOf("any:truncated=5"));
    send(port, frame("FO,1,R,0"));
    QCOMPARE(receive(port), OkReply.left(5));
    QCOMPARE(receive(port), QByteArray());
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

void tst_SimulatedPort::retryCount()
{
    SimulatedPort port;
    QCOMPARE(port.retryCount(), 3);
    port.setRetryCount(0);
    QCOMPARE(port.retryCount(), 0);
    port.setRetryCount(7);
    QCOMPARE(port.retryCount(), 7);
}

void tst_SimulatedPort::traceRecordsExchanges()
{
    using D = SimulatedPort::Direction;
    SimulatedPort port;
    port.setFaultPlan(planOf("close:no-reply"));
    send(port, frame("FO,2,R,0"));
    send(port, frame("FC,2"));
    port.setOption(12, 0);

    const QList<SimulatedPort::TraceEntry> trace = port.trace();
    QCOMPARE(trace.size(), 4);
    QCOMPARE(trace.at(0).direction, D::Request);
    QCOMPARE(trace.at(0).exchange, 1);
    QCOMPARE(trace.at(0).bytes, frame("FO,2,R,0"));
    QCOMPARE(trace.at(1).direction, D::Reply);
    QCOMPARE(trace.at(1).exchange, 1);
    QCOMPARE(trace.at(1).bytes, OkReply);
    QCOMPARE(trace.at(2).direction, D::Request);
    QCOMPARE(trace.at(2).exchange, 2);
    QCOMPARE(trace.at(3).direction, D::Discarded);
    QCOMPARE(trace.at(3).bytes, OkReply);

    port.clearTrace();
    QVERIFY(port.trace().isEmpty());
    QCOMPARE(port.exchangeCount(), 2);
}

void tst_SimulatedPort::strayInputPrecedesReply()
{
    SimulatedPort port;
    port.injectInput("\x15\x15");
    send(port, frame("FO,1,R,0"));
    QCOMPARE(receive(port), "\x15\x15" + OkReply);

    port.setFaultPlan(planOf("any:stray=2"));
    send(port, frame("FC,1"));
    const QByteArray reply = receive(port, 16);
    // What the worker sees: characters 1 to 5 are no longer "0100X".
    QVERIFY(reply.mid(1, 5) != "0100X");
    QCOMPARE(reply, "\xFF\xFF" + OkReply);
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
    // A worker thread exchanging frames while host threads poke the same port: every reply the
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
        if (receive(port) != OkReply)
            ++wrong;
        send(port, frame(QString("RS,%1W,1").arg(address)));
        if (receive(port) != ControllerSimulator::buildReply("00", "," + QByteArray::number(i)))
            ++wrong;
        if (i % 100 == 0)
            port.clearTrace();
    }
    done = true;
    host.join();
    QCOMPARE(wrong, 0);
}

QTEST_GUILESS_MAIN(tst_SimulatedPort)
#include "tst_simulatedport.moc"
