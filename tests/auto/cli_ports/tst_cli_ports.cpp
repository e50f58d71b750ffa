// The pieces of the dcp30 tool that run without the tool: reply assembly and the line port
// object over a socket pair and a pseudo-terminal, serial settings, port texts, tag value coding,
// the progress line, file snapshots, the worker-thread tracking and the simulator's line.

#include "ControllerSimulator.h"
#include "FileSnapshot.h"
#include "LinePort.h"
#include "PollingThread.h"
#include "PortAddress.h"
#include "PortFactory.h"
#include "ProgressBar.h"
#include "ReplyAssembler.h"
#include "SerialSettings.h"
#include "SimulatedPort.h"
#include "SimulatorLink.h"
#include "SimulatorServer.h"
#include "TagCommand.h"
#include "TrackingPort.h"

#include <QFile>
#include <QSaveFile>
#include <QSemaphore>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using Bursts = QByteArrayList;

namespace {

QByteArray reply(const QByteArray &text)
{
    return '\x02' + text + "\x03\r\n";
}

// A LinePort on one end of a socket pair; the test plays the controller on the other end.
struct SocketLine
{
    int peer = -1;
    std::unique_ptr<LinePort> port;

    SocketLine()
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        port.reset(new LinePort(fds[0], LinePort::Kind::Socket, QStringLiteral("pair")));
        peer = fds[1];
    }
    ~SocketLine()
    {
        port.reset();
        if (peer >= 0)
            ::close(peer);
    }
    void send(const QByteArray &bytes) const
    {
        ::send(peer, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    }
};

QByteArray readAll(PortObject &port, int maxLength = 255)
{
    QByteArray buffer(maxLength, '\0');
    const int n = port.read(buffer.data(), maxLength);
    return buffer.left(qMax(0, n));
}

} // namespace

// Work for another thread's event loop, queued by name: a nap, and a slot that blocks until the
// test opens the gate. (Queued functors would hand test-built objects across Qt's uninstrumented
// event queue, which the thread sanitizer reports as a race.)
class Sleeper : public QObject
{
    Q_OBJECT
public:
    std::atomic<bool> napped{false};
    QSemaphore gate;

public slots:
    void nap()
    {
        QThread::msleep(150);
        napped.store(true);
    }
    void block() { gate.acquire(); }
};

class tst_CliPorts : public QObject
{
    Q_OBJECT

private slots:
    void assembler_data();
    void assembler();
    void readWaitsForTheWholeReply_data();
    void readWaitsForTheWholeReply();
    void onlyDiscardDropsInput_data();
    void onlyDiscardDropsInput();
    void callersOnSeveralThreads();
    void serialDevice_data();
    void serialDevice();

    void commText_data();
    void commText();
    void portAddress_data();
    void portAddress();
    void tagValues_data();
    void tagValues();
    void progressLine_data();
    void progressLine();
    void fileSnapshot();
    void trackingPortNamesTheWorkerThread();
    void waitUntilIdle();
    void simulatorLinkKeepsReplyOrder();
};

void tst_CliPorts::assembler_data()
{
    QTest::addColumn<Bursts>("bursts");
    QTest::addColumn<Bursts>("replies");
    QTest::addColumn<QByteArray>("left");

    const QByteArray a = reply("0100X00");
    const QByteArray b = reply("0100X00,-200,1300");
    const QByteArray lf = reply("0100X00,a\nb"); // an LF in the data does not end it
    const QByteArray noEtx = QByteArray(a).replace('\x03', "");
    Bursts bytes;
    for (char c : a)
        bytes << QByteArray(1, c);
    QTest::newRow("cut at every byte") << bytes << Bursts{a} << QByteArray();
    QTest::newRow("LF only after ETX ends it")
        << Bursts{lf.chopped(3), lf.right(3).left(2), lf.right(1)} << Bursts{lf} << QByteArray();
    QTest::newRow("two replies and the start of a third")
        << Bursts{a + b + b.left(6)} << Bursts{a, b} << b.left(6);
    QTest::newRow("bytes before STX stay with the reply")
        << Bursts{"\xff\xff", a} << Bursts{"\xff\xff" + a} << QByteArray();
    QTest::newRow("no ETX") << Bursts{noEtx} << Bursts{} << noEtx;
}

void tst_CliPorts::assembler()
{
    QFETCH(Bursts, bursts);
    QFETCH(Bursts, replies);
    QFETCH(QByteArray, left);
    ReplyAssembler assembler;
    Bursts got;
    char buffer[512];
    for (const QByteArray &burst : bursts) {
        assembler.append(burst);
        while (assembler.hasWholeReply())
            got << QByteArray(buffer, assembler.take(buffer, sizeof buffer));
    }
    QCOMPARE(got, replies);
    QCOMPARE(assembler.pending(), left);
}

void tst_CliPorts::readWaitsForTheWholeReply_data()
{
    QTest::addColumn<Bursts>("bursts");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("close"); // the controller closes the connection after its bursts
    QTest::addColumn<QByteArray>("expected");

    const QByteArray whole = reply("0100X00XFR,1,1,00960000");
    QTest::newRow("pause between ETX and LF")
        << Bursts{whole.chopped(1), whole.right(1)} << 120 << 20000 << false << whole;
    QTest::newRow("timeout in the middle")
        << Bursts{whole.left(10), whole.mid(10)} << 600 << 150 << false << whole.left(10);
    QTest::newRow("closed in the middle")
        << Bursts{whole.left(10)} << 0 << 20000 << true << whole.left(10);
}

void tst_CliPorts::readWaitsForTheWholeReply()
{
    QFETCH(Bursts, bursts);
    QFETCH(int, gapMs);
    QFETCH(int, timeoutMs);
    QFETCH(bool, close);
    QFETCH(QByteArray, expected);
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(timeoutMs);
    std::thread controller([&] {
        for (int i = 0; i < bursts.size(); ++i) {
            if (i > 0)
                QThread::msleep(gapMs);
            line.send(bursts.at(i));
        }
        if (close)
            ::shutdown(line.peer, SHUT_RDWR);
    });
    QElapsedTimer clock;
    clock.start();
    const QByteArray got = readAll(*line.port);
    controller.join();
    QCOMPARE(got, expected);
    // A whole reply or a closed connection ends the read; it does not sit out a long timeout.
    QVERIFY(clock.elapsed() < 10000);
    QCOMPARE(line.port->isDisconnected(), close);
    if (close) {
        const QByteArray frame = ControllerSimulator::buildRequest(QStringLiteral("0100XFC,1"));
        QVERIFY(line.port->write(frame.constData(), frame.size()) != frame.size());
    }
}

void tst_CliPorts::onlyDiscardDropsInput_data()
{
    QTest::addColumn<bool>("partlyTaken");
    QTest::addColumn<int>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("discards");
    QTest::newRow("discard, all in the connection") << false << 12 << QVariant(0) << true;
    QTest::newRow("discard, partly taken in") << true << 12 << QVariant(0) << true;
    QTest::newRow("12 with 1, partly taken") << true << 12 << QVariant(1) << false;
    QTest::newRow("12 with text") << false << 12 << QVariant(QStringLiteral("zero")) << false;
    QTest::newRow("11 with 0") << false << 11 << QVariant(0) << false;
}

void tst_CliPorts::onlyDiscardDropsInput()
{
    QFETCH(bool, partlyTaken);
    QFETCH(int, key);
    QFETCH(QVariant, value);
    QFETCH(bool, discards);
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(100);
    const QByteArray stale = reply("0100X00XFR,1,1,0096");
    line.send(stale + stale);
    // A read hands over at most the length asked for, and never more than one reply.
    const int taken = partlyTaken ? 6 : 0;
    if (partlyTaken)
        QCOMPARE(readAll(*line.port, taken), stale.left(taken));
    QCOMPARE(line.port->setOption(key, value), discards);
    QCOMPARE(readAll(*line.port), discards ? QByteArray() : stale.mid(taken));
    const QByteArray fresh = reply("0100X00XFR,1,2,0097");
    line.send(fresh);
    QCOMPARE(readAll(*line.port), discards ? fresh : stale);
}

void tst_CliPorts::callersOnSeveralThreads()
{
    // A controller that echoes every frame (itself a well-formed reply); two threads exchange at
    // once, as the host's threads and the plugin's worker do. Every read gets a whole reply, and
    // every reply is taken exactly once.
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(5000);
    std::atomic<bool> done{false};
    std::thread controller([&] {
        char chunk[256];
        while (!done.load()) {
            const ssize_t n = ::recv(line.peer, chunk, sizeof chunk, 0);
            if (n > 0)
                line.send(QByteArray(chunk, int(n)));
            else
                QThread::usleep(200);
        }
    });
    QSet<QByteArray> sent;
    QList<QByteArray> replies[2];
    for (int i = 0; i < 80; ++i)
        sent << reply(QByteArray::number(i));
    auto caller = [&](int id) {
        for (int i = id; i < 80; i += 2) {
            const QByteArray frame = reply(QByteArray::number(i));
            line.port->write(frame.constData(), frame.size());
            line.port->retryCount();
            replies[id] << readAll(*line.port);
        }
    };
    std::thread first(caller, 0);
    std::thread second(caller, 1);
    first.join();
    second.join();
    done.store(true);
    controller.join();
    QCOMPARE(replies[0].size() + replies[1].size(), 80);
    QCOMPARE(QSet<QByteArray>(replies[0].begin(), replies[0].end()) +
                 QSet<QByteArray>(replies[1].begin(), replies[1].end()),
             sent);
}

void tst_CliPorts::serialDevice_data()
{
    QTest::addColumn<QString>("commText");
    QTest::addColumn<int>("speed");
    // A pseudo-terminal keeps the speed but forces 8 bits without parity: a framing it refuses
    // must not fail the open. Exchanges over a pseudo-terminal run end to end against the
    // dcp30 simulator.
    QTest::newRow("framing refused") << "RS485,19200,ODD,7,2" << int(B19200);
    QTest::newRow("framing taken") << "RS232,115200,NONE,8,1" << int(B115200);
}

void tst_CliPorts::serialDevice()
{
    QFETCH(QString, commText);
    QFETCH(int, speed);
    int master = -1;
    int slave = -1;
    char name[256];
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    PortAddress address;
    address.kind = PortAddress::Kind::Serial;
    address.path = QString::fromLocal8Bit(name);
    PortFactory::Options options;
    QString error;
    QVERIFY2(SerialSettings::fromCommText(commText, options.serial, &error), qPrintable(error));
    std::unique_ptr<PortObject> port = PortFactory::open(address, options, &error);
    QVERIFY2(port, qPrintable(error));
    // A second user of the same line would garble both conversations.
    QCOMPARE(PortFactory::openSerial(address.path, options.serial, &error), -1);
    QCOMPARE(error, QStringLiteral("%1 is in use by another program").arg(address.path));

    termios tio;
    QCOMPARE(::tcgetattr(master, &tio), 0);
    QCOMPARE(int(::cfgetospeed(&tio)), speed);
    QCOMPARE(int(tio.c_lflag & (ICANON | ECHO)), 0); // raw: nothing echoed or held back

    port.reset();
    ::close(master);
}

void tst_CliPorts::commText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("settings");
    QTest::newRow("letters and spaces") << "RS232, 19200, o, 7, 2" << true << "19200,ODD,7,2";
    QTest::newRow("four fields") << "RS485,9600,EVEN,8" << false << "expected 5 fields";
    QTest::newRow("odd baud rate") << "RS485,9601,EVEN,8,1" << false << "unsupported baud rate";
    QTest::newRow("mark parity") << "RS485,9600,MARK,8,1" << false << "unknown parity";
    QTest::newRow("nine data bits") << "RS485,9600,EVEN,9,1" << false << "data bits must be 5 to 8";
    QTest::newRow("three stop bits")
        << "RS485,9600,EVEN,8,3" << false << "stop bits must be 1 or 2";
}

void tst_CliPorts::commText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, settings);
    SerialSettings parsed;
    parsed.baudRate = 1200;
    QString error;
    QCOMPARE(SerialSettings::fromCommText(text, parsed, &error), valid);
    if (valid) {
        QCOMPARE(parsed.toString(), settings);
    } else {
        QVERIFY2(error.contains(settings), qPrintable(error));
        QCOMPARE(parsed.baudRate, 1200); // unchanged
    }
}

void tst_CliPorts::portAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("converter by v6 address") << "tcp:[fe80::1]:4001" << true;
    QTest::newRow("port number too big") << "tcp:host:65536" << false;
    QTest::newRow("port number text") << "tcp:host:http" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_CliPorts::portAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    PortAddress address;
    QString error;
    QCOMPARE(PortAddress::parse(text, address, &error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (valid) {
        QCOMPARE(address.kind, PortAddress::Kind::Tcp);
        QCOMPARE(address.toString(), text);
    }
}

void tst_CliPorts::tagValues_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QList<qint64>>("values");
    QTest::addColumn<QByteArray>("bytes"); // empty: the values do not fit the type
    QTest::newRow("32-bit") << 3 << QList<qint64>{-200, 1300}
                            << QByteArray::fromHex("38ffffff14050000");
    QTest::newRow("16-bit") << 2 << QList<qint64>{-1, 300} << QByteArray::fromHex("ffff2c01");
    QTest::newRow("64-bit") << 4 << QList<qint64>{-2} << QByteArray::fromHex("feffffffffffffff");
    QTest::newRow("bytes") << 1 << QList<qint64>{0, 255} << QByteArray::fromHex("00ff");
    QTest::newRow("bits, lowest first")
        << 0 << QList<qint64>{1, 0, 1, 1, 0, 0, 0, 0, 1} << QByteArray::fromHex("0d01");
    QTest::newRow("16-bit too big") << 2 << QList<qint64>{65536} << QByteArray();
    QTest::newRow("byte too small") << 1 << QList<qint64>{-129} << QByteArray();
    QTest::newRow("bit 2") << 0 << QList<qint64>{2} << QByteArray();
    QTest::newRow("unknown type") << 6 << QList<qint64>{1} << QByteArray();
}

void tst_CliPorts::tagValues()
{
    QFETCH(int, dataType);
    QFETCH(QList<qint64>, values);
    QFETCH(QByteArray, bytes);
    QByteArray encoded;
    QString error;
    const bool fits = !bytes.isEmpty();
    QCOMPARE(TagCommand::encode(values, dataType, encoded, &error), fits);
    QCOMPARE(error.isEmpty(), fits);
    if (!fits)
        return;
    QCOMPARE(encoded, bytes);
    QCOMPARE(TagCommand::decode(bytes, dataType, quint64(values.size())), values);
    // A short answer gives only its whole elements.
    if (dataType != 0 && bytes.size() > 1)
        QCOMPARE(TagCommand::decode(bytes.chopped(1), dataType, quint64(values.size())),
                 values.mid(0, values.size() - 1));
}

void tst_CliPorts::progressLine_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("line");
    QTest::newRow("below") << -4 << "Reading program 3 [----------]   0%";
    QTest::newRow("a third") << 33 << "Reading program 3 [###-------]  33%";
    QTest::newRow("above") << 250 << "Reading program 3 [##########] 100%";
}

void tst_CliPorts::progressLine()
{
    QFETCH(int, percent);
    QFETCH(QString, line);
    const ProgressBar bar(QStringLiteral("Reading program 3"), false, 10);
    QCOMPARE(bar.render(percent), line);
}

void tst_CliPorts::fileSnapshot()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("READ_PROG_1_ERROR.txt"));
    const FileSnapshot missing = FileSnapshot::of(path);
    QVERIFY(!missing.exists());
    QVERIFY(!missing.changedIn(FileSnapshot::of(path)));

    auto write = [&](const QByteArray &bytes) {
        QSaveFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        QVERIFY(file.commit());
    };
    write("Program 1:");
    const FileSnapshot first = FileSnapshot::of(path);
    QVERIFY(first.exists());
    QVERIFY(missing.changedIn(first));
    QVERIFY(!first.changedIn(FileSnapshot::of(path)));
    // Replaced with the very same content, as a second failing run would: still a new log.
    write("Program 1:");
    QVERIFY(first.changedIn(FileSnapshot::of(path)));
    QVERIFY(QFile::remove(path));
    QVERIFY(!first.changedIn(FileSnapshot::of(path)));
}

void tst_CliPorts::trackingPortNamesTheWorkerThread()
{
    SimulatedPort inner;
    TrackingPort port(&inner);
    port.setHostThread(QThread::currentThread());
    port.retryCount();
    QCOMPARE(port.lastForeignThread(), nullptr);

    QScopedPointer<QThread> worker(QThread::create([&port] {
        const QByteArray frame = ControllerSimulator::buildRequest(QStringLiteral("0100XFC,1"));
        port.setOption(PortObject::OptionDiscardInput, 0);
        port.write(frame.constData(), frame.size());
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QCOMPARE(port.lastForeignThread(), worker.data());
    // The host's own calls do not hide the worker.
    port.retryCount();
    QCOMPARE(port.lastForeignThread(), worker.data());
}

void tst_CliPorts::waitUntilIdle()
{
    QThread thread;
    Sleeper sleeper;
    sleeper.moveToThread(&thread);
    thread.start();

    QMetaObject::invokeMethod(&sleeper, "nap", Qt::QueuedConnection);
    QVERIFY(PollingThread::waitUntilIdle(&thread, 5000));
    QVERIFY(sleeper.napped.load());

    // A thread stuck in a slot is reported, not waited for.
    QMetaObject::invokeMethod(&sleeper, "block", Qt::QueuedConnection);
    QVERIFY(!PollingThread::waitUntilIdle(&thread, 100));
    sleeper.gate.release();
    QVERIFY(PollingThread::waitUntilIdle(&thread, 5000));
    QVERIFY(PollingThread::waitUntilIdle(QThread::currentThread(), 0));
    thread.quit();
    QVERIFY(thread.wait(5000));
}

void tst_CliPorts::simulatorLinkKeepsReplyOrder()
{
    // The late reply to the first block read must hold back the two replies after it.
    FaultPlan plan;
    QString error;
    QVERIFY2(FaultPlan::parse({QStringLiteral("block-read:nth=1:late:delay=150")}, plan, &error),
             qPrintable(error));
    SimulatorServer server(plan);
    QList<QByteArray> sent;
    SimulatorLink link(
        &server,
        [&sent](const QByteArray &bytes) {
            sent << bytes;
            return qint64(bytes.size());
        },
        QStringLiteral("test"));

    ControllerSimulator reference;
    QByteArray expected;
    QByteArray requests;
    for (const char *text : {"0100XFO,1,R,0", "0100XFR,1,1", "0100XFR,1,2"}) {
        const QByteArray frame = ControllerSimulator::buildRequest(QLatin1String(text));
        expected += reference.handleFrame(frame);
        requests += frame;
    }
    // All three requests at once, cut in the middle of the second frame.
    link.receive(requests.left(20));
    link.receive(requests.mid(20));
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 3, 5000);
    QCOMPARE(sent.join(), expected);
    QCOMPARE(link.queuedChunkCount(), 0);
}

QTEST_GUILESS_MAIN(tst_CliPorts)
#include "tst_cli_ports.moc"
