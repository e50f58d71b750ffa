// The line ports: the line port object over a socket pair and a pseudo-terminal, with its serial
// settings, its opening and locking, and the port texts.

#include "Commands.h"
#include "LinePort.h"
#include "PortAddress.h"
#include "PortFactory.h"
#include "PtyPair.h"
#include "SerialSettings.h"

#include <QtTest>

#include <atomic>
#include <thread>

#include <sys/socket.h>
#include <termios.h>

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

    explicit SocketLine(int readTimeoutMs)
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
            return;
        port.reset(new LinePort(fds[0], LinePort::Kind::Socket, QStringLiteral("pair")));
        port->setReadTimeout(readTimeoutMs);
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

// The serial port the factory opens on the pseudo-terminal's device side.
std::unique_ptr<PortObject> openSerial(const PtyPair &pty, const QString &commText, int timeoutMs,
                                       QString *error)
{
    PortAddress address;
    address.kind = PortAddress::Kind::Serial;
    address.path = pty.name();
    PortFactory::Options options;
    options.timeoutMs = timeoutMs;
    if (!SerialSettings::fromCommText(commText, options.serial, error))
        return nullptr;
    return PortFactory::open(address, options, error);
}

} // namespace

class tst_Ports : public QObject
{
    Q_OBJECT

private slots:
    void readWaitsForTheWholeReply_data()
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

    void readWaitsForTheWholeReply()
    {
        QFETCH(Bursts, bursts);
        QFETCH(int, gapMs);
        QFETCH(int, timeoutMs);
        QFETCH(bool, close);
        QFETCH(QByteArray, expected);
        SocketLine line(timeoutMs);
        QVERIFY(line.port);
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
            const QByteArray frame = Commands::close(1);
            QVERIFY(line.port->write(frame.constData(), frame.size()) != frame.size());
        }
    }

    void onlyDiscardDropsInput_data()
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

    void onlyDiscardDropsInput()
    {
        QFETCH(bool, partlyTaken);
        QFETCH(int, key);
        QFETCH(QVariant, value);
        QFETCH(bool, discards);
        SocketLine line(100);
        QVERIFY(line.port);
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
        // A discard notices a connection the controller has closed.
        ::shutdown(line.peer, SHUT_RDWR);
        QVERIFY(line.port->setOption(12, 0) && line.port->isDisconnected());
    }

    void callersOnSeveralThreads()
    {
        // A controller that echoes every frame (itself a well-formed reply); two threads exchange
        // at once, as the host's threads and the plugin's worker do. Every read gets a whole reply,
        // and every reply is taken exactly once.
        SocketLine line(5000);
        QVERIFY(line.port);
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
        std::thread first(caller, 0), second(caller, 1);

        first.join();
        second.join();
        done.store(true);
        controller.join();
        QCOMPARE(replies[0].size() + replies[1].size(), 80);
        QCOMPARE(QSet<QByteArray>(replies[0].begin(), replies[0].end()) +
                     QSet<QByteArray>(replies[1].begin(), replies[1].end()),
                 sent);
    }

    void serialDevice_data()
    {
        QTest::addColumn<QString>("commText");
        QTest::addColumn<int>("speed");
        // A pseudo-terminal keeps the speed but forces 8 bits without parity: a framing it refuses
        // must not fail the open.
        QTest::newRow("framing refused") << "RS485,19200,ODD,7,2" << int(B19200);
        QTest::newRow("framing taken") << "RS232,115200,NONE,8,1" << int(B115200);
    }

    void serialDevice()
    {
        QFETCH(QString, commText);
        QFETCH(int, speed);
        PtyPair pty;
        QVERIFY(pty.isValid());
        QString error;
        std::unique_ptr<PortObject> port = openSerial(pty, commText, 100, &error);
        QVERIFY2(port, qPrintable(error));
        // Nothing comes: the read gives up after the 100 ms asked for, not the default 500 ms.
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(readAll(*port), QByteArray());
        QVERIFY2(clock.elapsed() < 450, qPrintable(QString::number(clock.elapsed())));
        // A second user of the same line would garble both conversations.
        QCOMPARE(PortFactory::openSerial(pty.name(), SerialSettings(), &error), -1);
        QCOMPARE(error, QStringLiteral("%1 is in use by another program").arg(pty.name()));

        termios tio;
        QCOMPARE(::tcgetattr(pty.master(), &tio), 0);
        QCOMPARE(int(::cfgetospeed(&tio)), speed);
        QCOMPARE(int(tio.c_lflag & (ICANON | ECHO)), 0); // raw: nothing echoed or held back
    }

    void echoedRequestIsNamed_data()
    {
        QTest::addColumn<Bursts>("bursts"); // what the line hands back after the request
        QTest::addColumn<bool>("echo");
        const QByteArray request = Commands::readWords(4509, 2);
        const QByteArray answer = reply("0100X00,-200,1300");
        QTest::newRow("request, then the reply") << Bursts{request, answer} << true;
        QTest::newRow("request in two bursts") << Bursts{request.left(5), request.mid(5)} << true;
        QTest::newRow("reply only") << Bursts{answer} << false;
        QTest::newRow("part of the request, then a reply")
            << Bursts{request.left(9) + answer} << false;
        QTest::newRow("a byte before the request") << Bursts{"\xff" + request} << false;
    }

    // An adapter with local echo on hands every request back before the controller's reply; the
    // port names it. The test plays the adapter on the master side of a pseudo-terminal.
    void echoedRequestIsNamed()
    {
        QFETCH(Bursts, bursts);
        QFETCH(bool, echo);
        PtyPair pty;
        QVERIFY(pty.isValid());
        QString error;
        std::unique_ptr<PortObject> port = openSerial(pty, "RS232,9600,NONE,8,1", 300, &error);
        QVERIFY2(port, qPrintable(error));

        const QByteArray request = Commands::readWords(4509, 2);
        std::thread adapter([&] {
            QByteArray seen;
            QElapsedTimer clock;
            clock.start();
            char chunk[256];
            while (seen.size() < request.size() && clock.elapsed() < 5000) {
                const ssize_t n = ::read(pty.master(), chunk, sizeof chunk);
                if (n > 0)
                    seen.append(chunk, int(n));
                else
                    QThread::msleep(5);
            }
            for (const QByteArray &burst : bursts) {
                ::write(pty.master(), burst.constData(), size_t(burst.size()));
                QThread::msleep(30);
            }
        });
        QCOMPARE(port->write(request.constData(), request.size()), request.size());
        readAll(*port);
        adapter.join();
        QCOMPARE(LinePort::echoes(port.get()), echo);
        QVERIFY(!LinePort::echoes(nullptr));
    }

    void commText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("settings");
        QTest::newRow("letters and spaces") << "RS232, 19200, o, 7, 2" << true << "19200,ODD,7,2";
        QTest::newRow("38400 baud, no parity")
            << "RS485,38400,NONE,8,1" << true << "38400,NONE,8,1";
        QTest::newRow("four fields") << "RS485,9600,EVEN,8" << false << "expected 5 fields";
        QTest::newRow("odd baud rate") << "RS485,9601,EVEN,8,1" << false << "unsupported baud rate";
        QTest::newRow("mark parity") << "RS485,9600,MARK,8,1" << false << "unknown parity";
        QTest::newRow("nine data bits")
            << "RS485,9600,EVEN,9,1" << false << "data bits must be 5 to 8";
        QTest::newRow("three stop bits")
            << "RS485,9600,EVEN,8,3" << false << "stop bits must be 1 or 2";
    }

    void commText()
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

    void portAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error"); // empty: taken, and written back the same
        auto row = [](const char *name, const char *text, const char *error) {
            QTest::newRow(name) << QString(text) << QString(error);
        };
        row("converter by v6 address", "tcp:[fe80::1]:4001", "");
        row("port number too big", "tcp:host:65536", "PORTNUMBER");
        row("port number text", "tcp:host:http", "PORTNUMBER");
        row("empty", "", "needs a value");
        // The simulated controller's port belongs to the simulator; the factory says why not.
        row("simulated controller", "sim", "not a line");
    }

    void portAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        PortAddress address;
        QString why;
        const bool parsed = PortAddress::parse(text, address, &why);
        if (parsed && error.isEmpty()) {
            QCOMPARE(address.kind, PortAddress::Kind::Tcp);
            QCOMPARE(address.toString(), text);
            return;
        }
        if (parsed)
            QVERIFY(!PortFactory::open(address, PortFactory::Options(), &why));
        QVERIFY2(why.contains(error) && !error.isEmpty(), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(tst_Ports)
#include "tst_ports.moc"
