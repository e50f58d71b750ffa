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

using Bursts = QList<QByteArray>;
Q_DECLARE_METATYPE(Bursts)

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
        QCOMPARE(::send(peer, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL),
                 ssize_t(bytes.size()));
    }
    // Everything the port sent, waiting up to waitMs for the first bytes.
    QByteArray received(int waitMs = 1000) const
    {
        QByteArray all;
        QDeadlineTimer deadline(waitMs);
        char chunk[1024];
        while (!deadline.hasExpired()) {
            const ssize_t n = ::recv(peer, chunk, sizeof chunk, 0);
            if (n > 0) {
                all.append(chunk, int(n));
                continue;
            }
            if (!all.isEmpty())
                break;
            QThread::msleep(5);
        }
        return all;
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
// test opens the gate.
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
    void readHandsOverOneReplyAtATime();
    void discardDropsEverythingReceived_data();
    void discardDropsEverythingReceived();
    void otherOptionsChangeNothing_data();
    void otherOptionsChangeNothing();
    void closedConnectionEndsTheWait();
    void callersOnSeveralThreads();

    void serialDeviceTakesSettings_data();
    void serialDeviceTakesSettings();
    void serialDeviceRefusals();

    void commText_data();
    void commText();
    void portAddress_data();
    void portAddress();
    void tagValues_data();
    void tagValues();
    void tagValuesOutOfRange_data();
    void tagValuesOutOfRange();
    void progressLine_data();
    void progressLine();
    void fileSnapshot();
    void trackingPortNamesTheWorkerThread();
    void waitUntilIdle();
    void simulatorLinkKeepsReplyOrder_data();
    void simulatorLinkKeepsReplyOrder();
};

void tst_CliPorts::assembler_data()
{
    QTest::addColumn<Bursts>("bursts");
    QTest::addColumn<Bursts>("replies");
    QTest::addColumn<QByteArray>("left");

    const QByteArray a = reply("0100X00");
    const QByteArray b = reply("0100X00,-200,1300");
    QTest::newRow("one reply") << Bursts{a} << Bursts{a} << QByteArray();
    QTest::newRow("cut at every byte") << [&] {
        Bursts bytes;
        for (char c : a)
            bytes << QByteArray(1, c);
        return bytes;
    }() << Bursts{a} << QByteArray();
    QTest::newRow("LF only after ETX ends it") << Bursts{"\x02"
                                                         "0100X00,a\nb",
                                                         "\x03\r", "\n"}
                                               << Bursts{"\x02"
                                                         "0100X00,a\nb\x03\r\n"}
                                               << QByteArray();
    QTest::newRow("two replies in one burst") << Bursts{a + b} << Bursts{a, b} << QByteArray();
    QTest::newRow("second reply incomplete") << Bursts{a + b.left(6)} << Bursts{a} << b.left(6);
    QTest::newRow("bytes before STX stay with the reply")
        << Bursts{"\xff\xff", a} << Bursts{"\xff\xff" + a} << QByteArray();
    QTest::newRow("no ETX") << Bursts{"\x02"
                                      "0100X00\r\n"}
                            << Bursts{}
                            << QByteArray("\x02"
                                          "0100X00\r\n");
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
    QTest::addColumn<QByteArray>("expected");

    const QByteArray whole = reply("0100X00XFR,1,1,00960000");
    QTest::newRow("at once") << Bursts{whole} << 0 << 1000 << whole;
    QTest::newRow("three bursts with pauses")
        << Bursts{whole.left(5), whole.mid(5, 10), whole.mid(15)} << 80 << 2000 << whole;
    QTest::newRow("pause between ETX and LF")
        << Bursts{whole.left(whole.size() - 1), whole.right(1)} << 120 << 2000 << whole;
    QTest::newRow("timeout in the middle")
        << Bursts{whole.left(10), whole.mid(10)} << 600 << 150 << whole.left(10);
    QTest::newRow("nothing at all") << Bursts{} << 0 << 50 << QByteArray();
}

void tst_CliPorts::readWaitsForTheWholeReply()
{
    QFETCH(Bursts, bursts);
    QFETCH(int, gapMs);
    QFETCH(int, timeoutMs);
    QFETCH(QByteArray, expected);
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(timeoutMs);
    std::thread controller([&] {
        for (int i = 0; i < bursts.size(); ++i) {
            if (i > 0)
                QThread::msleep(gapMs);
            ::send(line.peer, bursts.at(i).constData(), size_t(bursts.at(i).size()), MSG_NOSIGNAL);
        }
    });
    const QByteArray got = readAll(*line.port);
    controller.join();
    QCOMPARE(got, expected);
}

void tst_CliPorts::readHandsOverOneReplyAtATime()
{
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(200);
    const QByteArray a = reply("0100X00");
    const QByteArray b = reply("0100X00,5");
    line.send(a + b);
    QCOMPARE(readAll(*line.port), a);
    // At most the length asked for; the rest of the reply waits for the next read.
    QCOMPARE(readAll(*line.port, 4), b.left(4));
    QCOMPARE(readAll(*line.port), b.mid(4));
    QCOMPARE(readAll(*line.port), QByteArray());
}

void tst_CliPorts::discardDropsEverythingReceived_data()
{
    QTest::addColumn<bool>("partlyTaken");
    QTest::newRow("still in the connection") << false;
    QTest::newRow("partly taken in already") << true;
}

void tst_CliPorts::discardDropsEverythingReceived()
{
    QFETCH(bool, partlyTaken);
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(100);
    const QByteArray stale = reply("0100X00XFR,1,1,0096");
    line.send(stale + stale);
    if (partlyTaken)
        QCOMPARE(readAll(*line.port, 6), stale.left(6));
    QVERIFY(line.port->setOption(PortObject::OptionDiscardInput, 0));
    QCOMPARE(readAll(*line.port), QByteArray());
    const QByteArray fresh = reply("0100X00XFR,1,2,0097");
    line.send(fresh);
    QCOMPARE(readAll(*line.port), fresh);
}

void tst_CliPorts::otherOptionsChangeNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("12 with 1") << 12 << QVariant(1);
    QTest::newRow("12 with text") << 12 << QVariant(QStringLiteral("zero"));
    QTest::newRow("11 with 0") << 11 << QVariant(0);
}

void tst_CliPorts::otherOptionsChangeNothing()
{
    QFETCH(int, key);
    QFETCH(QVariant, value);
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(500);
    const QByteArray a = reply("0100X00");
    line.send(a);
    QVERIFY(!line.port->setOption(key, value));
    QCOMPARE(readAll(*line.port), a);
}

void tst_CliPorts::closedConnectionEndsTheWait()
{
    SocketLine line;
    QVERIFY(line.port);
    const int timeoutMs = 20000;
    line.port->setReadTimeout(timeoutMs);
    line.send("\x02"
              "0100X0");
    ::shutdown(line.peer, SHUT_RDWR);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(readAll(*line.port), QByteArray("\x02"
                                             "0100X0"));
    // Nothing more can come: the read does not sit out its timeout.
    QVERIFY(clock.elapsed() < timeoutMs / 2);
    QVERIFY(line.port->isDisconnected());
    const QByteArray frame = ControllerSimulator::buildRequest(QStringLiteral("0100XFC,1"));
    QVERIFY(line.port->write(frame.constData(), frame.size()) != frame.size());
}

void tst_CliPorts::callersOnSeveralThreads()
{
    // A controller that answers every frame with its number; two threads exchange at once, as
    // the host's threads and the plugin's worker do. Every read gets a whole reply, and every
    // reply is taken exactly once.
    SocketLine line;
    QVERIFY(line.port);
    line.port->setReadTimeout(5000);
    const int perThread = 40;
    std::atomic<bool> done{false};
    std::thread controller([&] {
        QByteArray input;
        char chunk[256];
        while (!done.load()) {
            const ssize_t n = ::recv(line.peer, chunk, sizeof chunk, 0);
            if (n <= 0) {
                QThread::usleep(200);
                continue;
            }
            input.append(chunk, int(n));
            int lf;
            while ((lf = input.indexOf('\n')) >= 0) {
                const QByteArray frame = input.left(lf + 1);
                input.remove(0, lf + 1);
                const QByteArray answer = reply("0100X00," + frame.mid(1, frame.size() - 4));
                ::send(line.peer, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
            }
        }
    });
    QList<QByteArray> replies[2];
    auto caller = [&](int id) {
        for (int i = 0; i < perThread; ++i) {
            const QByteArray frame = '\x02' + QByteArray::number(id * 1000 + i) + "\x03\r\n";
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

    QSet<QByteArray> seen;
    for (const QList<QByteArray> &list : replies) {
        for (const QByteArray &r : list) {
            QVERIFY2(r.startsWith("\x02"
                                  "0100X00,") &&
                         r.endsWith("\x03\r\n"),
                     r.constData());
            seen.insert(r);
        }
    }
    QCOMPARE(seen.size(), 2 * perThread);
}

void tst_CliPorts::serialDeviceTakesSettings_data()
{
    QTest::addColumn<QString>("commText");
    QTest::addColumn<int>("speed");
    // A pseudo-terminal keeps the speed but forces 8 bits without parity, whatever is asked.
    QTest::newRow("driver default") << "RS485,9600,EVEN,8,1" << int(B9600);
    QTest::newRow("19200 7 bits") << "RS485,19200,ODD,7,2" << int(B19200);
    QTest::newRow("115200 no parity") << "RS232,115200,NONE,8,1" << int(B115200);
}

void tst_CliPorts::serialDeviceTakesSettings()
{
    QFETCH(QString, commText);
    QFETCH(int, speed);
    int master = -1;
    int slave = -1;
    char name[256];
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);

    SerialSettings settings;
    QString error;
    QVERIFY2(SerialSettings::fromCommText(commText, settings, &error), qPrintable(error));
    PortAddress address;
    QVERIFY(PortAddress::parse(QString::fromLocal8Bit(name), address, &error));
    QCOMPARE(address.kind, PortAddress::Kind::Serial);
    PortFactory::Options options;
    options.serial = settings;
    options.timeoutMs = 2000;
    options.retries = 5;
    std::unique_ptr<PortObject> port = PortFactory::open(address, options, &error);
    QVERIFY2(port, qPrintable(error));
    QCOMPARE(port->retryCount(), 5);

    termios tio;
    QCOMPARE(::tcgetattr(master, &tio), 0);
    QCOMPARE(int(::cfgetospeed(&tio)), speed);
    QCOMPARE(int(tio.c_lflag & (ICANON | ECHO)), 0); // raw: nothing echoed or held back

    // A request goes out unchanged; a reply in two bursts comes back whole.
    const QByteArray frame = ControllerSimulator::buildRequest(QStringLiteral("0100XFC,1"));
    QCOMPARE(port->write(frame.constData(), frame.size()), frame.size());
    QByteArray sent;
    QDeadlineTimer deadline(2000);
    while (sent.size() < frame.size() && !deadline.hasExpired()) {
        char chunk[64];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n > 0)
            sent.append(chunk, int(n));
    }
    QCOMPARE(sent, frame);
    const QByteArray answer = reply("0100X00");
    std::thread controller([&] {
        ::write(master, answer.constData(), 4);
        QThread::msleep(100);
        ::write(master, answer.constData() + 4, size_t(answer.size() - 4));
    });
    const QByteArray got = readAll(*port);
    controller.join();
    QCOMPARE(got, answer);
    port.reset();
    ::close(master);
}

void tst_CliPorts::serialDeviceRefusals()
{
    int master = -1;
    int slave = -1;
    char name[256];
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const QString path = QString::fromLocal8Bit(name);
    SerialSettings settings;
    QString error;
    const int fd = PortFactory::openSerial(path, settings, &error);
    QVERIFY2(fd >= 0, qPrintable(error));
    // A second user of the same line would garble both conversations.
    QCOMPARE(PortFactory::openSerial(path, settings, &error), -1);
    QCOMPARE(error, QStringLiteral("%1 is in use by another program").arg(path));
    ::close(fd);
    ::close(slave);
    ::close(master);

    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(PortFactory::openSerial(plain, settings, &error), -1);
    QCOMPARE(error, QStringLiteral("%1 is not a serial device").arg(plain));
}

void tst_CliPorts::commText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("settings");
    QTest::newRow("driver default") << "RS485,9600,EVEN,8,1" << true << "9600,EVEN,8,1";
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
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("sim") << "sim" << true << int(PortAddress::Kind::Simulated) << "sim";
    QTest::newRow("usb adapter") << "/dev/ttyUSB0" << true << int(PortAddress::Kind::Serial)
                                 << "/dev/ttyUSB0";
    QTest::newRow("converter") << "tcp:10.0.0.7:4001" << true << int(PortAddress::Kind::Tcp)
                               << "tcp:10.0.0.7:4001";
    QTest::newRow("converter by v6 address")
        << "tcp:[fe80::1]:4001" << true << int(PortAddress::Kind::Tcp) << "tcp:[fe80::1]:4001";
    QTest::newRow("no port number") << "tcp:10.0.0.7" << false << 0 << "";
    QTest::newRow("port number too big") << "tcp:host:70000" << false << 0 << "";
    QTest::newRow("port number text") << "tcp:host:http" << false << 0 << "";
    QTest::newRow("empty") << "" << false << 0 << "";
}

void tst_CliPorts::portAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, kind);
    QFETCH(QString, canonical);
    PortAddress address;
    QString error;
    QCOMPARE(PortAddress::parse(text, address, &error), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(int(address.kind), kind);
    QCOMPARE(address.toString(), canonical);
}

void tst_CliPorts::tagValues_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<QList<qint64>>("values");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("32-bit") << 3 << QList<qint64>{-200, 1300}
                            << QByteArray::fromHex("38ffffff14050000");
    QTest::newRow("16-bit") << 2 << QList<qint64>{-1, 300} << QByteArray::fromHex("ffff2c01");
    QTest::newRow("64-bit") << 4 << QList<qint64>{-2} << QByteArray::fromHex("feffffffffffffff");
    QTest::newRow("bytes") << 1 << QList<qint64>{0, 255} << QByteArray::fromHex("00ff");
    QTest::newRow("bits, lowest first")
        << 0 << QList<qint64>{1, 0, 1, 1, 0, 0, 0, 0, 1} << QByteArray::fromHex("0d01");
}

void tst_CliPorts::tagValues()
{
    QFETCH(int, dataType);
    QFETCH(QList<qint64>, values);
    QFETCH(QByteArray, bytes);
    QByteArray encoded;
    QString error;
    QVERIFY2(TagCommand::encode(values, dataType, encoded, &error), qPrintable(error));
    QCOMPARE(encoded, bytes);
    QCOMPARE(TagCommand::decode(bytes, dataType, quint64(values.size())), values);
    // A short answer gives only its whole elements.
    if (dataType != 0 && bytes.size() > 1)
        QCOMPARE(TagCommand::decode(bytes.chopped(1), dataType, quint64(values.size())),
                 values.mid(0, values.size() - 1));
}

void tst_CliPorts::tagValuesOutOfRange_data()
{
    QTest::addColumn<int>("dataType");
    QTest::addColumn<qint64>("value");
    QTest::newRow("16-bit") << 2 << qint64(70000);
    QTest::newRow("byte") << 1 << qint64(-129);
    QTest::newRow("bit") << 0 << qint64(2);
    QTest::newRow("unknown type") << 6 << qint64(1);
}

void tst_CliPorts::tagValuesOutOfRange()
{
    QFETCH(int, dataType);
    QFETCH(qint64, value);
    QByteArray encoded;
    QString error;
    QVERIFY(!TagCommand::encode({value}, dataType, encoded, &error));
    QVERIFY(!error.isEmpty());
}

void tst_CliPorts::progressLine_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("line");
    QTest::newRow("start") << 0 << "Reading program 3 [----------]   0%";
    QTest::newRow("a third") << 33 << "Reading program 3 [###-------]  33%";
    QTest::newRow("done") << 100 << "Reading program 3 [##########] 100%";
    QTest::newRow("below") << -4 << "Reading program 3 [----------]   0%";
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
    inner.setRetryCount(4);
    TrackingPort port(&inner);
    port.setHostThread(QThread::currentThread());
    QCOMPARE(port.retryCount(), 4);
    QCOMPARE(port.lastForeignThread(), nullptr);

    QScopedPointer<QThread> worker(QThread::create([&port] {
        const QByteArray frame = ControllerSimulator::buildRequest(QStringLiteral("0100XFC,1"));
        port.setOption(PortObject::OptionDiscardInput, 0);
        port.write(frame.constData(), frame.size());
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QCOMPARE(port.lastForeignThread(), worker.data());
    QCOMPARE(port.writeCount(), 1);
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

void tst_CliPorts::simulatorLinkKeepsReplyOrder_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("expectedChunks");
    QTest::newRow("no fault") << QString() << 3;
    // The late reply to the first block read holds back the one after it.
    QTest::newRow("late reply") << "block-read:nth=1:late:delay=150" << 3;
    QTest::newRow("split replies") << "block-read:split=3:delay=30" << 7;
}

void tst_CliPorts::simulatorLinkKeepsReplyOrder()
{
    QFETCH(QString, fault);
    QFETCH(int, expectedChunks);
    FaultPlan plan;
    QString error;
    QVERIFY2(FaultPlan::parse(fault.isEmpty() ? QStringList() : QStringList{fault}, plan, &error),
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
    for (const QString &text : {QStringLiteral("0100XFO,1,R,0"), QStringLiteral("0100XFR,1,1"),
                                QStringLiteral("0100XFR,1,2")}) {
        const QByteArray frame = ControllerSimulator::buildRequest(text);
        expected += reference.handleFrame(frame);
        requests += frame;
    }
    // All three requests at once, cut in the middle of the second frame.
    link.receive(requests.left(20));
    link.receive(requests.mid(20));
    QTRY_COMPARE_WITH_TIMEOUT(sent.size(), expectedChunks, 5000);
    QCOMPARE(sent.join(), expected);
    QCOMPARE(link.queuedChunkCount(), 0);
}

QTEST_GUILESS_MAIN(tst_CliPorts)
#include "tst_cli_ports.moc"
